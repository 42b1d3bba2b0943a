#include "link/QtSerialOwner.h"

#include <QSocketNotifier>
#include <QThread>

#include <chrono>
#include <sched.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// How long each side keeps looking before it sleeps: long enough to cover the other side's work
// for one byte, short enough to cost nothing noticeable when the line goes quiet.
constexpr auto kWatcherSpin = std::chrono::microseconds(40);
constexpr auto kOwnerSpin = std::chrono::microseconds(40);
// The owner's thread returns to its event loop at least this often during a long burst.
constexpr auto kOwnerBurst = std::chrono::milliseconds(4);

// Spins briefly, then lets other threads run: on a busy machine the side being waited for may
// need this very core.
inline void cpuRelax(int &round)
{
    if (++round < 4) {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
        return;
    }
    sched_yield();
}

} // namespace

QtSerialOwner::QtSerialOwner(SerialOwner &target, QObject *parent)
    : QObject(parent)
    , m_target(target)
    , m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    m_notifier = new QSocketNotifier(m_wakeFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QtSerialOwner::ServeHandOff);
}

QtSerialOwner::~QtSerialOwner()
{
    delete m_notifier;
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void QtSerialOwner::wake()
{
    const uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(m_wakeFd, &one, sizeof one);
}

void QtSerialOwner::drainWake()
{
    uint64_t value = 0;
    [[maybe_unused]] const auto n = ::read(m_wakeFd, &value, sizeof value);
}

void QtSerialOwner::OnSerialMessage(unsigned message, std::uintptr_t wparam, std::uintptr_t lparam)
{
    if (QThread::currentThread() == thread()) {
        m_target.OnSerialMessage(message, wparam, lparam);
        return;
    }

    std::lock_guard<std::mutex> turn(m_senderTurn);
    m_message = message;
    m_wparam = wparam;
    m_lparam = lparam;
    const uint32_t ticket = (++m_ticket) << 2;
    m_state.store(ticket | Posted);
    // Paired with the owner clearing m_ownerLooking and then looking once more: either it sees
    // this message or this side sees it is not looking and wakes it.
    if (!m_ownerLooking.load())
        wake();

    const uint32_t done = ticket | Done;
    const auto spinUntil = Clock::now() + kWatcherSpin;
    bool spinning = true;
    int round = 0;
    for (uint32_t s = m_state.load(std::memory_order_acquire); s != done; s = m_state.load(std::memory_order_acquire)) {
        if (spinning && Clock::now() < spinUntil) {
            cpuRelax(round);
            continue;
        }
        spinning = false;
        m_state.wait(s, std::memory_order_acquire);
    }
}

int QtSerialOwner::HandOffFd() const
{
    return QThread::currentThread() == thread() ? m_wakeFd : -1;
}

bool QtSerialOwner::serveOne()
{
    uint32_t s = m_state.load(std::memory_order_acquire);
    if ((s & PhaseMask) != Posted)
        return false;
    const uint32_t serving = (s & ~PhaseMask) | Serving;
    if (!m_state.compare_exchange_strong(s, serving))
        return false;
    const unsigned message = m_message;
    const std::uintptr_t wparam = m_wparam;
    const std::uintptr_t lparam = m_lparam;

    struct Finish
    {
        QtSerialOwner *self;
        uint32_t serving;
        ~Finish()
        {
            --self->m_serveDepth;
            uint32_t expected = serving;
            // Already Done when a nested ServeHandOff released the watcher early.
            if (self->m_state.compare_exchange_strong(expected, (serving & ~PhaseMask) | Done))
                self->m_state.notify_all();
        }
    };
    ++m_serveDepth;
    Finish finish{this, serving};
    m_target.OnSerialMessage(message, wparam, lparam);
    return true;
}

void QtSerialOwner::ServeHandOff()
{
    if (QThread::currentThread() != thread())
        return;
    drainWake();

    if (m_serveDepth > 0) {
        // Called from inside the target's handler: the handler is closing or reopening a port,
        // whose watcher may be the one waiting for this very delivery. Let that watcher go on
        // now, or the wait for it to end could never finish.
        uint32_t s = m_state.load();
        if ((s & PhaseMask) == Serving && m_state.compare_exchange_strong(s, (s & ~PhaseMask) | Done))
            m_state.notify_all();
    }

    const auto burstEnd = Clock::now() + kOwnerBurst;
    while (serveOne()) {
        m_ownerLooking.store(true);
        const auto spinUntil = Clock::now() + kOwnerSpin;
        int round = 0;
        while ((m_state.load(std::memory_order_acquire) & PhaseMask) != Posted && Clock::now() < spinUntil)
            cpuRelax(round);
        m_ownerLooking.store(false);
        if (Clock::now() >= burstEnd) {
            // Give the event loop its turn; a message that is already waiting brings us back.
            if ((m_state.load() & PhaseMask) == Posted)
                wake();
            break;
        }
    }
}
