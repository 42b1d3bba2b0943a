#include "panel/PanelLook.h"

#include "controls/CBitSlider.h"
#include "controls/CButtonEx.h"
#include "panel/PanelTemplate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

namespace PanelLook {

QColor ColourFromWord(std::uint32_t word)
{
    return QColor(static_cast<int>(word & 0xff), static_cast<int>((word >> 8) & 0xff),
                  static_cast<int>((word >> 16) & 0xff));
}

ChildColours ColoursFor(int controlId)
{
    switch (controlId) {
    case PanelId::ServoIdEdit:
    case PanelId::IdNumberEdit:
    case PanelId::IntervalEdit:
        return {BlackWord, WhiteWord};
    case PanelId::VersionLabel:
    case PanelId::VersionCaption:
    case PanelId::IntervalCaption:
    case PanelId::IntervalUnit:
    case PanelId::ServoIdCaption:
    case PanelId::IdNumberCaption:
        return {WhiteWord, GroundWord};
    case PanelId::ControlGroup:
    case PanelId::ActionGroup:
    case PanelId::CustomActionGroup:
        return {GroupTitleWord, GroundWord};
    default:
        return {CaptionWord, GroundWord};
    }
}

void ApplyGround(QWidget *widget)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, ColourFromWord(GroundWord));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void ApplyColours(QWidget *child, int controlId)
{
    // The coloured buttons and the bitmap sliders paint every pixel themselves.
    if (qobject_cast<CButtonEx *>(child) || qobject_cast<CBitSlider *>(child))
        return;
    const ChildColours colours = ColoursFor(controlId);
    const QColor text = ColourFromWord(colours.text);
    const QColor ground = ColourFromWord(colours.ground);
    QPalette palette = child->palette();
    // Colours hold whether the panel is active or not; disabled controls keep the style's grey.
    auto set = [&palette](QPalette::ColorRole role, const QColor &colour) {
        palette.setColor(QPalette::Active, role, colour);
        palette.setColor(QPalette::Inactive, role, colour);
    };

    if (qobject_cast<QTableWidget *>(child)) {
        // A report list asks for no colours: it keeps a list's plain black on white.
        set(QPalette::Text, ColourFromWord(BlackWord));
        set(QPalette::Base, ColourFromWord(WhiteWord));
    } else if (qobject_cast<QLineEdit *>(child)) {
        set(QPalette::Text, text);
        set(QPalette::Base, ground);
    } else if (qobject_cast<QComboBox *>(child)) {
        // Field, arrow button and dropped-down list all in the caption colours.
        for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
            set(role, text);
        for (QPalette::ColorRole role : {QPalette::Base, QPalette::Window, QPalette::Button})
            set(role, ground);
    } else if (qobject_cast<QPushButton *>(child)) {
        set(QPalette::ButtonText, text);
        set(QPalette::Button, ground);
        set(QPalette::Window, ground);
    } else {
        // Labels, the picture, the check box and the group boxes: text on the ground. They are
        // not filled themselves: the form beneath is the same ground, and a filled label would
        // cut the frame of a group box it touches (the angle labels end on their box's edge).
        set(QPalette::WindowText, text);
        set(QPalette::ButtonText, text);
        set(QPalette::Window, ground);
        set(QPalette::Button, ground);
    }
    child->setPalette(palette);
}

void ApplyMenuLook(QWidget *menu)
{
    const QColor text = ColourFromWord(CaptionWord);
    const QColor ground = ColourFromWord(GroundWord);
    const QColor dim = ColourFromWord(GroupTitleWord);
    QPalette palette = menu->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const QColor &foreground = group == QPalette::Disabled ? dim : text;
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(group, role, foreground);
        for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button})
            palette.setColor(group, role, ground);
        palette.setColor(group, QPalette::Highlight, text);
        palette.setColor(group, QPalette::HighlightedText, ground);
    }
    menu->setPalette(palette);
}

QFont ConnectFont()
{
    QFont font;
    // 黑体 is SimHei's local name; the others are CJK sans faces of the same kind found on Linux.
    font.setFamilies({QString::fromUtf8("黑体"), QStringLiteral("SimHei"), QStringLiteral("WenQuanYi Zen Hei"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Source Han Sans SC"),
                      QStringLiteral("Droid Sans Fallback")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(ConnectFontPixels);
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace PanelLook
