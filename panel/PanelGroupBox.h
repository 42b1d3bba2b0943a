#pragma once

#include <QGroupBox>

// A group box drawn like the platform's: a thin light frame whose top
// line runs through the middle of the title, and the title on an opaque patch of the box's
// ground in the box's text colour (palette WindowText on Window). The style's own group box is
// not used: on the panel's dark ground its frame would barely show.
class PanelGroupBox : public QGroupBox
{
    Q_OBJECT

public:
    static constexpr QColor FrameColour{213, 223, 229};
    static constexpr int TitleIndent = 8; // pixels from the frame's left edge to the title patch
    static constexpr int TitlePadding = 2; // ground shown on each side of the title text

    explicit PanelGroupBox(const QString &title, QWidget *parent = nullptr);

    // Where the title's patch lies, in the box's coordinates.
    QRect titleRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};
