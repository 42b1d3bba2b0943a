#pragma once

#include "link/SerialDevice.h"
#include "link/SerialLineSettings.h"
#include "link/SerialMessages.h"
#include "link/SerialSignal.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

class SerialOwner;

// A numbered COM port with one watcher thread that does all reading and writing. Every received
// byte goes to the owner as WM_SERIAL_BYTE, one at a time, in arrival order, and the watcher waits
// until the owner has handled each. Sends go through a one-message write slot: the watcher
// purges the line and writes whatever the slot holds when it gets to it.
class CSerialPort
{
public:
    CSerialPort();
    virtual ~CSerialPort();
    CSerialPort(const CSerialPort &) = delete;
    CSerialPort &operator=(const CSerialPort &) = delete;

    // Ends a running watcher first. False when the device cannot be opened (no such port, held by
    // another program, no permission); true once it is open, even if a line setting failed.
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
    uint32_t EventMask() const { return m_eventMask; }
    unsigned WriteCapacity() const { return m_writeCapacity; }
    unsigned PortNumber() const { return m_portNumber; }
    bool IsOpen() const;
    bool IsWatching() const { return m_watcherAlive.load(); }
    // Name and reason of the last failure inside the transport; nothing shows it to the operator.
    std::string LastFailure() const;

    static constexpr char EventChar = 'q';
    static constexpr uint32_t TimeoutMs = 1000;

private:
    enum class Drain { Empty, HungUp };

    static void WatcherLoop(CSerialPort *port);
    void WatcherBody();
    Drain DrainInput();
    void TransmitSlot();
    void DeviceLost();
    void Deliver(unsigned message, std::uintptr_t wparam);
    // Raises the shutdown signal and returns only when the watcher has ended, serving the
    // owner's hand-offs meanwhile.
    void EndWatcher();
    void ReportFailure(const char *operation);

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
};
