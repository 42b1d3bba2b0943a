#include "controls/TrackBar.h"

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <utility>

namespace {

// Assistive technology sees the value and may set it; a set value is the operator's move.
class TrackBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit TrackBarAccessible(TrackBar *bar)
        : QAccessibleWidget(bar, QAccessible::Slider)
    {
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return QString::number(bar()->value());
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return bar()->value(); }
    void setCurrentValue(const QVariant &value) override { bar()->SetValueFromAssistant(value.toInt()); }
    QVariant maximumValue() const override { return bar()->maximum(); }
    QVariant minimumValue() const override { return bar()->minimum(); }
    QVariant minimumStepSize() const override { return bar()->singleStep(); }

private:
    TrackBar *bar() const { return static_cast<TrackBar *>(widget()); }
};

QAccessibleInterface *accessibleTrackBar(const QString &, QObject *object)
{
    if (auto *bar = qobject_cast<TrackBar *>(object))
        return new TrackBarAccessible(bar);
    return nullptr;
}

} // namespace

TrackBar::TrackBar(QWidget *parent)
    : TrackBar(Qt::Horizontal, parent)
{
}

TrackBar::TrackBar(Qt::Orientation orientation, QWidget *parent)
    : QSlider(orientation, parent)
{
    init();
}

void TrackBar::init()
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(accessibleTrackBar);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setPageStep(std::max(1, (maximum() - minimum()) / 5));
    // Page presses and drag positions come through the slider's own actions.
    connect(this, &QAbstractSlider::actionTriggered, this, &TrackBar::onAction);
    connect(this, &QAbstractSlider::sliderReleased, this, [this] { emit notification(EndTrack); });
}

void TrackBar::onAction(int action)
{
    switch (action) {
    case SliderSingleStepAdd: emit notification(LineDown); break;
    case SliderSingleStepSub: emit notification(LineUp); break;
    case SliderPageStepAdd: emit notification(PageDown); break;
    case SliderPageStepSub: emit notification(PageUp); break;
    case SliderToMinimum: emit notification(Top); break;
    case SliderToMaximum: emit notification(Bottom); break;
    case SliderMove: emit notification(ThumbTrack); break;
    default: break;
    }
}

void TrackBar::SetValueFromAssistant(int value)
{
    setValue(value);
    emit notification(ThumbPosition);
}

namespace {

bool isTrackKey(int key)
{
    switch (key) {
    case Qt::Key_Left: case Qt::Key_Up: case Qt::Key_Right: case Qt::Key_Down:
    case Qt::Key_PageUp: case Qt::Key_PageDown: case Qt::Key_Home: case Qt::Key_End:
        return true;
    default:
        return false;
    }
}

} // namespace

void TrackBar::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (!isTrackKey(key)) {
        QSlider::keyPressEvent(event);
        return;
    }
    event->accept();
    const int position = sliderPosition();
    const bool lowers = key == Qt::Key_Left || key == Qt::Key_Up || key == Qt::Key_PageUp || key == Qt::Key_Home;
    // Already at the end it moves toward: no step (the release still ends the action).
    if (lowers ? position <= minimum() : position >= maximum())
        return;
    int target = position;
    Notification code = LineUp;
    switch (key) {
    case Qt::Key_Left: case Qt::Key_Up: target = position - singleStep(); code = LineUp; break;
    case Qt::Key_Right: case Qt::Key_Down: target = position + singleStep(); code = LineDown; break;
    case Qt::Key_PageUp: target = position - pageStep(); code = PageUp; break;
    case Qt::Key_PageDown: target = position + pageStep(); code = PageDown; break;
    case Qt::Key_Home: target = minimum(); code = Top; break;
    default: target = maximum(); code = Bottom; break;
    }
    setValue(target);
    emit notification(code);
}

void TrackBar::keyReleaseEvent(QKeyEvent *event)
{
    if (!isTrackKey(event->key())) {
        QSlider::keyReleaseEvent(event);
        return;
    }
    event->accept();
    // A held key repeats its step; only the real release ends the action.
    if (!event->isAutoRepeat())
        emit notification(EndTrack);
}

void TrackBar::wheelEvent(QWheelEvent *event)
{
    // Taken also at either end, so a scrolling parent does not move instead.
    event->accept();
    const QPoint delta = event->angleDelta();
    m_wheelRest += delta.y() != 0 ? delta.y() : delta.x();
    const int notches = m_wheelRest / QWheelEvent::DefaultDeltasPerStep;
    m_wheelRest %= QWheelEvent::DefaultDeltasPerStep;
    if (notches == 0)
        return;
    const bool byPage = event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier);
    const qint64 step = byPage ? pageStep() : qint64(QApplication::wheelScrollLines()) * singleStep();
    // Turned away from the operator, the wheel lowers the value.
    const qint64 target = std::clamp<qint64>(sliderPosition() - notches * step, minimum(), maximum());
    if (target == sliderPosition())
        return;
    setValue(int(target));
    if (byPage)
        emit notification(notches > 0 ? PageUp : PageDown);
    else
        emit notification(notches > 0 ? LineUp : LineDown);
}

void TrackBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || event->buttons() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    QSlider::mousePressEvent(event);
    m_leftPressed = event->isAccepted();
}

void TrackBar::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    // A drag ends through sliderReleased; a page press ends here.
    const bool dragging = isSliderDown();
    QSlider::mouseReleaseEvent(event);
    if (std::exchange(m_leftPressed, false) && !dragging)
        emit notification(EndTrack);
}

void TrackBar::sliderChange(SliderChange change)
{
    if (change == SliderRangeChange)
        setPageStep(std::max(1, (maximum() - minimum()) / 5));
    QSlider::sliderChange(change);
}
