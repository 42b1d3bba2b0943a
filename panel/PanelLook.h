#pragma once

#include "controls/SkinResources.h"

#include <QColor>
#include <QFont>

#include <cstdint>

class QWidget;

// How the control panel is drawn: its ground, the colours each child is painted in, the skin of
// the joint sliders and the Connect button's font. Colours are kept as the platform's colour
// words (0x00BBGGRR: blue in the high byte, red in the low byte), the form the colour table is
// written in, and turned into QColor where they are used.
namespace PanelLook {

constexpr std::uint32_t GroundWord = 0x3E2903;     // red 3, green 41, blue 62
constexpr std::uint32_t CaptionWord = 0xFFEA00;    // red 0, green 234, blue 255
constexpr std::uint32_t GroupTitleWord = 0xAEA000; // red 0, green 160, blue 174
constexpr std::uint32_t WhiteWord = 0xFFFFFF;
constexpr std::uint32_t BlackWord = 0x000000;

// Skin of the joint sliders.
constexpr int ThumbImage = SkinResource::SliderThumb;
constexpr int EmptyTrackImage = SkinResource::TrackEmpty; // right of the thumb
constexpr int FilledTrackImage = SkinResource::TrackFilled; // left of the thumb; also gives the slider its size
constexpr int ThumbOffset = 8;

// The Connect button's face: 黑体 (SimHei), 18 pixels, normal weight.
constexpr int ConnectFontPixels = 18;

QColor ColourFromWord(std::uint32_t word);

// The panel's answer to a child's colour request: text colour and the (opaque) ground behind it.
struct ChildColours
{
    std::uint32_t text;
    std::uint32_t ground;
};
ChildColours ColoursFor(int controlId);

// Gives a child of the panel its colours, by its control number, in the way its kind paints them.
void ApplyColours(QWidget *child, int controlId);

// The panel's own ground, for the form and the area around it.
void ApplyGround(QWidget *widget);

// The panel's pop-up menus: caption text on the panel's ground, the highlighted entry the other
// way round, unavailable entries in the group titles' dimmer colour.
void ApplyMenuLook(QWidget *menu);

// 黑体 at 18 pixels, or the closest CJK face installed here when it is missing.
QFont ConnectFont();

} // namespace PanelLook
