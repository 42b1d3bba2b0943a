#pragma once

#include <QObject>

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

// Tells when start-up is over: every watched widget has painted and a widget then answers an
// event posted through the ordinary queue. Prints "ready" with the time since the process began
// and the number of part models loaded, and optionally quits. Enabled by KORVANE_STARTUP_PROBE for the start-up benchmark.
class StartupProbe : public QObject
{
    Q_OBJECT

public:
    // modelCount tells how many part models were loaded (none given: 0 is printed).
    StartupProbe(const QList<QWidget *> &painted, QWidget *answering, bool quitWhenReady, QObject *parent = nullptr,
                 std::function<int()> modelCount = {});

    static bool requested();
    static bool quitRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QList<QPointer<QWidget>> m_waiting;
    QPointer<QWidget> m_answering;
    bool m_quit;
    std::function<int()> m_modelCount;
    bool m_posted = false;
};
