#pragma once

#include <QtGlobal>

// Where the arm model reads the time, in milliseconds from an arbitrary origin. The program uses
// a monotonic clock; tests substitute one they advance by hand, so motion is checked without waiting.
class ArmClock
{
public:
    virtual ~ArmClock() = default;
    virtual qint64 nowMs() const = 0;
};
