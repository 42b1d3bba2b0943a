#pragma once

#include <QCursor>
#include <QPoint>
#include <QPointer>
#include <QTimer>

#include "controls/TrackBar.h"

#include <memory>
#include <optional>

class CBitStrip;
class CBitWnd;

// A slider whose face is drawn from bitmaps: the track left of the thumb from the "filled"
// image, the track right of it from the "empty" image, and the thumb is a CBitWnd showing a
// three-frame strip. Values, keyboard, wheel, dragging and notifications are the TrackBar's;
// this adds the look, jump-to-click, a cursor for slider and thumb and a tooltip with the value.
class CBitSlider : public TrackBar
{
    Q_OBJECT

public:
    static constexpr int TipDelayMs = 100;

    explicit CBitSlider(QWidget *parent = nullptr);
    explicit CBitSlider(Qt::Orientation orientation, QWidget *parent = nullptr);
    ~CBitSlider() override;

    // Creates the thumb from a strip resource with frames of that size. Does nothing when the
    // thumb exists already or the resource is 0. Returns whether a thumb exists afterwards.
    bool CreateThumb(int thumbResource, int frameWidth, int frameHeight);
    // Loads both track images; the filled one gives the control its (fixed) size.
    void SetBitmaps(int emptyResource, int filledResource);
    // Takes both track images from the caller; they must outlive the slider or be replaced.
    void SetStrips(CBitStrip *empty, CBitStrip *filled);
    void FreeStrips();

    // Gives both tools (slider and thumb) the current position as their tooltip text.
    void UpdateTip();
    // Paints the tracks split at the thumb; with moveThumb the thumb window is placed too.
    // Draws nothing before the thumb and both strips exist.
    void DrawSlider(QPainter *painter, bool moveThumb);

    // Distance of the thumb from the top edge (the left edge when vertical).
    void SetThumbOffset(int offset);
    int ThumbOffset() const { return m_nThumbOffset; }
    // Cursor over the slider and its thumb; without one the arrow is shown.
    void SetSkinCursor(const std::optional<QCursor> &cursor);

    CBitWnd *thumb() const;
    // Where the thumb window goes for the current position.
    QRect ThumbRect() const;
    // The base slider's own handle and groove as the style lays them out.
    QRect BaseThumbRect() const;
    QRect ChannelRect() const;
    // The position a left click at `pos` jumps to, before the range clamps it.
    int PositionForClick(const QPoint &pos) const;

    const QTimer &tipTimer() const { return m_tipTimer; }
    // Shows the value tooltip at the last pointer position over the slider or the thumb.
    void ShowTip();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void sliderChange(SliderChange change) override;

private:
    void init();
    bool upsideDown() const;
    void placeThumb();
    void applyStripSize();
    void armTip(const QPointF &globalPos);
    void hideTip();

    QPointer<CBitWnd> m_thumb;
    CBitStrip *m_pFilledStrip = nullptr;
    CBitStrip *m_pEmptyStrip = nullptr;
    std::unique_ptr<CBitStrip> m_ownFilled;
    std::unique_ptr<CBitStrip> m_ownEmpty;
    std::optional<QCursor> m_hCursor;
    int m_nThumbOffset = 0;
    QTimer m_tipTimer;
    QPoint m_tipPos;
    bool m_tipShown = false;
};
