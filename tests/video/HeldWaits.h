#pragma once

#include "video/CVideoView.h"

#include <deque>
#include <functional>

// The pane's waits, each ended when the test says: nothing sleeps, and a slow machine flakes nothing.
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
