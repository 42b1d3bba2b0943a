#include "controls/CBitStrip.h"

#include "controls/SkinResources.h"

#include <QPainter>

CBitStrip::CBitStrip(int resource, int frameWidth, int frameHeight)
{
    const QString path = SkinResourcePath(resource);
    if (!path.isEmpty())
        m_bitmap = QPixmap(path);
    cut(frameWidth, frameHeight);
}

CBitStrip::CBitStrip(const QImage &image, int frameWidth, int frameHeight)
    : m_bitmap(QPixmap::fromImage(image))
{
    cut(frameWidth, frameHeight);
}

void CBitStrip::cut(int frameWidth, int frameHeight)
{
    m_nFrameWidth = frameWidth > 0 ? frameWidth : m_bitmap.width();
    m_nFrameHeight = frameHeight > 0 ? frameHeight : m_bitmap.height();
    m_bVertical = m_bitmap.height() > m_bitmap.width();
    // An image that failed to load has no frames rather than a division by zero.
    if (m_bVertical)
        m_nFrames = m_nFrameHeight > 0 ? m_bitmap.height() / m_nFrameHeight : 0;
    else
        m_nFrames = m_nFrameWidth > 0 ? m_bitmap.width() / m_nFrameWidth : 0;
}

bool CBitStrip::Draw(QPainter *dest, int x, int y, int width, int height, int sourceX,
                     int sourceY) const
{
    if (!dest)
        return false;
    if (width == 0)
        width = m_bitmap.width();
    if (height == 0)
        height = m_bitmap.height();
    // Only what lies inside the image is copied.
    width = qMin(width, m_bitmap.width() - sourceX);
    height = qMin(height, m_bitmap.height() - sourceY);
    if (width > 0 && height > 0 && sourceX >= 0 && sourceY >= 0 && !m_bitmap.isNull())
        dest->drawPixmap(x, y, m_bitmap, sourceX, sourceY, width, height);
    return true;
}

void CBitStrip::DrawFrame(QPainter *dest, int frame) const
{
    if (!dest || frame < 0 || frame >= m_nFrames)
        return;
    const int sourceX = m_bVertical ? 0 : frame * m_nFrameWidth;
    const int sourceY = m_bVertical ? frame * m_nFrameHeight : 0;
    Draw(dest, 0, 0, m_nFrameWidth, m_nFrameHeight, sourceX, sourceY);
}
