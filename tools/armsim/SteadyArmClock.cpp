#include "tools/armsim/SteadyArmClock.h"

SteadyArmClock::SteadyArmClock()
{
    m_timer.start();
}

qint64 SteadyArmClock::nowMs() const
{
    return m_timer.elapsed();
}
