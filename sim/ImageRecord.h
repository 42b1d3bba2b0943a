#pragma once

#include <cstdint>
#include <vector>

// A decoded bitmap ready for a GL texture: tightly packed 24-bit rows, red, green, blue per pixel,
// no row padding. Rows run bottom row first (the GL texture order); a bitmap stored top-down is
// turned over while decoding, so height is always positive.
struct ImageRecord
{
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> data; // width * height * 3 bytes
};
