#include "tools/armsim/PtyLink.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

PtyLink::PtyLink(QObject *parent)
    : QObject(parent)
    , m_hangupTimer(new QTimer(this))
{
    m_hangupTimer->setInterval(HangupCheckMs);
    connect(m_hangupTimer, &QTimer::timeout, this, &PtyLink::checkHangup);
}

PtyLink::~PtyLink()
{
    if (m_master >= 0)
        ::close(m_master);
}

bool PtyLink::open(QString *error)
{
    auto fail = [&](const char *what) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
        return false;
    };
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0)
        return fail("posix_openpt");
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return fail("unlockpt");
    char name[128];
    if (::ptsname_r(m_master, name, sizeof name) != 0)
        return fail("ptsname");
    m_path = QString::fromLocal8Bit(name);

    // Raw mode on the terminal side, so a client that does not set it (a shell redirection) gets
    // neither echo of our replies nor line editing. Terminal settings last while the master is open.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        return fail("open terminal side");
    termios tio{};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B9600);
        ::cfsetospeed(&tio, B9600);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    ::close(slave);

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PtyLink::readAvailable);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PtyLink::flush);
    // Closing our own opening above already left the master hung up until the program opens it.
    checkHangup();
    return true;
}

int PtyLink::hangupTimerInterval() const
{
    return m_hangupTimer->interval();
}

bool PtyLink::waitingForTerminal() const
{
    return m_hangupTimer->isActive() && !m_readNotifier->isEnabled();
}

void PtyLink::readAvailable()
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            if (!m_session) {
                m_session = true;
                emit sessionStarted();
            }
            emit received(QByteArray(buffer, static_cast<qsizetype>(n)));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // EIO or end of file: nobody has the terminal side open any more.
        hungUp();
        return;
    }
}

void PtyLink::hungUp()
{
    m_session = false;
    m_pending.clear();
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    m_hangupTimer->start();
}

void PtyLink::checkHangup()
{
    pollfd p{m_master, POLLIN, 0};
    const int r = ::poll(&p, 1, 0);
    if (r > 0 && (p.revents & POLLHUP)) {
        // A client may have opened, written and closed between two checks: take what it sent.
        if (p.revents & POLLIN) {
            readAvailable();
            return;
        }
        if (!m_hangupTimer->isActive()) {
            m_session = false;
            m_readNotifier->setEnabled(false);
            m_hangupTimer->start();
        }
        return;
    }
    // The terminal side is open again: back to reading as data arrives.
    m_hangupTimer->stop();
    m_readNotifier->setEnabled(true);
    if (r > 0 && (p.revents & POLLIN))
        readAvailable();
}

bool PtyLink::terminalClosed() const
{
    pollfd p{m_master, POLLOUT, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLHUP);
}

void PtyLink::write(const QByteArray &bytes)
{
    if (m_master < 0 || !m_session)
        return;
    if (m_pending.size() + bytes.size() > MaxPendingBytes)
        return;
    m_pending += bytes;
    flush();
}

void PtyLink::flush()
{
    // Bytes written while nobody holds the terminal side would greet the next client stale.
    if (terminalClosed())
        m_pending.clear();
    while (!m_pending.isEmpty()) {
        const ssize_t n = ::write(m_master, m_pending.constData(), static_cast<size_t>(m_pending.size()));
        if (n > 0) {
            m_pending.remove(0, static_cast<qsizetype>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            m_writeNotifier->setEnabled(true);
            return;
        }
        m_pending.clear();
        break;
    }
    m_writeNotifier->setEnabled(false);
}
