#include "controls/CButtonEx.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

CButtonEx::CButtonEx(QWidget *parent)
    : QPushButton(parent)
{
    init();
}

CButtonEx::CButtonEx(const QString &text, QWidget *parent)
    : QPushButton(text, parent)
{
    init();
}

CButtonEx::~CButtonEx() = default;

void CButtonEx::init()
{
    m_crDisabledText = palette().color(QPalette::Disabled, QPalette::ButtonText);
    setMouseTracking(true);
}

void CButtonEx::SetText(const QString &text)
{
    m_strText.clear();
    setText(text);
    update();
}

void CButtonEx::SetBackColor(const QColor &color)
{
    m_crBack = color;
    update();
}

void CButtonEx::SetTextColor(const QColor &color)
{
    m_crText = color;
    update();
}

void CButtonEx::SetButtonFont(int pointSizeTenths, const QString &face)
{
    QFont font(face);
    if (pointSizeTenths > 0)
        font.setPointSizeF(pointSizeTenths / 10.0);
    SetButtonFont(font);
}

void CButtonEx::SetButtonFont(const QFont &font)
{
    setFont(font);
    update();
}

void CButtonEx::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    DrawItem(painter, rect());
}

void CButtonEx::DrawItem(QPainter &painter, const QRect &item)
{
    m_rcItem = item;
    if (m_strText.isEmpty())
        m_strText = text();
    painter.save();
    paintFace(painter);
    painter.restore();
}

void CButtonEx::paintFace(QPainter &painter)
{
    // A button enabled again after being disabled paints as normal.
    if (m_nState == Disabled)
        m_nState = Normal;
    if (!isEnabled())
        m_nState = Disabled;

    QColor fill;
    QColor ink = m_crText;
    switch (m_nState) {
    case Hover:
        fill = HoverFill;
        break;
    case Pressed:
        fill = PressedFill;
        break;
    case Disabled:
        fill = m_crBack;
        ink = m_crDisabledText;
        break;
    default:
        fill = NormalFill;
        break;
    }

    // Outline and fill in one colour, so the outline does not show.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(fill, 1.0));
    painter.setBrush(fill);
    const qreal radius = CornerSize / 2.0;
    painter.drawRoundedRect(QRectF(m_rcItem).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);

    // One line, centred both ways, cut with an ellipsis when too wide; line breaks in the
    // caption do not break it.
    QString line = m_strText;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    line.remove(QLatin1Char('\r'));
    const QString shown =
        painter.fontMetrics().elidedText(line, Qt::ElideRight, m_rcItem.width(), Qt::TextShowMnemonic);
    painter.setPen(ink);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.drawText(m_rcItem, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, shown);
}

void CButtonEx::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressAbandoned = false;
        m_nState = Pressed;
        update();
    }
    QPushButton::mousePressEvent(event);
}

void CButtonEx::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        if (m_pressAbandoned) {
            // Released elsewhere after leaving: the button stays normal. Released back over
            // it: it shows hover. QPushButton is no longer down either way, so no click.
            m_pressAbandoned = false;
            if (rect().contains(event->position().toPoint())) {
                m_bTracking = true;
                m_nState = Hover;
            } else {
                m_bTracking = false;
                m_nState = Normal;
            }
            update();
        } else {
            m_nState = Hover;
        }
    }
    QPushButton::mouseReleaseEvent(event);
}

void CButtonEx::mouseMoveEvent(QMouseEvent *event)
{
    const bool held = event->buttons() & Qt::LeftButton;
    if (m_bTracking || (held && !m_pressAbandoned)) {
        if (!rect().contains(event->position().toPoint())) {
            if (held && !m_pressAbandoned) {
                m_pressAbandoned = true;
                // Let QPushButton see the pointer leave so it lets go of its down state.
                QPushButton::mouseMoveEvent(event);
            }
            hoverOff();
        }
    } else if (rect().contains(event->position().toPoint())) {
        m_bTracking = true;
        m_nState = Hover;
        update();
    }
    // A press given up stays given up: QPushButton must not take it back when the pointer
    // returns over the button.
    if (!m_pressAbandoned)
        QPushButton::mouseMoveEvent(event);
}

void CButtonEx::enterEvent(QEnterEvent *event)
{
    if (!m_bTracking && isEnabled()) {
        m_bTracking = true;
        m_nState = Hover;
        update();
    }
    QPushButton::enterEvent(event);
}

void CButtonEx::leaveEvent(QEvent *event)
{
    if (m_bTracking)
        hoverOff();
    QPushButton::leaveEvent(event);
}

void CButtonEx::changeEvent(QEvent *event)
{
    // A disabled button loses its hover tracking, so the pointer over it is seen afresh once
    // it is enabled again.
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        m_bTracking = false;
    QPushButton::changeEvent(event);
}

void CButtonEx::hoverOff()
{
    m_bTracking = false;
    m_nState = Normal;
    update();
}
