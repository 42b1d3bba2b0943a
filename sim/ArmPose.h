#pragma once

// The arm's pose in degrees as the 3D view draws it: joint1 to joint5 for servos 1 to 5 and the
// two gripper fingers (both servo 6); 0 is a servo's middle.
struct ArmPose
{
    float joint1 = 0.0f;
    float joint2 = 0.0f;
    float joint3 = 0.0f;
    float joint4 = 0.0f;
    float joint5 = 0.0f;
    float fingerLeft = 0.0f;
    float fingerRight = 0.0f;

    bool operator==(const ArmPose &) const = default;
};
