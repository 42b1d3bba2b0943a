#pragma once

#include <QCursor>
#include <QWidget>

#include <memory>
#include <optional>

class CBitStrip;

// A small child window that shows one frame of an image strip: 0 normal, 1 hover, 2 pressed
// (or latched down in toggle mode). The bitmap slider uses it as its thumb.
class CBitWnd : public QWidget
{
    Q_OBJECT

public:
    explicit CBitWnd(QWidget *parent = nullptr, int controlId = 0);
    ~CBitWnd() override;

    // Replaces the strip with an owned one loaded from that resource and sizes the window to
    // one frame at (0, 0) of its parent. False when the image has no frames.
    bool LoadBitmap(int resource, int frameWidth, int frameHeight);
    // Shows a strip owned by someone else (which must outlive this window or be replaced).
    void SetStrip(CBitStrip *strip);

    // Cursor over the window; without one the arrow is shown.
    void SetSkinCursor(const std::optional<QCursor> &cursor);

    void SetForwardMouse(bool forward) { m_bForwardMouse = forward; }
    void SetToggle(bool toggle) { m_bToggle = toggle; }
    void SetNotifyOnPress(bool onPress) { m_bNotifyOnPress = onPress; }

    int controlId() const { return m_controlId; }
    int frame() const { return m_nFrame; }
    bool isDown() const { return m_bDown; }
    CBitStrip *strip() const { return m_pStrip; }

signals:
    // The click notification: on press with SetNotifyOnPress(true), else on release.
    void clicked(int controlId);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    int frameCount() const;
    void hover();
    void forward(QMouseEvent *event);

    int m_controlId = 0;
    int m_nFrame = 0;
    CBitStrip *m_pStrip = nullptr;
    std::unique_ptr<CBitStrip> m_ownStrip;
    std::optional<QCursor> m_hCursor;
    bool m_bDown = false;
    bool m_bToggle = false;
    bool m_bForwardMouse = false;
    bool m_bTracking = false;
    bool m_bNotifyOnPress = false;
};
