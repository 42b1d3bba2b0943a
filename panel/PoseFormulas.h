#pragma once

#include "sim/ArmPose.h"

// How the panel's joint angles (whole degrees, 90 the middle) become the 3D view's pose. Slider
// moves halve servo 6 between the two fingers; replies and played rows give each finger the full
// offset: a slider moves the gripper servo, a reported or played angle is each finger's own.
namespace PoseFormulas {

// servo 1 to 6; other numbers change nothing.
void FromSlider(ArmPose &pose, int servo, int angle);
void FromReportedAngle(ArmPose &pose, int servo, int angle);
void Centre(ArmPose &pose);

} // namespace PoseFormulas
