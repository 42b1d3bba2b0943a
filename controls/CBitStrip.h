#pragma once

#include <QImage>
#include <QPixmap>

class QPainter;

// One image cut into equal frames, side by side or stacked. The image is converted once to a
// pixmap so that drawing is a plain copy.
class CBitStrip
{
public:
    // Loads the skin image with that resource number. A frame size of 0 takes the whole
    // image's width or height.
    CBitStrip(int resource, int frameWidth, int frameHeight);
    CBitStrip(const QImage &image, int frameWidth, int frameHeight);

    CBitStrip(const CBitStrip &) = delete;
    CBitStrip &operator=(const CBitStrip &) = delete;

    // Copies width x height pixels from (sourceX, sourceY) of the image to (x, y) of the
    // destination; a width or height of 0 means the image's. False without a destination.
    bool Draw(QPainter *dest, int x, int y, int width = 0, int height = 0, int sourceX = 0,
              int sourceY = 0) const;
    // Copies frame `frame` to (0, 0) of the destination; an index outside the strip draws nothing.
    void DrawFrame(QPainter *dest, int frame) const;

    int frames() const { return m_nFrames; }
    int frameWidth() const { return m_nFrameWidth; }
    int frameHeight() const { return m_nFrameHeight; }
    bool vertical() const { return m_bVertical; }
    int width() const { return m_bitmap.width(); }
    int height() const { return m_bitmap.height(); }
    bool isNull() const { return m_bitmap.isNull(); }

private:
    void cut(int frameWidth, int frameHeight);

    int m_nFrames = 0;
    int m_nFrameWidth = 0;
    int m_nFrameHeight = 0;
    bool m_bVertical = false;
    QPixmap m_bitmap;
};
