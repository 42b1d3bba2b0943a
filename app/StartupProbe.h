#pragma once

#include <QObject>

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <thread>
#include <vector>

class QSocketNotifier;

// Tells when start-up is over: every watched widget has painted and a widget then answers an
// event posted through the ordinary queue. Prints "ready" with the time since the process began
// and the number of part models loaded, and optionally quits. Enabled by KORVANE_STARTUP_PROBE for the start-up benchmark.
//
// With KORVANE_LATENCY_PROBE set as well it then measures how long an event posted to the UI
// thread waits before it runs: each SIGUSR1 starts or ends a sampling window, and the end prints
// "latency p50_ms=… p99_ms=… max_ms=… samples=N". The events come from a thread of their own, so a
// busy UI thread shows as waiting instead of delaying the samples themselves.
class StartupProbe : public QObject
{
    Q_OBJECT

public:
    // modelCount tells how many part models were loaded (none given: 0 is printed).
    StartupProbe(const QList<QWidget *> &painted, QWidget *answering, bool quitWhenReady, QObject *parent = nullptr,
                 std::function<int()> modelCount = {});
    ~StartupProbe() override;

    static bool requested();
    static bool quitRequested();
    static bool latencyRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;

private:
    void listenForLatencySignal();
    void toggleLatencySampling();

    QList<QPointer<QWidget>> m_waiting;
    QPointer<QWidget> m_answering;
    bool m_quit;
    std::function<int()> m_modelCount;
    bool m_posted = false;

    QSocketNotifier *m_signalNotifier = nullptr;
    std::vector<double> m_delaysMs;
    std::jthread m_poster; // running while a sampling window is open
};
