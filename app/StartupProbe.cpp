#include "app/StartupProbe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace {

const QEvent::Type ProbeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type LatencyEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
constexpr std::chrono::milliseconds LatencyInterval{10};

using Clock = std::chrono::steady_clock;

// Carries the moment it was posted.
struct TimedEvent : QEvent
{
    TimedEvent() : QEvent(LatencyEvent) {}
    const Clock::time_point posted = Clock::now();
};

// SIGUSR1 reaches the event loop through this pipe: a handler may only write to a descriptor.
int signalPipe[2] = {-1, -1};

void onLatencySignal(int)
{
    const int saved = errno;
    [[maybe_unused]] const ssize_t n = write(signalPipe[1], "u", 1);
    errno = saved;
}

// Nearest-rank percentile of sorted values.
double percentile(const std::vector<double> &sorted, double p)
{
    if (sorted.empty())
        return 0;
    const auto rank = static_cast<size_t>(std::ceil(p * static_cast<double>(sorted.size())));
    return sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
}

// Milliseconds since this process started, from the kernel's record of its start.
double msSinceProcessStart()
{
    FILE *stat = std::fopen("/proc/self/stat", "r");
    if (!stat)
        return -1;
    char buffer[1024];
    const size_t n = std::fread(buffer, 1, sizeof buffer - 1, stat);
    std::fclose(stat);
    buffer[n] = '\0';
    // Field 22 (starttime) counts from the last ")" so a command name with spaces cannot shift it.
    const char *p = std::strrchr(buffer, ')');
    if (!p)
        return -1;
    unsigned long long start = 0;
    int field = 2;
    for (const char *q = p + 1; *q && field < 22; ++q) {
        if (*q == ' ') {
            ++field;
            if (field == 22)
                start = std::strtoull(q + 1, nullptr, 10);
        }
    }
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    return (now.tv_sec + now.tv_nsec / 1e9 - static_cast<double>(start) / ticks) * 1000.0;
}

} // namespace

StartupProbe::StartupProbe(const QList<QWidget *> &painted, QWidget *answering, bool quitWhenReady, QObject *parent,
                           std::function<int()> modelCount)
    : QObject(parent)
    , m_answering(answering)
    , m_quit(quitWhenReady)
    , m_modelCount(std::move(modelCount))
{
    for (QWidget *w : painted) {
        m_waiting << w;
        w->installEventFilter(this);
    }
    answering->installEventFilter(this);
    if (latencyRequested())
        listenForLatencySignal();
}

StartupProbe::~StartupProbe()
{
    if (!m_signalNotifier)
        return;
    std::signal(SIGUSR1, SIG_DFL);
    close(signalPipe[0]);
    close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

bool StartupProbe::requested()
{
    return qEnvironmentVariableIsSet("KORVANE_STARTUP_PROBE");
}

bool StartupProbe::quitRequested()
{
    return qEnvironmentVariable("KORVANE_STARTUP_PROBE") == QLatin1String("quit");
}

bool StartupProbe::latencyRequested()
{
    return qEnvironmentVariableIsSet("KORVANE_LATENCY_PROBE");
}

void StartupProbe::listenForLatencySignal()
{
    if (signalPipe[0] >= 0 || pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_signalNotifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_signalNotifier, &QSocketNotifier::activated, this, [this] {
        char byte;
        while (read(signalPipe[0], &byte, 1) == 1)
            toggleLatencySampling();
    });
    struct sigaction action{};
    action.sa_handler = onLatencySignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR1, &action, nullptr);
}

void StartupProbe::toggleLatencySampling()
{
    if (!m_poster.joinable()) {
        m_delaysMs.clear();
        m_poster = std::jthread([this](std::stop_token stop) {
            std::mutex mutex;
            std::condition_variable_any wake;
            std::unique_lock lock(mutex);
            auto next = Clock::now();
            for (;;) {
                // A steady cadence: a late wake-up does not push the later posts back.
                next = std::max(next + LatencyInterval, Clock::now() - LatencyInterval);
                wake.wait_until(lock, stop, next, [] { return false; });
                if (stop.stop_requested())
                    return;
                QCoreApplication::postEvent(this, new TimedEvent);
            }
        });
        return;
    }
    m_poster.request_stop();
    m_poster.join();
    std::vector<double> sorted = m_delaysMs;
    std::sort(sorted.begin(), sorted.end());
    std::printf("latency p50_ms=%.2f p99_ms=%.2f max_ms=%.2f samples=%zu\n", percentile(sorted, 0.50),
                percentile(sorted, 0.99), sorted.empty() ? 0.0 : sorted.back(), sorted.size());
    std::fflush(stdout);
}

bool StartupProbe::event(QEvent *event)
{
    if (event->type() != LatencyEvent)
        return QObject::event(event);
    // Events still queued when a window closes belong to no window.
    if (m_poster.joinable()) {
        const auto waited = Clock::now() - static_cast<TimedEvent *>(event)->posted;
        m_delaysMs.push_back(std::chrono::duration<double, std::milli>(waited).count());
    }
    return true;
}

bool StartupProbe::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint || event->type() == QEvent::UpdateRequest) {
        m_waiting.removeIf([watched](const QPointer<QWidget> &w) { return w.isNull() || w == watched; });
        if (m_waiting.isEmpty() && !m_posted && m_answering) {
            m_posted = true;
            QCoreApplication::postEvent(m_answering, new QEvent(ProbeEvent));
        }
    } else if (event->type() == ProbeEvent && watched == m_answering) {
        // The part models loaded tell whether the arm could be drawn.
        const int models = m_modelCount ? m_modelCount() : 0;
        std::printf("ready ms_since_start=%.1f models=%d\n", msSinceProcessStart(), models);
        std::fflush(stdout);
        if (m_quit)
            QCoreApplication::quit();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
