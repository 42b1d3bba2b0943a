#include "controls/CBitWnd.h"

#include "controls/CBitStrip.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>

CBitWnd::CBitWnd(QWidget *parent, int controlId)
    : QWidget(parent)
    , m_controlId(controlId)
{
    // Every pixel comes from the strip (black where it has no frame), so Qt need not erase.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    resize(0, 0);
}

CBitWnd::~CBitWnd() = default;

bool CBitWnd::LoadBitmap(int resource, int frameWidth, int frameHeight)
{
    m_ownStrip = std::make_unique<CBitStrip>(resource, frameWidth, frameHeight);
    m_pStrip = m_ownStrip.get();
    setGeometry(0, 0, m_pStrip->frameWidth(), m_pStrip->frameHeight());
    update();
    return m_pStrip->frames() > 0;
}

void CBitWnd::SetStrip(CBitStrip *strip)
{
    if (strip != m_ownStrip.get())
        m_ownStrip.reset();
    m_pStrip = strip;
    update();
}

void CBitWnd::SetSkinCursor(const std::optional<QCursor> &cursor)
{
    m_hCursor = cursor;
    if (m_hCursor)
        setCursor(*m_hCursor);
    else
        unsetCursor();
}

int CBitWnd::frameCount() const
{
    return m_pStrip ? m_pStrip->frames() : 0;
}

void CBitWnd::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (m_pStrip)
        m_pStrip->DrawFrame(&painter, m_nFrame);
}

void CBitWnd::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const int n = frameCount();
    m_nFrame = m_bDown ? 0 : (n > 2 ? 2 : 0);
    if (m_bToggle)
        m_bDown = !m_bDown;
    update();
    if (m_bNotifyOnPress)
        emit clicked(m_controlId);
    if (m_bForwardMouse)
        forward(event);
}

void CBitWnd::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    if (!m_bDown) {
        m_nFrame = frameCount() > 1 ? 1 : 0;
        update();
    }
    if (!m_bNotifyOnPress)
        emit clicked(m_controlId);
    if (m_bForwardMouse)
        forward(event);
}

void CBitWnd::mouseMoveEvent(QMouseEvent *event)
{
    // The first move after the pointer arrived counts as the hover report.
    if (!m_bTracking)
        hover();
    if (m_bForwardMouse)
        forward(event);
}

void CBitWnd::enterEvent(QEnterEvent *)
{
    if (!m_bTracking)
        hover();
}

void CBitWnd::leaveEvent(QEvent *)
{
    m_bTracking = false;
    m_nFrame = (m_bDown && frameCount() > 1) ? 2 : 0;
    update();
}

void CBitWnd::hover()
{
    m_bTracking = true;
    m_nFrame = m_bDown ? 2 : (frameCount() > 1 ? 1 : 0);
    update();
}

void CBitWnd::forward(QMouseEvent *event)
{
    QWidget *parent = parentWidget();
    if (!parent)
        return;
    QMouseEvent relayed(event->type(), mapToParent(event->position()), event->scenePosition(),
                        event->globalPosition(), event->button(), event->buttons(),
                        event->modifiers(), event->pointingDevice());
    QCoreApplication::sendEvent(parent, &relayed);
}
