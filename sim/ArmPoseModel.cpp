#include "sim/ArmPoseModel.h"

ArmPoseModel::ArmPoseModel(QObject *parent)
    : QObject(parent)
{
}

void ArmPoseModel::setPose(const ArmPose &pose)
{
    if (pose == m_pose)
        return;
    m_pose = pose;
    emit changed();
}
