#pragma once

#include <QString>

// The skin images compiled into korvane_controls, known by their resource numbers.
// res/<number>.png or res/<number>.bmp is the file; ":/res/<file>" the resource path.
namespace SkinResource {
inline constexpr int IconDisconnected = 135; // red disc, 32 x 32 with transparency
inline constexpr int IconConnected = 136;    // green disc, 32 x 32 with transparency
inline constexpr int TrackFilled = 146;      // slider track left of the thumb, 200 x 30
inline constexpr int TrackEmpty = 147;       // slider track right of the thumb, 200 x 30
inline constexpr int SliderThumb = 148;      // three 13 x 13 thumb frames: normal, hover, pressed
inline constexpr int ThumbFrameSize = 13;
} // namespace SkinResource

// Registers the compiled-in skin images. A static library's resources stay unreachable until
// this has run once; everything in korvane_controls calls it before loading, so only code that
// opens ":/res/135.png" and the like by path needs to call it. Safe to call repeatedly.
void InitSkinResources();

// ":/res/<number>.bmp" or ":/res/<number>.png", whichever exists; empty when neither does.
QString SkinResourcePath(int number);
