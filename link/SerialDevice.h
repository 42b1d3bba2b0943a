#pragma once

#include "link/SerialLineSettings.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// An open serial device, held exclusively by this process until destroyed; the line settings it
// had before are put back when it closes. This is the POSIX (termios) backend.
class SerialDevice
{
public:
    using Handle = int;
    enum class ReadResult { Data, Nothing, HungUp, Failed };

    // Opens without becoming the controlling terminal and without blocking on modem lines. Fails
    // for a path that is not a terminal or that another process (or another SerialDevice) holds.
    // error receives the errno-style reason.
    static std::unique_ptr<SerialDevice> Open(const std::string &path, int *error = nullptr);
    ~SerialDevice();
    SerialDevice(const SerialDevice &) = delete;
    SerialDevice &operator=(const SerialDevice &) = delete;

    // Pollable: readable when input arrived, hang-up when the device went away.
    Handle NativeHandle() const { return m_fd; }

    bool SetTimeouts(const SerialTimeouts &timeouts);
    // Fills the fields the device knows (baud, parity, data and stop bits, RTS, handshake).
    bool GetLineSettings(SerialLineSettings &settings) const;
    // Raw mode with the given line; RTS is raised when asked where the device has modem lines.
    bool SetLineSettings(const SerialLineSettings &settings);
    // Discards unread input and unsent output.
    bool Purge();
    // Bytes waiting in the input queue; -1 on failure, with hungUp set when the device went away.
    int BytesWaiting(bool *hungUp = nullptr) const;
    ReadResult ReadByte(uint8_t &byte);
    // Reads up to size bytes that are already waiting; count receives how many.
    ReadResult Read(uint8_t *data, size_t size, size_t &count);
    // Writes the whole buffer within the write timeouts. Gives up early when abortHandle becomes
    // readable (-1: never).
    bool WriteAll(const uint8_t *data, size_t length, Handle abortHandle = -1);

private:
    explicit SerialDevice(int fd);

    int m_fd = -1;
    SerialTimeouts m_timeouts;
    std::unique_ptr<struct termios> m_saved;
};
