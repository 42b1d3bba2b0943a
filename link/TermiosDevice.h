#pragma once

#include "link/SerialDevice.h"
#include "link/TermiosBaud.h"

#include <sys/types.h>

// A serial device through termios, held exclusively by this process until destroyed; the line
// state it had before (rate included) is put back when it closes.
class TermiosDevice : public SerialDevice
{
public:
    // Opens without becoming the controlling terminal and without blocking on modem lines. Fails
    // for a path that is not a terminal or that another process (or another device object) holds.
    static std::unique_ptr<SerialDevice> Open(const std::string &path, int *error = nullptr);
    ~TermiosDevice() override;

    Handle NativeHandle() const override { return m_fd; }
    bool MakeRaw() override;
    bool SetTimeouts(const SerialTimeouts &timeouts) override;
    bool GetLineSettings(SerialLineSettings &settings) const override;
    bool SetLineSettings(const SerialLineSettings &settings) override;
    bool SetBaudRate(unsigned baud) override;
    bool Purge() override;
    int BytesWaiting(bool *hungUp = nullptr) const override;
    ReadResult Read(uint8_t *data, size_t size, size_t &count) override;
    bool WriteAll(const uint8_t *data, size_t length, Handle abortHandle = -1) override;
    int OutputQueued() const override;

    // What a read() that returned n with errno error means for the line.
    static ReadResult ReadOutcome(ssize_t n, int error);
    // Whether a failing call's errno says the device is gone.
    static bool MeansHangUp(int error);

private:
    explicit TermiosDevice(int fd);

    int m_fd = -1;
    bool m_restore = false;
    SerialTimeouts m_timeouts;
    TermiosBaud::Saved m_saved{};
};
