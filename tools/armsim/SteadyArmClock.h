#pragma once

#include "tools/armsim/ArmClock.h"

#include <QElapsedTimer>

// The monotonic clock the stand-in runs on: wall-clock changes never make the arm jump.
class SteadyArmClock : public ArmClock
{
public:
    SteadyArmClock();
    qint64 nowMs() const override;

private:
    QElapsedTimer m_timer;
};
