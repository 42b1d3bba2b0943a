#include "sim/ArmPose.h"

ArmPose &ArmPose::instance()
{
    static ArmPose pose;
    return pose;
}
