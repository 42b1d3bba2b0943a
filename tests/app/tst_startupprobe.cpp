// The latency probe of the start-up probe: off unless asked for, and a UI thread that stalls shows
// in what it reports.
#include "app/StartupProbe.h"

#include <QTemporaryFile>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

// Counts the probe's own queued events: each is one sample arriving.
class SampleCounter : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() >= QEvent::User)
            ++count;
        return false;
    }
};

// Sends this process's standard output to a file while it lives, so the reports can be read.
class StandardOutputTo
{
public:
    explicit StandardOutputTo(int fd)
    {
        std::fflush(stdout);
        dup2(fd, STDOUT_FILENO);
    }
    ~StandardOutputTo()
    {
        std::fflush(stdout);
        dup2(m_saved, STDOUT_FILENO);
        close(m_saved);
    }
    StandardOutputTo(const StandardOutputTo &) = delete;
    StandardOutputTo &operator=(const StandardOutputTo &) = delete;

private:
    const int m_saved = dup(STDOUT_FILENO);
};

bool latencySignalCaught()
{
    struct sigaction current{};
    sigaction(SIGUSR1, nullptr, &current);
    return current.sa_handler != SIG_DFL;
}

double field(const QString &line, const QString &name)
{
    const QRegularExpressionMatch m = QRegularExpression(name + QStringLiteral("=([0-9.]+)")).match(line);
    return m.hasMatch() ? m.captured(1).toDouble() : -1;
}

} // namespace

class TestStartupProbe : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void signalIsLeftAloneUnlessAskedFor_data();
    void signalIsLeftAloneUnlessAskedFor();
    void stalledUiThreadShowsInTheReport();

private:
    QWidget m_widget;
};

void TestStartupProbe::cleanup()
{
    qunsetenv("KORVANE_LATENCY_PROBE");
}

void TestStartupProbe::signalIsLeftAloneUnlessAskedFor_data()
{
    QTest::addColumn<bool>("asked");
    QTest::newRow("not asked") << false;
    QTest::newRow("asked") << true;
}

void TestStartupProbe::signalIsLeftAloneUnlessAskedFor()
{
    QFETCH(bool, asked);
    if (asked)
        qputenv("KORVANE_LATENCY_PROBE", "1");
    {
        StartupProbe probe({&m_widget}, &m_widget, false);
        QCOMPARE(latencySignalCaught(), asked);
    }
    // Once the probe is gone the signal has its ordinary meaning again.
    QVERIFY(!latencySignalCaught());
}

void TestStartupProbe::stalledUiThreadShowsInTheReport()
{
    qputenv("KORVANE_LATENCY_PROBE", "1");
    QTemporaryFile out;
    QVERIFY(out.open());
    const auto reports = [&out] {
        QFile file(out.fileName());
        return file.open(QIODevice::ReadOnly)
            ? QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)
            : QStringList();
    };
    {
        const StandardOutputTo redirect(out.handle());
        StartupProbe probe({&m_widget}, &m_widget, false);
        SampleCounter samples;
        probe.installEventFilter(&samples);
        raise(SIGUSR1);
        QTRY_VERIFY(samples.count >= 5);
        // The stall the probe must see: events keep being posted while the UI thread is busy.
        QThread::msleep(100);
        const int afterStall = samples.count;
        QTRY_VERIFY(samples.count >= afterStall + 20);
        raise(SIGUSR1);
        QTRY_COMPARE(reports().size(), 1);
        // A new window starts from nothing.
        const int reported = samples.count;
        raise(SIGUSR1);
        QTRY_VERIFY(samples.count >= reported + 3);
        raise(SIGUSR1);
        QTRY_COMPARE(reports().size(), 2);
    }
    const QStringList lines = reports();
    for (const QString &line : lines)
        QVERIFY2(line.startsWith(QLatin1String("latency ")), qPrintable(line));
    const QString first = lines[0];
    // The first event posted during the stall waited nearly all of it.
    QVERIFY2(field(first, QStringLiteral("max_ms")) >= 80, qPrintable(first));
    QVERIFY2(field(first, QStringLiteral("p99_ms")) >= 80, qPrintable(first));
    QVERIFY2(field(first, QStringLiteral("p50_ms")) < field(first, QStringLiteral("max_ms")), qPrintable(first));
    QVERIFY2(field(first, QStringLiteral("samples")) >= 25, qPrintable(first));
    const QString second = lines[1];
    QVERIFY2(field(second, QStringLiteral("samples")) < field(first, QStringLiteral("samples")), qPrintable(second));
}

QTEST_MAIN(TestStartupProbe)
#include "tst_startupprobe.moc"
