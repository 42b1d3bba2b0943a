#include "sim/JointKeys.h"

#include <Qt>

#include <cmath>

namespace {

// One degree in double precision, stored back as a float.
void step(float &angle, double delta)
{
    angle = static_cast<float>(static_cast<double>(angle) + delta);
}

void clampHigh(float &angle, float limit)
{
    if (angle >= limit)
        angle = limit;
}

void clampLow(float &angle, float limit)
{
    if (angle <= limit)
        angle = limit;
}

} // namespace

int JointKeys::truncate(float angle)
{
    if (!std::isfinite(angle) || angle >= 2147483648.0f || angle < -2147483648.0f)
        return 0;
    return static_cast<int>(angle);
}

std::optional<JointKeys::Change> JointKeys::apply(int key, ArmPose &pose)
{
    float *joint = nullptr;
    int servo = 0;
    double delta = 0.0;
    switch (key) {
    case Qt::Key_A: joint = &pose.joint1; servo = 1; delta = 1.0; break;
    case Qt::Key_D: joint = &pose.joint1; servo = 1; delta = -1.0; break;
    case Qt::Key_S: joint = &pose.joint2; servo = 2; delta = 1.0; break;
    case Qt::Key_W: joint = &pose.joint2; servo = 2; delta = -1.0; break;
    case Qt::Key_G: joint = &pose.joint3; servo = 3; delta = 1.0; break;
    case Qt::Key_T: joint = &pose.joint3; servo = 3; delta = -1.0; break;
    case Qt::Key_H: joint = &pose.joint4; servo = 4; delta = 1.0; break;
    case Qt::Key_F: joint = &pose.joint4; servo = 4; delta = -1.0; break;
    case Qt::Key_L: joint = &pose.joint5; servo = 5; delta = 1.0; break;
    case Qt::Key_J: joint = &pose.joint5; servo = 5; delta = -1.0; break;
    case Qt::Key_I:
        // Opens the gripper: the fingers turn away from each other.
        step(pose.fingerLeft, -1.0);
        step(pose.fingerRight, 1.0);
        clampLow(pose.fingerLeft, -90.0f);
        clampHigh(pose.fingerRight, 90.0f);
        return Change{6, truncate(pose.fingerLeft)};
    case Qt::Key_K:
        // Closes it, until the pads meet a few degrees past parallel.
        step(pose.fingerLeft, 1.0);
        step(pose.fingerRight, -1.0);
        clampHigh(pose.fingerLeft, 3.0f);
        clampLow(pose.fingerRight, -3.0f);
        return Change{6, truncate(pose.fingerLeft)};
    default:
        return std::nullopt;
    }
    step(*joint, delta);
    if (delta > 0)
        clampHigh(*joint, 90.0f);
    else
        clampLow(*joint, -90.0f);
    return Change{servo, truncate(*joint)};
}
