#pragma once

#include <cstdint>
#include <vector>

namespace gen3ds {

// An RGB picture, top row first, 3 bytes a pixel.
class Picture
{
public:
    Picture(int width, int height);

    int width() const { return m_width; }
    int height() const { return m_height; }
    const std::vector<uint8_t> &rgb() const { return m_rgb; }

    void set(int x, int y, float r, float g, float b); // components 0..1, clamped
    void fillRect(int x0, int y0, int x1, int y1, float r, float g, float b); // half-open

    // Writes a Windows bitmap: 54-byte header, 24 bits a pixel, bottom row first, rows padded
    // to 4 bytes.
    std::vector<uint8_t> encodeBmp() const;

private:
    int m_width;
    int m_height;
    std::vector<uint8_t> m_rgb;
};

} // namespace gen3ds
