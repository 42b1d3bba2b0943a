#pragma once

#include <QPoint>
#include <QVector3D>

// The 3D view's camera: a fixed tilt, the eye translation whose z is the zoom distance, and the
// operator's rotation, changed by left-button drags (rotation) and right-button drags (zoom).
// Pixel differences are halved in integer arithmetic (toward zero) before they turn the scene,
// and an angle that has reached 360 is brought back by 360 on its next change.
class ViewCamera
{
public:
    // The zoom distance stays between these (the eye looks down -z). A zoom step can multiply
    // the distance by any factor; without a bound one quick flick reaches 0 or turns the camera
    // round, and from there the multiplicative zoom can never bring the scene back.
    static constexpr float nearestEyeZ = -5.0f;
    static constexpr float farthestEyeZ = -5000.0f;

    ViewCamera() { reset(); }

    void reset();

    void leftDown(QPoint p);
    void leftUp(QPoint p);
    void rightDown(QPoint p);
    void rightUp(QPoint p);
    void move(QPoint p);

    QVector3D tilt() const { return m_tilt; }
    QVector3D eye() const { return m_eye; }
    QVector3D spin() const { return m_spin; }
    bool leftDrag() const { return m_leftDrag != 0; }
    bool rightDrag() const { return m_rightDrag != 0; }
    QPoint lastMouse() const { return m_lastMouse; }

    // Operators and tests may place the camera directly.
    void setSpin(QVector3D spin) { m_spin = spin; }
    void setEyeZ(float z);

    static int half(int pixels) { return pixels / 2; }

private:
    void turn(QPoint p);
    void zoom(int pixels);

    QVector3D m_tilt;
    QVector3D m_eye;
    QVector3D m_spin;
    int m_rightDrag = 0;
    int m_leftDrag = 0;
    QPoint m_lastMouse;
};
