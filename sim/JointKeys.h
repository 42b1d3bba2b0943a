#pragma once

#include "sim/ArmPose.h"

#include <optional>

// The 3D view's joint keys: each letter moves one joint (I and K both fingers) by one degree,
// clamps it to its range and names the servo and whole-degree value the control panel follows.
class JointKeys
{
public:
    struct Change
    {
        int servo = 0; // 1 to 6
        int value = 0; // the new angle, truncated toward zero
    };

    // key is a Qt::Key letter code (upper and lower case arrive as the same code). Other keys
    // leave the pose alone and give nothing.
    static std::optional<Change> apply(int key, ArmPose &pose);

    // A float angle as the panel takes it: truncated toward zero; a value that is not a finite
    // number within the int range gives 0 rather than undefined behaviour.
    static int truncate(float angle);
};
