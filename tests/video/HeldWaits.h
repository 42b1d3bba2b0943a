#pragma once

#include "video/CVideoView.h"

#include <deque>
#include <functional>
#include <utility>

// Holds the pane's waits so the test decides when each one is over: no test sleeps through a
// wait, and a slow viewer start on a loaded machine cannot make one flaky.
struct HeldWaits
{
    std::deque<std::pair<int, std::function<void()>>> waits;

    CVideoView::Scheduler Scheduler()
    {
        return [this](int ms, std::function<void()> next) { waits.emplace_back(ms, std::move(next)); };
    }
    // Ends the oldest wait, which must have lasted `ms`.
    bool Elapse(int ms)
    {
        if (waits.empty() || waits.front().first != ms)
            return false;
        auto next = std::move(waits.front().second);
        waits.pop_front();
        next();
        return true;
    }
};
