#pragma once

#include "tools/armsim/ArmClock.h"

// A clock that stands still until advanced: lets tests put the arm at any moment of a motion.
class ManualArmClock : public ArmClock
{
public:
    qint64 nowMs() const override { return m_now; }
    void advance(qint64 ms) { m_now += ms; }
    void set(qint64 ms) { m_now = ms; }

private:
    qint64 m_now = 0;
};
