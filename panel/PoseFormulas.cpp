#include "panel/PoseFormulas.h"

namespace PoseFormulas {

namespace {

// Offsets are taken in 64 bits so no angle, however wild a reply is, can overflow.
float offset(long long value, long long by)
{
    return static_cast<float>(value - by);
}

float *jointOf(ArmPose &pose, int servo)
{
    switch (servo) {
    case 1: return &pose.joint1;
    case 2: return &pose.joint2;
    case 3: return &pose.joint3;
    case 4: return &pose.joint4;
    case 5: return &pose.joint5;
    default: return nullptr;
    }
}

} // namespace

void FromSlider(ArmPose &pose, int servo, int angle)
{
    if (float *joint = jointOf(pose, servo)) {
        *joint = offset(angle, 90);
    } else if (servo == 6) {
        const int half = angle / 2;
        pose.fingerLeft = offset(half, 90);
        pose.fingerRight = offset(90, half);
    }
}

void FromReportedAngle(ArmPose &pose, int servo, int angle)
{
    if (float *joint = jointOf(pose, servo)) {
        *joint = offset(angle, 90);
    } else if (servo == 6) {
        pose.fingerLeft = offset(angle, 90);
        pose.fingerRight = offset(90, angle);
    }
}

void Centre(ArmPose &pose)
{
    pose = ArmPose{};
}

} // namespace PoseFormulas
