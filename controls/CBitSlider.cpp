#include "controls/CBitSlider.h"

#include "controls/CBitStrip.h"
#include "controls/CBitWnd.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolTip>

#include <algorithm>
#include <limits>

namespace {

// Jump-to-click and thumb placement depend on the handle and groove geometry of the style.
// All bitmap sliders take Fusion's, whatever the desktop style, so they behave the same
// everywhere (the style never paints anything here), with the handle as long as the thumb
// drawn over it, so the part that starts a drag is the part the operator sees.
class SliderGeometryStyle : public QProxyStyle
{
public:
    SliderGeometryStyle()
        : QProxyStyle(QStringLiteral("Fusion"))
    {
    }

    int pixelMetric(PixelMetric metric, const QStyleOption *option,
                    const QWidget *widget) const override
    {
        if (metric == PM_SliderLength) {
            if (const int length = thumbLength(widget); length > 0)
                return length;
        }
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option,
                         SubControl sub, const QWidget *widget) const override
    {
        QRect rect = QProxyStyle::subControlRect(control, option, sub, widget);
        if (control == CC_Slider && sub == SC_SliderHandle) {
            if (const int length = thumbLength(widget); length > 0) {
                if (static_cast<const CBitSlider *>(widget)->orientation() == Qt::Horizontal)
                    rect.setWidth(length);
                else
                    rect.setHeight(length);
            }
        }
        return rect;
    }

private:
    static int thumbLength(const QWidget *widget)
    {
        const auto *slider = qobject_cast<const CBitSlider *>(widget);
        if (!slider || !slider->thumb())
            return 0;
        const QSize size = slider->thumb()->size();
        return slider->orientation() == Qt::Horizontal ? size.width() : size.height();
    }
};

QStyle *geometryStyle()
{
    static QPointer<QStyle> style;
    if (!style) {
        style = new SliderGeometryStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style;
}

} // namespace

CBitSlider::CBitSlider(QWidget *parent)
    : CBitSlider(Qt::Horizontal, parent)
{
}

CBitSlider::CBitSlider(Qt::Orientation orientation, QWidget *parent)
    : TrackBar(orientation, parent)
{
    init();
}

CBitSlider::~CBitSlider()
{
    hideTip();
    // The thumb goes first, while the slider that filters its events is still whole, and is
    // forgotten before its destruction sends events that would reach for it.
    CBitWnd *thumb = m_thumb.data();
    m_thumb = nullptr;
    delete thumb;
    FreeStrips();
}

void CBitSlider::init()
{
    if (QStyle *style = geometryStyle())
        setStyle(style);
    setMouseTracking(true);
    m_tipTimer.setSingleShot(true);
    m_tipTimer.setInterval(TipDelayMs);
    connect(&m_tipTimer, &QTimer::timeout, this, &CBitSlider::ShowTip);
}

bool CBitSlider::CreateThumb(int thumbResource, int frameWidth, int frameHeight)
{
    if (m_thumb || thumbResource == 0)
        return m_thumb != nullptr;
    m_thumb = new CBitWnd(this, 0);
    m_thumb->setObjectName(QStringLiteral("thumb"));
    m_thumb->LoadBitmap(thumbResource, frameWidth, frameHeight);
    // Presses, drags and releases on the thumb act as they would on the slider itself.
    m_thumb->SetForwardMouse(true);
    m_thumb->SetSkinCursor(m_hCursor);
    m_thumb->installEventFilter(this);
    m_thumb->show();
    UpdateTip();
    placeThumb();
    return true;
}

CBitWnd *CBitSlider::thumb() const
{
    return m_thumb.data();
}

void CBitSlider::SetBitmaps(int emptyResource, int filledResource)
{
    FreeStrips();
    m_ownEmpty = std::make_unique<CBitStrip>(emptyResource, 0, 0);
    m_ownFilled = std::make_unique<CBitStrip>(filledResource, 0, 0);
    m_pEmptyStrip = m_ownEmpty.get();
    m_pFilledStrip = m_ownFilled.get();
    applyStripSize();
}

void CBitSlider::SetStrips(CBitStrip *empty, CBitStrip *filled)
{
    FreeStrips();
    m_pEmptyStrip = empty;
    m_pFilledStrip = filled;
    applyStripSize();
}

void CBitSlider::FreeStrips()
{
    m_pEmptyStrip = nullptr;
    m_pFilledStrip = nullptr;
    m_ownEmpty.reset();
    m_ownFilled.reset();
}

void CBitSlider::applyStripSize()
{
    // A track image that failed to load must not shrink the control to nothing.
    if (m_pFilledStrip && !m_pFilledStrip->isNull())
        setFixedSize(m_pFilledStrip->width(), m_pFilledStrip->height());
    placeThumb();
    update();
}

void CBitSlider::SetThumbOffset(int offset)
{
    m_nThumbOffset = offset;
    placeThumb();
}

void CBitSlider::SetSkinCursor(const std::optional<QCursor> &cursor)
{
    m_hCursor = cursor;
    if (m_hCursor)
        setCursor(*m_hCursor);
    else
        unsetCursor();
    if (m_thumb)
        m_thumb->SetSkinCursor(cursor);
}

QSize CBitSlider::sizeHint() const
{
    if (m_pFilledStrip && !m_pFilledStrip->isNull())
        return {m_pFilledStrip->width(), m_pFilledStrip->height()};
    return QSlider::sizeHint();
}

QSize CBitSlider::minimumSizeHint() const
{
    if (m_pFilledStrip && !m_pFilledStrip->isNull())
        return sizeHint();
    return QSlider::minimumSizeHint();
}

bool CBitSlider::upsideDown() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return option.upsideDown;
}

QRect CBitSlider::BaseThumbRect() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
}

QRect CBitSlider::ChannelRect() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
}

QRect CBitSlider::ThumbRect() const
{
    if (!m_thumb)
        return {};
    const QSize size = m_thumb->size();
    const QRect base = BaseThumbRect();
    // Integer division truncates toward zero, which puts the thumb on the pixel its images are drawn for.
    if (orientation() == Qt::Horizontal)
        return {base.left() + (size.width() - base.width()) / 2, m_nThumbOffset, size.width(),
                size.height()};
    return {m_nThumbOffset, base.top() + (size.height() - base.height()) / 2, size.width(),
            size.height()};
}

int CBitSlider::PositionForClick(const QPoint &pos) const
{
    const bool horizontal = orientation() == Qt::Horizontal;
    const QRect channel = ChannelRect();
    const qint64 span = horizontal ? channel.width() : channel.height();
    if (span <= 0)
        return sliderPosition();
    const qint64 thumb = horizontal ? BaseThumbRect().width() : BaseThumbRect().height();
    const qint64 along = horizontal ? pos.x() : pos.y();
    const qint64 start = horizontal ? channel.left() : channel.top();
    // Measured from the end where the minimum sits.
    const qint64 offset = upsideDown() ? start + span - along : along - start;
    const qint64 range = qint64(maximum()) - minimum();
    qint64 position = offset * range / span;
    // In the upper half the click counts from half a handle further on, so the handle lands
    // under the pointer rather than ahead of it.
    if (position > range / 2)
        position = (offset + thumb / 2) * range / span;
    position += minimum();
    return int(std::clamp<qint64>(position, std::numeric_limits<int>::min(),
                                  std::numeric_limits<int>::max()));
}

void CBitSlider::UpdateTip()
{
    if (!m_thumb)
        return;
    const QString text = QString::number(sliderPosition());
    setToolTip(text);
    m_thumb->setToolTip(text);
    if (m_tipShown && QToolTip::isVisible() && QToolTip::text() != text)
        ShowTip();
}

void CBitSlider::ShowTip()
{
    if (!m_thumb)
        return;
    QWidget *tool = m_thumb->underMouse() ? static_cast<QWidget *>(m_thumb.data()) : this;
    QToolTip::showText(m_tipPos, QString::number(sliderPosition()), tool);
    m_tipShown = true;
}

void CBitSlider::armTip(const QPointF &globalPos)
{
    m_tipPos = globalPos.toPoint();
    if (!m_tipShown || !QToolTip::isVisible()) {
        m_tipShown = false;
        m_tipTimer.start();
    }
}

void CBitSlider::hideTip()
{
    m_tipTimer.stop();
    if (m_tipShown) {
        m_tipShown = false;
        QToolTip::hideText();
    }
}

void CBitSlider::placeThumb()
{
    if (!m_thumb)
        return;
    const QRect target = ThumbRect();
    if (m_thumb->geometry() != target)
        m_thumb->setGeometry(target);
}

void CBitSlider::DrawSlider(QPainter *painter, bool moveThumb)
{
    if (!painter || !m_thumb || !m_pFilledStrip || !m_pEmptyStrip)
        return;
    const QRect client = rect();
    const QRect thumb = ThumbRect();
    const bool horizontal = orientation() == Qt::Horizontal;
    const int length = horizontal ? client.width() : client.height();
    const int thumbStart = horizontal ? thumb.x() : thumb.y();
    const int thumbEnd = thumbStart + (horizontal ? thumb.width() : thumb.height());

    // Each part takes its pixels from the same place in its image as on the control.
    auto part = [&](CBitStrip *strip, int from, int to) {
        from = std::max(from, 0);
        to = std::min(to, length);
        if (to <= from)
            return;
        if (horizontal)
            strip->Draw(painter, from, 0, to - from, client.height(), from, 0);
        else
            strip->Draw(painter, 0, from, client.width(), to - from, 0, from);
    };
    // The filled track lies on the minimum's side of the thumb; when the thumb is placed
    // too it also fills the ground under the thumb.
    if (!upsideDown()) {
        part(m_pFilledStrip, 0, moveThumb ? thumbEnd : thumbStart);
        part(m_pEmptyStrip, thumbEnd, length);
    } else {
        part(m_pEmptyStrip, 0, thumbStart);
        part(m_pFilledStrip, moveThumb ? thumbStart : thumbEnd, length);
    }
    if (moveThumb)
        placeThumb();
}

void CBitSlider::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    DrawSlider(&painter, true);
}

void CBitSlider::mousePressEvent(QMouseEvent *event)
{
    hideTip();
    // Only the left button acts, and only alone (TrackBar refuses the rest).
    if (event->button() != Qt::LeftButton || event->buttons() != Qt::LeftButton || maximum() == minimum()) {
        TrackBar::mousePressEvent(event);
        return;
    }
    setValue(PositionForClick(event->position().toPoint()));

    // QSlider pages toward a press beside its handle; handing it the press on the handle
    // (where the pointer normally is by now) starts a drag instead.
    const QRect handle = BaseThumbRect();
    QPointF at = event->position();
    if (!handle.isEmpty()) {
        at.setX(std::clamp<qreal>(at.x(), handle.left(), handle.right()));
        at.setY(std::clamp<qreal>(at.y(), handle.top(), handle.bottom()));
    }
    QMouseEvent press(event->type(), at, event->scenePosition(), event->globalPosition(),
                      event->button(), event->buttons(), event->modifiers(),
                      event->pointingDevice());
    TrackBar::mousePressEvent(&press);
    event->setAccepted(press.isAccepted());
    setFocus(Qt::MouseFocusReason);
}

void CBitSlider::mouseReleaseEvent(QMouseEvent *event)
{
    update();
    UpdateTip();
    TrackBar::mouseReleaseEvent(event);
    // After a drag the tip comes back with the new value.
    if (rect().contains(event->position().toPoint()))
        armTip(event->globalPosition());
}

void CBitSlider::mouseMoveEvent(QMouseEvent *event)
{
    UpdateTip();
    TrackBar::mouseMoveEvent(event);
    if (event->buttons() == Qt::NoButton)
        armTip(event->globalPosition());
}

void CBitSlider::resizeEvent(QResizeEvent *event)
{
    TrackBar::resizeEvent(event);
    placeThumb();
}

void CBitSlider::sliderChange(SliderChange change)
{
    TrackBar::sliderChange(change);
    placeThumb();
    UpdateTip();
}

bool CBitSlider::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Enter:
        armTip(static_cast<QEnterEvent *>(event)->globalPosition());
        break;
    case QEvent::Leave:
        hideTip();
        break;
    case QEvent::ToolTip:
        // The value tip has its own, shorter delay; the standard request shows the same tip.
        m_tipPos = static_cast<QHelpEvent *>(event)->globalPos();
        ShowTip();
        return true;
    case QEvent::StyleChange:
    case QEvent::LayoutDirectionChange:
        placeThumb();
        break;
    default:
        break;
    }
    return TrackBar::event(event);
}

bool CBitSlider::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_thumb) {
        if (event->type() == QEvent::Enter) {
            armTip(static_cast<QEnterEvent *>(event)->globalPosition());
        } else if (event->type() == QEvent::ToolTip) {
            m_tipPos = static_cast<QHelpEvent *>(event)->globalPos();
            ShowTip();
            return true;
        }
    }
    return TrackBar::eventFilter(watched, event);
}
