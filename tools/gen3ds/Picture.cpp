#include "tools/gen3ds/Picture.h"

#include <algorithm>

namespace gen3ds {

Picture::Picture(int width, int height)
    : m_width(width), m_height(height), m_rgb(static_cast<size_t>(width) * height * 3, 0)
{
}

void Picture::set(int x, int y, float r, float g, float b)
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return;
    auto byte = [](float c) { return static_cast<uint8_t>(std::clamp(c, 0.0f, 1.0f) * 255.0f + 0.5f); };
    uint8_t *p = &m_rgb[(static_cast<size_t>(y) * m_width + x) * 3];
    p[0] = byte(r);
    p[1] = byte(g);
    p[2] = byte(b);
}

void Picture::fillRect(int x0, int y0, int x1, int y1, float r, float g, float b)
{
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            set(x, y, r, g, b);
}

std::vector<uint8_t> Picture::encodeBmp() const
{
    const uint32_t rowBytes = (static_cast<uint32_t>(m_width) * 3 + 3) & ~3u;
    const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(m_height);
    std::vector<uint8_t> out;
    out.reserve(54 + imageBytes);
    auto u16 = [&](uint32_t v) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    };
    auto u32 = [&](uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    // File header.
    out.push_back('B');
    out.push_back('M');
    u32(54 + imageBytes);
    u32(0);
    u32(54);
    // Info header.
    u32(40);
    u32(static_cast<uint32_t>(m_width));
    u32(static_cast<uint32_t>(m_height));
    u16(1);
    u16(24);
    u32(0); // uncompressed
    u32(imageBytes);
    u32(2835); // 72 dpi
    u32(2835);
    u32(0);
    u32(0);
    for (int y = m_height - 1; y >= 0; --y) {
        const uint8_t *row = &m_rgb[static_cast<size_t>(y) * m_width * 3];
        for (int x = 0; x < m_width; ++x) {
            out.push_back(row[x * 3 + 2]);
            out.push_back(row[x * 3 + 1]);
            out.push_back(row[x * 3 + 0]);
        }
        for (uint32_t pad = static_cast<uint32_t>(m_width) * 3; pad < rowBytes; ++pad)
            out.push_back(0);
    }
    return out;
}

} // namespace gen3ds
