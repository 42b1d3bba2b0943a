#include "link/TermiosDevice.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct SpeedEntry
{
    unsigned baud;
    speed_t speed;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool toSpeed(unsigned baud, speed_t &speed)
{
    for (const auto &e : kSpeeds)
        if (e.baud == baud) {
            speed = e.speed;
            return true;
        }
    return false;
}

} // namespace

TermiosDevice::TermiosDevice(int fd)
    : m_fd(fd)
{
}

std::unique_ptr<SerialDevice> TermiosDevice::Open(const std::string &path, int *error)
{
    auto fail = [error](int code) {
        if (error)
            *error = code;
        return std::unique_ptr<SerialDevice>();
    };
    if (path.empty())
        return fail(ENOENT);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    // Closes the descriptor on every failure below; settings are restored only once saved.
    std::unique_ptr<TermiosDevice> device(new TermiosDevice(fd));
    if (!isatty(fd))
        return fail(ENOTTY);
    // flock covers every opener, root included; TIOCEXCL keeps other programs' plain opens out.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    if (!TermiosBaud::Save(fd, device->m_saved))
        return fail(errno);
    device->m_restore = true;
    ioctl(fd, TIOCEXCL);
    if (error)
        *error = 0;
    return device;
}

TermiosDevice::~TermiosDevice()
{
    if (m_fd < 0)
        return;
    if (m_restore) {
        ioctl(m_fd, TIOCNXCL);
        TermiosBaud::Restore(m_fd, m_saved);
    }
    ::close(m_fd);
}

bool TermiosDevice::MakeRaw()
{
    termios t{};
    if (tcgetattr(m_fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    // A read wakes for one byte and never returns 0 while the line is up, so 0 can mean hang-up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return tcsetattr(m_fd, TCSANOW, &t) == 0;
}

bool TermiosDevice::SetTimeouts(const SerialTimeouts &timeouts)
{
    m_timeouts = timeouts;
    return true;
}

bool TermiosDevice::GetLineSettings(SerialLineSettings &settings) const
{
    termios t{};
    if (tcgetattr(m_fd, &t) != 0)
        return false;
    if (const unsigned baud = TermiosBaud::OutputRate(m_fd))
        settings.baud = baud;
    switch (t.c_cflag & CSIZE) {
    case CS5: settings.dataBits = 5; break;
    case CS6: settings.dataBits = 6; break;
    case CS7: settings.dataBits = 7; break;
    default: settings.dataBits = 8; break;
    }
    if (!(t.c_cflag & PARENB))
        settings.parity = 'N';
    else if (t.c_cflag & CMSPAR)
        settings.parity = (t.c_cflag & PARODD) ? 'M' : 'S';
    else
        settings.parity = (t.c_cflag & PARODD) ? 'O' : 'E';
    settings.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    settings.rtsCtsFlow = (t.c_cflag & CRTSCTS) != 0;
    int lines = 0;
    if (ioctl(m_fd, TIOCMGET, &lines) == 0)
        settings.rtsOn = (lines & TIOCM_RTS) != 0;
    return true;
}

bool TermiosDevice::SetLineSettings(const SerialLineSettings &settings)
{
    termios t{};
    if (tcgetattr(m_fd, &t) != 0)
        return false;
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    switch (settings.dataBits) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    default: t.c_cflag |= CS8; break;
    }
    switch (settings.parity) {
    case 'E': t.c_cflag |= PARENB; break;
    case 'O': t.c_cflag |= PARENB | PARODD; break;
    case 'M': t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case 'S': t.c_cflag |= PARENB | CMSPAR; break;
    default: break;
    }
    if (settings.stopBits == 2)
        t.c_cflag |= CSTOPB;
    if (settings.rtsCtsFlow)
        t.c_cflag |= CRTSCTS;
    if (tcsetattr(m_fd, TCSANOW, &t) != 0)
        return false;
    if (settings.rtsOn) {
        // Pseudo-terminals have no modem lines; that is no failure of the line settings.
        const int rts = TIOCM_RTS;
        if (ioctl(m_fd, TIOCMBIS, &rts) != 0 && errno != ENOTTY && errno != EINVAL)
            return false;
    }
    return true;
}

bool TermiosDevice::SetBaudRate(unsigned baud)
{
    if (baud == 0) {
        errno = EINVAL; // B0 would hang the line up
        return false;
    }
    speed_t speed;
    if (toSpeed(baud, speed)) {
        termios t{};
        if (tcgetattr(m_fd, &t) != 0)
            return false;
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
        if (tcsetattr(m_fd, TCSANOW, &t) != 0)
            return false;
    } else if (!TermiosBaud::SetRate(m_fd, baud)) {
        return false;
    }
    // A driver that cannot divide its clock down to the rate runs the nearest it can, or keeps the
    // old one, and reports what it runs. Beyond 2% the far end would misread the bytes.
    const unsigned actual = TermiosBaud::OutputRate(m_fd);
    if (actual == 0 || std::llabs(static_cast<long long>(actual) - baud) * 50 > baud) {
        errno = EINVAL;
        return false;
    }
    return true;
}

bool TermiosDevice::Purge()
{
    return tcflush(m_fd, TCIOFLUSH) == 0;
}

bool TermiosDevice::MeansHangUp(int error)
{
    return error == EIO || error == ENXIO || error == ENODEV;
}

int TermiosDevice::BytesWaiting(bool *hungUp) const
{
    int count = 0;
    if (ioctl(m_fd, FIONREAD, &count) != 0) {
        if (hungUp)
            *hungUp = MeansHangUp(errno);
        return -1;
    }
    if (hungUp)
        *hungUp = false;
    return count;
}

SerialDevice::ReadResult TermiosDevice::ReadOutcome(ssize_t n, int error)
{
    if (n > 0)
        return ReadResult::Data;
    // In raw mode with VMIN 1 a live line never reads 0 bytes: the terminal was hung up.
    if (n == 0)
        return ReadResult::HungUp;
    if (error == EAGAIN || error == EWOULDBLOCK)
        return ReadResult::Nothing;
    return MeansHangUp(error) ? ReadResult::HungUp : ReadResult::Failed;
}

SerialDevice::ReadResult TermiosDevice::Read(uint8_t *data, size_t size, size_t &count)
{
    count = 0;
    ssize_t n;
    do
        n = ::read(m_fd, data, size);
    while (n < 0 && errno == EINTR);
    const ReadResult result = ReadOutcome(n, n < 0 ? errno : 0);
    if (result == ReadResult::Data)
        count = static_cast<size_t>(n);
    return result;
}

bool TermiosDevice::WriteAll(const uint8_t *data, size_t length, Handle abortHandle)
{
    using Clock = std::chrono::steady_clock;
    const uint64_t limitMs = uint64_t(m_timeouts.writeTotalPerByte) * length + m_timeouts.writeTotalConstant;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(m_fd, data + done, length - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        int waitMs = -1;
        if (limitMs > 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                errno = ETIMEDOUT;
                return false;
            }
            waitMs = static_cast<int>(left);
        }
        pollfd fds[2] = {{m_fd, POLLOUT, 0}, {abortHandle, POLLIN, 0}};
        const int r = poll(fds, abortHandle >= 0 ? 2 : 1, waitMs);
        if (r < 0 && errno != EINTR)
            return false;
        if (abortHandle >= 0 && (fds[1].revents & POLLIN)) {
            errno = ECANCELED;
            return false;
        }
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            errno = EIO;
            return false;
        }
    }
    return true;
}

int TermiosDevice::OutputQueued() const
{
    // Counts the driver's own buffers too (a USB adapter's transfers in flight). What it does not
    // count, the UART's hardware FIFO, a purge cannot discard either.
    int count = 0;
    return ioctl(m_fd, TIOCOUTQ, &count) == 0 ? count : -1;
}
