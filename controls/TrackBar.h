#pragma once

#include <QSlider>

// A slider that takes keyboard, wheel and mouse input the way the desktop trackbar control does,
// and reports each change as one scroll notification:
// - Left/Up step down by the line size, Right/Down up; PageUp a page down, PageDown a page up;
//   Home to the minimum, End to the maximum. A new range sets the page to a fifth of it.
// - Releasing one of those keys, or the left button, ends the action: one more notification.
// - The wheel turned away from the operator lowers the value (Ctrl or Shift: by pages).
// - Only the left button acts: beside the handle it pages toward the pointer while held, on
//   the handle it drags. Right and middle clicks do nothing.
// - A value set through the accessibility interface counts as one move by the operator.
// Values set from code (setValue) notify nothing.
class TrackBar : public QSlider
{
    Q_OBJECT

public:
    // The notification codes of the desktop trackbar.
    enum Notification {
        LineUp = 0,
        LineDown = 1,
        PageUp = 2,
        PageDown = 3,
        ThumbPosition = 4,
        ThumbTrack = 5,
        Top = 6,
        Bottom = 7,
        EndTrack = 8,
    };
    Q_ENUM(Notification)

    explicit TrackBar(QWidget *parent = nullptr);
    explicit TrackBar(Qt::Orientation orientation, QWidget *parent = nullptr);

    // What assistive technology does when it sets a value.
    void SetValueFromAssistant(int value);

signals:
    // One scroll notification; the slider's position already holds the new value.
    void notification(int code);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void sliderChange(SliderChange change) override;

private:
    void init();
    void onAction(int action);

    bool m_leftPressed = false;
    int m_wheelRest = 0;
};
