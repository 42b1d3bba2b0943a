// The latency probe of the start-up probe: off unless asked for, and a UI thread that stalls shows
// in what it reports.
#include "app/StartupProbe.h"

#include <QTemporaryFile>
#include <QThread>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

// Counts the probe's own queued events: each is one sample arriving.
struct SampleCounter : QObject
{
    int count = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() >= QEvent::User ? 1 : 0;
        return false;
    }
};

bool latencySignalCaught()
{
    struct sigaction current{};
    sigaction(SIGUSR1, nullptr, &current);
    return current.sa_handler != SIG_DFL;
}

double field(const QString &line, const char *name)
{
    const auto m = QRegularExpression(QLatin1String(name) + QStringLiteral("=([0-9.]+)")).match(line);
    return m.hasMatch() ? m.captured(1).toDouble() : -1;
}

} // namespace

class TestStartupProbe : public QObject
{
    Q_OBJECT
    QWidget m_widget;

private slots:
    void cleanup() { qunsetenv("KORVANE_LATENCY_PROBE"); }

    void signalIsLeftAloneUnlessAskedFor()
    {
        for (bool asked : {false, true}) {
            if (asked)
                qputenv("KORVANE_LATENCY_PROBE", "1");
            {
                StartupProbe probe({&m_widget}, &m_widget, false);
                QCOMPARE(latencySignalCaught(), asked);
            }
            QVERIFY(!latencySignalCaught()); // the probe gone, the signal means what it always did
        }
    }

    void stalledUiThreadShowsInTheReport()
    {
        qputenv("KORVANE_LATENCY_PROBE", "1");
        QTemporaryFile out;
        QVERIFY(out.open());
        const auto reports = [&out] {
            QFile file(out.fileName());
            return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts)
                                                  : QStringList();
        };
        std::fflush(stdout);
        const int savedStdout = dup(STDOUT_FILENO);
        dup2(out.handle(), STDOUT_FILENO); // the reports go to standard output
        {
            StartupProbe probe({&m_widget}, &m_widget, false);
            SampleCounter samples;
            probe.installEventFilter(&samples);
            raise(SIGUSR1);
            QTRY_VERIFY(samples.count >= 5);
            QThread::msleep(100); // the stall to see: events keep being posted while the UI thread is busy
            const int afterStall = samples.count;
            QTRY_VERIFY(samples.count >= afterStall + 20);
            raise(SIGUSR1);
            QTRY_COMPARE(reports().size(), 1);
            const int reported = samples.count; // a new window starts from nothing
            raise(SIGUSR1);
            QTRY_VERIFY(samples.count >= reported + 3);
            raise(SIGUSR1);
            QTRY_COMPARE(reports().size(), 2);
        }
        std::fflush(stdout);
        dup2(savedStdout, STDOUT_FILENO);
        close(savedStdout);
        const QStringList lines = reports();
        QVERIFY(lines[0].startsWith("latency ") && lines[1].startsWith("latency "));
        // The first event posted during the stall waited nearly all of it.
        QVERIFY2(field(lines[0], "max_ms") >= 80 && field(lines[0], "p99_ms") >= 80, qPrintable(lines[0]));
        QVERIFY2(field(lines[0], "p50_ms") < field(lines[0], "max_ms"), qPrintable(lines[0]));
        QVERIFY2(field(lines[0], "samples") >= 25, qPrintable(lines[0]));
        QVERIFY2(field(lines[1], "samples") < field(lines[0], "samples"), qPrintable(lines[1]));
    }
};

QTEST_MAIN(TestStartupProbe)
#include "tst_startupprobe.moc"
