#pragma once

#include <QColor>
#include <QPushButton>

// A push button painted as a filled rounded rectangle whose colour shows its state:
// normal, hovered, pressed or disabled. Clicks reach the owner as QPushButton's signals.
class CButtonEx : public QPushButton
{
    Q_OBJECT

public:
    enum State { Normal = 0, Hover = 1, Pressed = 2, Disabled = 3 };

    static constexpr QColor NormalFill{50, 207, 221};
    static constexpr QColor HoverFill{19, 73, 137};
    static constexpr QColor PressedFill{14, 53, 84};
    static constexpr int CornerSize = 10; // width and height of the corner ellipses

    explicit CButtonEx(QWidget *parent = nullptr);
    explicit CButtonEx(const QString &text, QWidget *parent = nullptr);
    ~CButtonEx() override;

    // Sets the caption shown from the next paint on. QPushButton::setText alone changes the
    // button's text but not the caption painted once one has been painted.
    void SetText(const QString &text);
    // Fill colour while the button is disabled (swatches are disabled buttons in a colour).
    void SetBackColor(const QColor &color);
    // Caption colour while enabled.
    void SetTextColor(const QColor &color);
    // Caption font by size in tenths of a point and face name.
    void SetButtonFont(int pointSizeTenths, const QString &face);
    void SetButtonFont(const QFont &font);

    // The state of the last paint, or changed by the mouse since.
    int state() const { return m_nState; }
    QColor backColor() const { return m_crBack; }
    QColor textColor() const { return m_crText; }
    QColor disabledTextColor() const { return m_crDisabledText; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;

    void DrawItem(QPainter &painter, const QRect &item);

private:
    void init();
    void paintFace(QPainter &painter);
    void hoverOff();

    int m_nState = Normal;
    bool m_bTracking = false;
    // The press was given up by moving off the button; its release must not click.
    bool m_pressAbandoned = false;
    QString m_strText;
    QColor m_crText{255, 255, 255};
    QColor m_crBack{27, 108, 226};
    QColor m_crDisabledText;
    QRect m_rcItem;
};
