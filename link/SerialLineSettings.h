#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Line settings of a serial device, in the platform-neutral form the port keeps them.
struct SerialLineSettings
{
    unsigned baud = 9600;
    char parity = 'N'; // N, E, O, M (mark) or S (space)
    unsigned dataBits = 8;
    unsigned stopBits = 1;
    char eventChar = 0;
    bool rtsOn = false;      // RTS held on for the whole session
    bool rtsCtsFlow = false; // hardware handshake on RTS/CTS

    // Applies a mode text "baud=%d parity=%c data=%d stop=%d" over these settings. Keys may come in
    // any order and any may be missing; an unknown key or an out-of-range value fails and leaves
    // the settings unchanged.
    bool ApplyModeText(std::string_view mode);

    static std::string ModeText(unsigned baud, char parity, unsigned dataBits, unsigned stopBits);

    bool operator==(const SerialLineSettings &) const = default;
};

// Read and write timeouts in milliseconds.
struct SerialTimeouts
{
    uint32_t readInterval = 0;
    uint32_t readTotalPerByte = 0;
    uint32_t readTotalConstant = 0;
    uint32_t writeTotalPerByte = 0;
    uint32_t writeTotalConstant = 0;
};
