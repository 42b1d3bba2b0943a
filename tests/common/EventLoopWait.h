#pragma once

#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <functional>

// Runs a real event loop until done() holds or timeoutMs passes, checking every checkMs. Unlike
// QTRY_*, which sleeps between its turns, it keeps queued hand-offs flowing at full speed.
inline bool runEventLoopUntil(const std::function<bool()> &done, int timeoutMs, int checkMs = 20)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    check.start(checkMs);
    if (!done())
        loop.exec();
    return done();
}
