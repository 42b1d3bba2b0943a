#pragma once

#include "link/SerialDevice.h"
#include "link/SerialLineSettings.h"
#include "link/SerialMessages.h"
#include "link/SerialSignal.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class SerialOwner;

// A numbered COM port with one watcher thread that does all reading and writing. Every received
// byte goes to the owner as WM_SERIAL_BYTE, one at a time, in arrival order, and the watcher waits
// until the owner has handled each. Sends go through a one-message write slot: the watcher
// purges the line, writes whatever the slot holds when it gets to it, and waits until those bytes
// have left before it looks at the slot again.
class CSerialPort
{
public:
    // openDevice replaces the termios backend (tests); empty: the real device.
    explicit CSerialPort(SerialDevice::Opener openDevice = {});
    virtual ~CSerialPort();
    CSerialPort(const CSerialPort &) = delete;
    CSerialPort &operator=(const CSerialPort &) = delete;

    // Ends a running watcher first. True once the device is open in raw mode with the asked line
    // settings; false, with nothing left open, when the device cannot be opened (no such port,
    // held by another program, no permission) or refuses a setting (a rate it cannot run).
    // The defaults are what the control panel uses.
    bool OpenPort(SerialOwner *owner, unsigned portNumber, unsigned baud = 9600, char parity = 'N',
                  unsigned dataBits = 8, unsigned stopBits = 1,
                  uint32_t eventMask = SerialMessages::EV_RXCHAR | SerialMessages::EV_RXFLAG,
                  unsigned writeCapacity = 1024);
    bool StartWatcher();

    // Replace the write slot's content and ask the watcher to transmit it. Return at once. A text
    // longer than the slot, a negative length or a send before the first OpenPort is refused
    // (false) and leaves the slot as it was.
    bool SendText(const char *text);
    bool SendBytes(const void *bytes, int length);

    // Asks the watcher to close the device and end, without waiting.
    void RequestClose();
    // The watcher stops serving the device and the write slot until resumed.
    bool SuspendWatcher();
    bool ResumeWatcher();

    SerialLineSettings LineSettings() const;
    bool IsOpen() const;
    bool IsWatching() const { return m_watcherAlive.load(); }
    // Step and reason of the last failure inside the transport, for logs.
    std::string LastFailure() const;
    // Why the last OpenPort failed, in words for the operator (what to do about it included);
    // empty after a successful open.
    std::string OpenFailureText() const;

    static constexpr char EventChar = 'q';
    static constexpr uint32_t TimeoutMs = 1000;

private:
    enum class Drain { Empty, HungUp };
    enum class OpenStep { None, Open, Settings, Rate };
    struct OpenFailure
    {
        OpenStep step = OpenStep::None;
        int error = 0;
        std::string devicePath;
        unsigned portNumber = 0;
        std::string mode;
        unsigned baud = 0;
    };

    static void WatcherLoop(CSerialPort *port);
    void WatcherBody();
    Drain DrainInput();
    void TransmitSlot();
    void AwaitSent(size_t length, std::chrono::steady_clock::time_point writeStart);
    void DeviceLost();
    void Deliver(unsigned message, std::uintptr_t wparam);
    // Raises the shutdown signal and returns only when the watcher has ended, serving the
    // owner's hand-offs meanwhile.
    void EndWatcher();
    void ReportFailure(const char *operation);

    SerialDevice::Opener m_openDevice;
    int32_t m_writeLength = 1;
    std::unique_ptr<SerialDevice> m_device;
    std::thread m_watcher;
    mutable std::mutex m_lock;
    std::atomic<bool> m_watcherAlive{false};
    SerialSignal m_writeSignal;
    SerialSignal m_shutdownSignal;
    SerialSignal m_watcherEnded;
    // Raised by SuspendWatcher and ResumeWatcher so a watcher blocked in its wait looks again.
    SerialSignal m_attention;
    std::atomic<bool> m_suspended{false};
    // Set with the shutdown signal; read by the watcher between deliveries without a system call.
    std::atomic<bool> m_closing{false};
    bool m_deviceLost = false;
    int m_failedWakeUps = 0;
    std::array<uint8_t, 1024> m_readBuffer{};
    SerialTimeouts m_timeouts;
    SerialLineSettings m_lineSettings;
    SerialOwner *m_owner = nullptr;
    unsigned m_portNumber = 0;
    // Sends copy into the slot under this lock and the watcher copies out under it, so a send
    // never changes bytes being transmitted and never waits for a transmit.
    mutable std::mutex m_slotLock;
    std::unique_ptr<uint8_t[]> m_writeSlot;
    std::unique_ptr<uint8_t[]> m_transmitCopy;
    uint32_t m_eventMask = 0;
    unsigned m_writeCapacity = 0;
    mutable std::mutex m_failureLock;
    std::string m_lastFailure;
    OpenFailure m_openFailure;
};
