#include "app/StartupProbe.h"

#include <QCoreApplication>
#include <QEvent>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <unistd.h>

namespace {

const QEvent::Type ProbeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

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
}

bool StartupProbe::requested()
{
    return qEnvironmentVariableIsSet("KORVANE_STARTUP_PROBE");
}

bool StartupProbe::quitRequested()
{
    return qEnvironmentVariable("KORVANE_STARTUP_PROBE") == QLatin1String("quit");
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
