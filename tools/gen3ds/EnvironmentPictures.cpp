#include "tools/gen3ds/EnvironmentPictures.h"

#include <cmath>
#include <cstdint>

namespace gen3ds {

namespace {

// Repeatable value noise, so every build writes the same bytes.
float hash(int x, int y, int seed)
{
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 static_cast<uint32_t>(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return static_cast<float>(h & 0xFFFF) / 65535.0f;
}

float smoothNoise(float x, float y, int seed, int period)
{
    const int x0 = static_cast<int>(std::floor(x));
    const int y0 = static_cast<int>(std::floor(y));
    const float fx = x - x0;
    const float fy = y - y0;
    auto h = [&](int xi, int yi) {
        // Wrap on the period so the tile repeats without a seam.
        return hash(((xi % period) + period) % period, ((yi % period) + period) % period, seed);
    };
    const float sx = fx * fx * (3 - 2 * fx);
    const float sy = fy * fy * (3 - 2 * fy);
    const float a = h(x0, y0) + (h(x0 + 1, y0) - h(x0, y0)) * sx;
    const float b = h(x0, y0 + 1) + (h(x0 + 1, y0 + 1) - h(x0, y0 + 1)) * sx;
    return a + (b - a) * sy;
}

} // namespace

Picture EnvironmentPictures::floor()
{
    constexpr int size = 512;
    constexpr int plankWidth = 128; // four planks across a tile
    Picture pic(size, size);
    for (int y = 0; y < size; ++y) {
        const int plank = y / plankWidth;
        const int joint = (plank * 181 + 67) % size; // staggered butt joints
        const float tone = 0.88f + 0.22f * hash(plank, 7, 3);
        for (int x = 0; x < size; ++x) {
            const int along = (x - joint + size) % size;
            const int board = plank * 2 + (x >= joint ? 1 : 0);
            const float boardTone = tone * (0.94f + 0.1f * hash(board, 11, 5));
            const float grain = smoothNoise(along / 48.0f, y / 5.0f, 17 + board, 64);
            const float rings = 0.5f + 0.5f * std::sin((y + 14.0f * smoothNoise(along / 90.0f, y / 40.0f, 29, 64)) * 0.45f);
            float shade = boardTone * (0.82f + 0.12f * grain + 0.08f * rings);
            const bool gap = (y % plankWidth) < 2 || along < 2;
            if (gap)
                shade *= 0.45f;
            pic.set(x, y, 0.66f * shade, 0.45f * shade, 0.27f * shade);
        }
    }
    return pic;
}

Picture EnvironmentPictures::wall()
{
    constexpr int size = 512;
    Picture pic(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int inStripe = x % 128;
            float r = 0.90f, g = 0.87f, b = 0.78f;
            if (inStripe >= 40 && inStripe < 88) {
                r = 0.84f;
                g = 0.80f;
                b = 0.70f;
            }
            if (inStripe == 38 || inStripe == 39 || inStripe == 88 || inStripe == 89) {
                r = 0.74f;
                g = 0.64f;
                b = 0.44f;
            }
            // A small diamond print in the middle of each plain band (which wraps round x = 0).
            const int dx = inStripe < 64 ? inStripe : inStripe - 128;
            const int dy = (y % 64) - 32;
            if (std::abs(dx) + std::abs(dy) < 9) {
                r -= 0.08f;
                g -= 0.07f;
                b -= 0.06f;
            }
            const float n = 0.97f + 0.05f * smoothNoise(x / 8.0f, y / 8.0f, 41, 64);
            pic.set(x, y, r * n, g * n, b * n);
        }
    }
    return pic;
}

Picture EnvironmentPictures::circuitBoard()
{
    constexpr int size = 128;
    Picture pic(size, size);
    pic.fillRect(0, 0, size, size, 0.05f, 0.38f, 0.17f);
    // Copper traces under the solder mask.
    for (int i = 0; i < 14; ++i) {
        const int y = 8 + i * 8;
        const int x0 = 6 + static_cast<int>(hash(i, 1, 9) * 40);
        const int x1 = 70 + static_cast<int>(hash(i, 2, 9) * 50);
        pic.fillRect(x0, y, x1, y + 2, 0.12f, 0.52f, 0.25f);
        pic.fillRect(x1 - 2, y, x1, y + 10, 0.12f, 0.52f, 0.25f);
    }
    // Mounting holes with gold rings.
    for (int cx : {6, size - 7})
        for (int cy : {6, size - 7})
            for (int y = -5; y <= 5; ++y)
                for (int x = -5; x <= 5; ++x) {
                    const int d = x * x + y * y;
                    if (d <= 25)
                        pic.set(cx + x, cy + y, d <= 6 ? 0.1f : 0.85f, d <= 6 ? 0.1f : 0.7f, d <= 6 ? 0.1f : 0.3f);
                }
    // Chips: black bodies with silver legs.
    struct Chip { int x0, y0, x1, y1; };
    for (const Chip c : {Chip{30, 30, 78, 78}, Chip{88, 20, 112, 44}, Chip{86, 70, 116, 86}, Chip{20, 92, 44, 110}}) {
        for (int x = c.x0 + 3; x < c.x1 - 2; x += 4) {
            pic.fillRect(x, c.y0 - 4, x + 2, c.y0, 0.8f, 0.8f, 0.8f);
            pic.fillRect(x, c.y1, x + 2, c.y1 + 4, 0.8f, 0.8f, 0.8f);
        }
        pic.fillRect(c.x0, c.y0, c.x1, c.y1, 0.08f, 0.08f, 0.09f);
        pic.fillRect(c.x0 + 3, c.y0 + 3, c.x0 + 6, c.y0 + 6, 0.3f, 0.3f, 0.3f);
    }
    // A row of header pins for the servo cables.
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j < 3; ++j)
            pic.fillRect(54 + i * 8, 100 + j * 7, 59 + i * 8, 105 + j * 7, 0.85f, 0.72f, 0.3f);
    return pic;
}

} // namespace gen3ds
