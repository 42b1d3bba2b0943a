#include "sim/ViewCamera.h"

#include <algorithm>

namespace {

float wrapOf(float angle)
{
    return angle >= 360.0f ? 360.0f : 0.0f;
}

} // namespace

void ViewCamera::reset()
{
    m_eye = QVector3D(0.0f, 0.0f, -100.0f);
    m_tilt = QVector3D(20.0f, -20.0f, 0.0f);
    m_spin = QVector3D(0.0f, 0.0f, 0.0f);
    m_rightDrag = 0;
    m_leftDrag = 0;
    m_lastMouse = QPoint(0, 0);
}

void ViewCamera::setEyeZ(float z)
{
    m_eye.setZ(std::clamp(z, farthestEyeZ, nearestEyeZ));
}

void ViewCamera::turn(QPoint p)
{
    // Vertical motion turns about X, horizontal about Z; each angle wraps on its own.
    const float x = m_spin.x();
    m_spin.setX(x + static_cast<float>(half(p.y() - m_lastMouse.y())) - wrapOf(x));
    const float z = m_spin.z();
    m_spin.setZ(z + static_cast<float>(half(p.x() - m_lastMouse.x())) - wrapOf(z));
}

void ViewCamera::zoom(int pixels)
{
    const float z = m_eye.z();
    setEyeZ(z + static_cast<float>(pixels) * z / 100.0f);
}

void ViewCamera::leftDown(QPoint p)
{
    m_lastMouse = p;
    m_leftDrag = 1;
}

void ViewCamera::leftUp(QPoint p)
{
    m_leftDrag = 0;
    turn(p);
}

void ViewCamera::rightDown(QPoint p)
{
    m_lastMouse = p;
    m_rightDrag = 1;
}

void ViewCamera::rightUp(QPoint p)
{
    m_rightDrag = 0;
    zoom(p.y() - m_lastMouse.y());
}

void ViewCamera::move(QPoint p)
{
    if (m_rightDrag)
        zoom(m_lastMouse.y() - p.y());
    else if (m_leftDrag)
        turn(p);
    m_lastMouse = p;
}
