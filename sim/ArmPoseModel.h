#pragma once

#include "sim/ArmPose.h"

#include <QObject>

// The pose the 3D view shows, held by the document: the control panel and the view's joint keys
// write it, the view reads it and redraws when it changes.
class ArmPoseModel : public QObject
{
    Q_OBJECT

public:
    explicit ArmPoseModel(QObject *parent = nullptr);

    const ArmPose &pose() const { return m_pose; }
    // Announces the change only when a value differs, so an unchanged pose costs no frame.
    void setPose(const ArmPose &pose);

    // Applies edit to a copy of the pose and stores the result.
    template <typename Edit>
    void edit(Edit &&change)
    {
        ArmPose pose = m_pose;
        change(pose);
        setPose(pose);
    }

signals:
    void changed();

private:
    ArmPose m_pose;
};
