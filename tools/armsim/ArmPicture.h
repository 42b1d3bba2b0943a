#pragma once

#include <QDateTime>
#include <QImage>

class ArmModel;

// The camera's picture: the arm seen from the side at its current angles, its light, the game the
// camera runs and a clock, so a viewer plainly shows a live stream.
class ArmPicture
{
public:
    static constexpr int Width = 640;
    static constexpr int Height = 480;

    static QImage Render(const ArmModel &arm, const QDateTime &when, int frameNumber);
};
