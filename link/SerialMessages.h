#pragma once

#include <cstdint>

// Messages a serial port hands its owner, numbered from the first user message (0x400) as the arm's
// original host software numbered them, and the comm-event mask bits that select them.
namespace SerialMessages {

constexpr unsigned UserBase = 0x400;

constexpr unsigned WM_SERIAL_BREAK = UserBase + 1;      // 0x401, mask bit EV_BREAK
constexpr unsigned WM_SERIAL_CTS = UserBase + 2;        // 0x402, mask bit EV_CTS
constexpr unsigned WM_SERIAL_LINE_ERROR = UserBase + 4; // 0x404, mask bit EV_ERR
constexpr unsigned WM_SERIAL_RING = UserBase + 5;       // 0x405, mask bit EV_RING
constexpr unsigned WM_SERIAL_BYTE = UserBase + 7;       // 0x407, first parameter the byte
constexpr unsigned WM_SERIAL_EVENT_CHAR = UserBase + 8; // 0x408, mask bit EV_RXFLAG
// The device hung up (adapter unplugged, peer gone). Sent once; the port stops waiting on the
// device until it is opened again.
constexpr unsigned WM_SERIAL_LOST = UserBase + 9; // 0x409

constexpr uint32_t EV_RXCHAR = 0x0001;
constexpr uint32_t EV_RXFLAG = 0x0002;
constexpr uint32_t EV_CTS = 0x0008;
constexpr uint32_t EV_BREAK = 0x0040;
constexpr uint32_t EV_ERR = 0x0080;
constexpr uint32_t EV_RING = 0x0100;

} // namespace SerialMessages
