#pragma once

#include "link/SerialLineSettings.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// An open serial device as the port's watcher uses it. TermiosDevice is the POSIX backend; tests
// put doubles in its place.
class SerialDevice
{
public:
    using Handle = int;
    enum class ReadResult { Data, Nothing, HungUp, Failed };
    // Opens path; on failure returns null and puts the errno-style reason in error.
    using Opener = std::function<std::unique_ptr<SerialDevice>(const std::string &path, int *error)>;

    virtual ~SerialDevice();

    // Pollable: readable when input arrived, hang-up or error when the device went away.
    virtual Handle NativeHandle() const = 0;

    // No echo, no line editing, no translation of any byte; reads end as soon as one byte is there.
    virtual bool MakeRaw() = 0;
    virtual bool SetTimeouts(const SerialTimeouts &timeouts) = 0;
    // Fills the fields the device knows (baud, parity, data and stop bits, RTS, handshake).
    virtual bool GetLineSettings(SerialLineSettings &settings) const = 0;
    // Data bits, parity, stop bits and handshake; RTS is raised when asked where the device has
    // modem lines. The rate is set apart.
    virtual bool SetLineSettings(const SerialLineSettings &settings) = 0;
    // False when the device refuses the rate or would run at another one.
    virtual bool SetBaudRate(unsigned baud) = 0;
    // Discards unread input and unsent output.
    virtual bool Purge() = 0;
    // Bytes waiting in the input queue; -1 on failure, with hungUp set when the device went away.
    virtual int BytesWaiting(bool *hungUp = nullptr) const = 0;
    // Reads up to size bytes that are already waiting; count receives how many.
    virtual ReadResult Read(uint8_t *data, size_t size, size_t &count) = 0;
    // Hands the whole buffer to the device within the write timeouts. Gives up early when
    // abortHandle becomes readable (-1: never).
    virtual bool WriteAll(const uint8_t *data, size_t length, Handle abortHandle = -1) = 0;
    // Bytes written but not yet gone out on the line; -1 on failure.
    virtual int OutputQueued() const = 0;

protected:
    SerialDevice() = default;
    SerialDevice(const SerialDevice &) = delete;
    SerialDevice &operator=(const SerialDevice &) = delete;
};
