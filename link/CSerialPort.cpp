#include "link/CSerialPort.h"

#include "link/ComPortMap.h"
#include "link/SerialOwner.h"
#include "link/TermiosDevice.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <system_error>

using namespace SerialMessages;

namespace {

// A device that keeps waking the watcher without giving a byte is treated as gone after this
// many turns in a row, so a misbehaving driver can never make the watcher spin.
constexpr int kMaxFailedWakeUps = 3;

} // namespace

CSerialPort::CSerialPort(SerialDevice::Opener openDevice)
    : m_openDevice(std::move(openDevice))
{
}

CSerialPort::~CSerialPort()
{
    EndWatcher();
    std::lock_guard<std::mutex> lock(m_lock);
    m_device.reset();
}

bool CSerialPort::OpenPort(SerialOwner *owner, unsigned portNumber, unsigned baud, char parity, unsigned dataBits,
                           unsigned stopBits, uint32_t eventMask, unsigned writeCapacity)
{
    EndWatcher();

    m_writeSignal.Reset();
    m_shutdownSignal.Reset();
    m_watcherEnded.Reset();
    m_attention.Reset();
    m_suspended = false;
    m_closing = false;

    m_owner = owner;
    {
        std::lock_guard<std::mutex> slot(m_slotLock);
        m_writeSlot = std::make_unique<uint8_t[]>(writeCapacity ? writeCapacity : 1);
        m_transmitCopy = std::make_unique<uint8_t[]>(writeCapacity ? writeCapacity : 1);
        m_writeCapacity = writeCapacity;
        if (m_writeLength > static_cast<int32_t>(writeCapacity))
            m_writeLength = 0;
    }
    m_portNumber = portNumber;
    m_eventMask = eventMask;

    std::lock_guard<std::mutex> lock(m_lock);
    m_device.reset();
    m_deviceLost = false;
    m_failedWakeUps = 0;

    OpenFailure failure;
    failure.devicePath = ComPortMap::DevicePathFor(portNumber);
    failure.portNumber = portNumber;
    failure.mode = SerialLineSettings::ModeText(baud, parity, dataBits, stopBits);
    failure.baud = baud;
    auto fail = [&](OpenStep step, const char *operation) {
        failure.step = step;
        failure.error = errno;
        ReportFailure(operation);
        m_device.reset(); // puts back the line state the device had
        std::lock_guard<std::mutex> failureLock(m_failureLock);
        m_openFailure = failure;
        return false;
    };
    {
        std::lock_guard<std::mutex> failureLock(m_failureLock);
        m_openFailure = {};
    }

    int error = 0;
    m_device = m_openDevice ? m_openDevice(failure.devicePath, &error) : TermiosDevice::Open(failure.devicePath, &error);
    if (!m_device) {
        errno = error;
        return fail(OpenStep::Open, "open");
    }
    // Raw before anything else, so no step can leave a line that echoes or edits the frames.
    if (!m_device->MakeRaw())
        return fail(OpenStep::Settings, "raw mode");
    m_timeouts = {TimeoutMs, TimeoutMs, TimeoutMs, TimeoutMs, TimeoutMs};
    if (!m_device->SetTimeouts(m_timeouts))
        return fail(OpenStep::Settings, "timeouts");
    // The mask decides what the watcher waits for; nothing to tell the device.
    if (!m_device->GetLineSettings(m_lineSettings))
        return fail(OpenStep::Settings, "reading line settings");
    m_lineSettings.eventChar = EventChar;
    m_lineSettings.rtsOn = true;
    m_lineSettings.rtsCtsFlow = false;
    SerialLineSettings wanted = m_lineSettings;
    if (!wanted.ApplyModeText(failure.mode)) {
        errno = EINVAL;
        // A rate no line can run (0) is told apart from bad framing.
        SerialLineSettings rateOnly = m_lineSettings;
        const bool rateValid = rateOnly.ApplyModeText("baud=" + std::to_string(baud));
        return fail(rateValid ? OpenStep::Settings : OpenStep::Rate, "mode text");
    }
    m_lineSettings = wanted;
    if (!m_device->SetLineSettings(m_lineSettings))
        return fail(OpenStep::Settings, "line settings");
    if (!m_device->SetBaudRate(m_lineSettings.baud))
        return fail(OpenStep::Rate, "baud rate");

    m_device->Purge();
    return true;
}

bool CSerialPort::StartWatcher()
{
    if (m_watcher.joinable()) {
        if (m_watcherAlive.load() && !m_watcherEnded.IsRaised())
            return false; // one watcher per port
        m_watcher.join();
    }
    m_watcherEnded.Reset();
    // Alive from here on, so a close requested right away still waits for it.
    m_watcherAlive = true;
    try {
        m_watcher = std::thread(&CSerialPort::WatcherLoop, this);
    } catch (const std::system_error &) {
        m_watcherAlive = false;
        return false;
    }
    return true;
}

bool CSerialPort::SendText(const char *text)
{
    if (!text)
        return false;
    const size_t length = std::strlen(text);
    if (length > static_cast<size_t>(INT32_MAX))
        return false;
    return SendBytes(text, static_cast<int>(length));
}

bool CSerialPort::SendBytes(const void *bytes, int length)
{
    if (length < 0 || (length > 0 && !bytes))
        return false;
    std::lock_guard<std::mutex> slot(m_slotLock);
    if (!m_writeSlot || static_cast<unsigned>(length) > m_writeCapacity)
        return false;
    if (length > 0)
        std::memcpy(m_writeSlot.get(), bytes, static_cast<size_t>(length));
    m_writeLength = length;
    m_writeSignal.Raise();
    return true;
}

void CSerialPort::RequestClose()
{
    m_closing = true;
    m_shutdownSignal.Raise();
}

bool CSerialPort::SuspendWatcher()
{
    m_suspended = true;
    m_attention.Raise();
    return true;
}

bool CSerialPort::ResumeWatcher()
{
    m_suspended = false;
    m_attention.Raise();
    return true;
}

SerialLineSettings CSerialPort::LineSettings() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_lineSettings;
}

bool CSerialPort::IsOpen() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_device != nullptr;
}

std::string CSerialPort::LastFailure() const
{
    std::lock_guard<std::mutex> lock(m_failureLock);
    return m_lastFailure;
}

std::string CSerialPort::OpenFailureText() const
{
    OpenFailure f;
    {
        std::lock_guard<std::mutex> lock(m_failureLock);
        f = m_openFailure;
    }
    const std::string com = "COM" + std::to_string(f.portNumber);
    const std::string device = f.devicePath.empty() ? com : f.devicePath + " (" + com + ")";
    const std::string reason = std::generic_category().message(f.error);
    switch (f.step) {
    case OpenStep::None:
        return {};
    case OpenStep::Rate:
        return device + " does not support " + std::to_string(f.baud) + " baud. Choose another rate.";
    case OpenStep::Settings:
        return device + " did not accept the line settings (" + f.mode + "): " + reason + ".";
    case OpenStep::Open:
        break;
    }
    switch (f.error) {
    case EACCES:
    case EPERM:
        return "No permission to open " + device +
               ". Your user needs access to the device: on Debian and Ubuntu add it to the dialout "
               "group with \"sudo usermod -aG dialout $USER\" and log in again, or grant access "
               "with a udev rule.";
    case EBUSY:
        return device + " is in use by another program. Close that program, or choose another port.";
    case ENOENT:
    case ENODEV:
    case ENXIO: {
        const std::string where = f.devicePath.empty() ? com + " has no device on this machine."
                                                       : "There is no device " + f.devicePath + " for " + com + ".";
        return where + " COM1-COM32 are " + ComPortMap::DefaultDevicePath(1) + " to " +
               ComPortMap::DefaultDevicePath(32) + ", COM33-COM64 " + ComPortMap::DefaultDevicePath(33) + " to " +
               ComPortMap::DefaultDevicePath(64) + ", COM65-COM96 " + ComPortMap::DefaultDevicePath(65) + " to " +
               ComPortMap::DefaultDevicePath(96) + "; another device can be named as " + com +
               "=<device> in section [com_ports] of config.ini.";
    }
    case ENOTTY:
        return device + " is not a serial device.";
    default:
        return "Could not open " + device + ": " + reason + ".";
    }
}

void CSerialPort::ReportFailure(const char *operation)
{
    const int error = errno;
    std::lock_guard<std::mutex> lock(m_failureLock);
    m_lastFailure = std::string(operation ? operation : "") + (operation ? ": " : "") +
                    std::generic_category().message(error);
}

void CSerialPort::EndWatcher()
{
    if (!m_watcher.joinable())
        return;
    m_closing = true;
    m_shutdownSignal.Raise();
    // The watcher may be waiting for this very thread to take a message, even for the one this
    // thread is handling right now (a close from inside the owner's handler): keep taking them.
    const int handOff = m_owner ? m_owner->HandOffFd() : -1;
    if (handOff >= 0)
        m_owner->ServeHandOff();
    for (;;) {
        pollfd fds[2] = {{m_watcherEnded.Handle(), POLLIN, 0}, {handOff, POLLIN, 0}};
        const int r = poll(fds, handOff >= 0 ? 2 : 1, -1);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents & POLLIN)
            break;
        if (handOff >= 0 && (fds[1].revents & POLLIN))
            m_owner->ServeHandOff();
    }
    m_watcher.join();
    m_watcherAlive = false;
}

void CSerialPort::WatcherLoop(CSerialPort *port)
{
    port->WatcherBody();
}

void CSerialPort::Deliver(unsigned message, std::uintptr_t wparam)
{
    // Once a close is asked for, the owner gets nothing more: it may be tearing itself down.
    if (m_owner && !m_closing.load(std::memory_order_relaxed))
        m_owner->OnSerialMessage(message, wparam, m_portNumber);
}

void CSerialPort::WatcherBody()
{
    m_watcherAlive = true;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_device)
            m_device->Purge();
    }

    for (;;) {
        if (m_suspended.load()) {
            pollfd fds[2] = {{m_shutdownSignal.Handle(), POLLIN, 0}, {m_attention.Handle(), POLLIN, 0}};
            if (poll(fds, 2, -1) < 0)
                continue;
            if (fds[0].revents & POLLIN)
                break;
            m_attention.Reset();
            continue;
        }

        // The device pointer changes only while no watcher runs, or here.
        int deviceFd = -1;
        short deviceEvents = 0;
        if (m_device && !m_deviceLost) {
            deviceFd = m_device->NativeHandle();
            deviceEvents = (m_eventMask & EV_RXCHAR) ? POLLIN : 0;
        }
        // In priority order: shutdown before write before port event.
        pollfd set[4] = {{m_shutdownSignal.Handle(), POLLIN, 0},
                         {m_writeSignal.Handle(), POLLIN, 0},
                         {deviceFd, deviceEvents, 0},
                         {m_attention.Handle(), POLLIN, 0}};
        if (poll(set, 4, -1) < 0) {
            if (errno != EINTR)
                ReportFailure(nullptr);
            continue;
        }
        if (set[0].revents & POLLIN)
            break;
        // Suspended while this wait ran: serve nothing more until resumed.
        if (m_suspended.load())
            continue;
        if (set[1].revents & POLLIN) {
            TransmitSlot();
            continue;
        }
        if (const short ev = set[2].revents) {
            bool hungUp = (ev & (POLLHUP | POLLERR | POLLNVAL)) != 0;
            if (ev & POLLIN) {
                if (DrainInput() == Drain::HungUp)
                    hungUp = true;
            }
            if (hungUp || m_failedWakeUps >= kMaxFailedWakeUps) {
                DeviceLost();
                continue;
            }
            if (m_eventMask & EV_CTS)
                Deliver(WM_SERIAL_CTS, 0);
            if (m_eventMask & EV_BREAK)
                Deliver(WM_SERIAL_BREAK, 0);
            if (m_eventMask & EV_ERR)
                Deliver(WM_SERIAL_LINE_ERROR, 0);
            if (m_eventMask & EV_RING)
                Deliver(WM_SERIAL_RING, 0);
            if (m_eventMask & EV_RXFLAG)
                Deliver(WM_SERIAL_EVENT_CHAR, 0);
        }
        if (set[3].revents & POLLIN)
            m_attention.Reset();
    }

    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_device.reset();
    }
    m_watcherAlive = false;
    m_watcherEnded.Raise();
}

void CSerialPort::DeviceLost()
{
    m_deviceLost = true;
    Deliver(WM_SERIAL_LOST, 0);
}

CSerialPort::Drain CSerialPort::DrainInput()
{
    auto status = [this](int &waiting) {
        bool hungUp = false;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            waiting = m_device ? m_device->BytesWaiting(&hungUp) : 0;
        }
        if (waiting < 0 && !hungUp)
            ReportFailure(nullptr);
        return !hungUp;
    };

    int waiting = 0;
    if (!status(waiting))
        return Drain::HungUp;
    if (waiting < 0) {
        ++m_failedWakeUps;
        return Drain::Empty;
    }

    // What the status counts is taken in one read and then handed on byte by byte, in order, with
    // the status read again once it is used up: the owner sees exactly what one-byte reads would
    // give, at a fraction of the system calls. Woken as readable with nothing counted, the read
    // tells late data from a hang-up.
    bool gotData = false;
    do {
        size_t count = 0;
        SerialDevice::ReadResult result;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            result = m_device ? m_device->Read(m_readBuffer.data(), m_readBuffer.size(), count)
                              : SerialDevice::ReadResult::Nothing;
        }
        if (result == SerialDevice::ReadResult::HungUp)
            return Drain::HungUp;
        if (result != SerialDevice::ReadResult::Data) {
            // Nothing is handed on for a read that failed.
            if (result == SerialDevice::ReadResult::Failed)
                ReportFailure(nullptr);
            break;
        }
        gotData = true;
        for (size_t i = 0; i < count; ++i)
            Deliver(WM_SERIAL_BYTE, m_readBuffer[i]);
        if (m_closing.load(std::memory_order_relaxed))
            break; // the shutdown signal wins at the next wait
        if (!status(waiting))
            return Drain::HungUp;
    } while (waiting > 0);
    m_failedWakeUps = gotData ? 0 : m_failedWakeUps + 1;
    return Drain::Empty;
}

void CSerialPort::TransmitSlot()
{
    size_t length = 0;
    {
        std::lock_guard<std::mutex> slot(m_slotLock);
        // A send made after SuspendWatcher returned waits for the resume, even when this watcher
        // was already on its way here; the raised write signal keeps it pending.
        if (m_suspended.load())
            return;
        m_writeSignal.Reset();
        if (!m_writeSlot)
            return;
        length = static_cast<size_t>(std::max<int32_t>(0, m_writeLength));
        if (length > m_writeCapacity)
            length = m_writeCapacity;
        std::memcpy(m_transmitCopy.get(), m_writeSlot.get(), length);
    }

    const auto writeStart = std::chrono::steady_clock::now();
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_device || m_deviceLost) {
            errno = m_device ? EIO : EBADF;
            ReportFailure("write");
            return;
        }
        // Unread input goes with the purge: a reply belongs to the frame before this one.
        m_device->Purge();
        if (!m_device->WriteAll(m_transmitCopy.get(), length, m_shutdownSignal.Handle())) {
            ReportFailure("write");
            return;
        }
    }
    AwaitSent(length, writeStart);
}

void CSerialPort::AwaitSent(size_t length, std::chrono::steady_clock::time_point writeStart)
{
    using namespace std::chrono;
    // The write returns once the bytes are queued; the next transmit's purge would discard the
    // ones still going out. Only this thread replaces the device while the watcher runs, so it is
    // used here without the port lock, which callers may want meanwhile.
    const uint64_t limitMs = uint64_t(m_timeouts.writeTotalPerByte) * length + m_timeouts.writeTotalConstant;
    const auto deadline = writeStart + milliseconds(limitMs);
    const unsigned bitsPerChar = 1 + m_lineSettings.dataBits + (m_lineSettings.parity != 'N') + m_lineSettings.stopBits;
    const uint64_t baud = std::max(1u, m_lineSettings.baud);
    for (;;) {
        const int queued = m_device->OutputQueued();
        if (queued == 0)
            return;
        if (queued < 0) {
            ReportFailure("output queue");
            return;
        }
        // Look again about when the queued bytes should be out.
        int64_t waitMs = int64_t((uint64_t(queued) * bitsPerChar * 1000 + baud - 1) / baud);
        if (limitMs > 0) {
            const int64_t left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
            if (left <= 0) {
                errno = ETIMEDOUT;
                ReportFailure("write");
                return;
            }
            waitMs = std::min(waitMs, left);
        }
        pollfd shutdown{m_shutdownSignal.Handle(), POLLIN, 0};
        if (poll(&shutdown, 1, static_cast<int>(std::clamp<int64_t>(waitMs, 1, 1000))) > 0)
            return;
    }
}
