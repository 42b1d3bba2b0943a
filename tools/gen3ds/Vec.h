#pragma once

#include <cmath>

namespace gen3ds {

// Small value types for building meshes; the file axes are Z-up.
struct Vec2
{
    float x = 0.0f;
    float y = 0.0f;
};

struct Vec3
{
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    friend Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
    friend Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
    friend Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
    friend bool operator==(Vec3 a, Vec3 b) = default;
};

inline Vec3 cross(Vec3 a, Vec3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

inline float length(Vec3 a) { return std::sqrt(dot(a, a)); }

inline Vec3 normalized(Vec3 a)
{
    const float len = length(a);
    return len > 0.0f ? a * (1.0f / len) : a;
}

// A rigid placement: columns are where the local X, Y and Z axes go, then a translation.
struct Frame
{
    Vec3 u{1, 0, 0};
    Vec3 v{0, 1, 0};
    Vec3 w{0, 0, 1};
    Vec3 origin{};

    Vec3 apply(Vec3 p) const { return origin + u * p.x + v * p.y + w * p.z; }

    static Frame at(Vec3 origin) { return Frame{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, origin}; }
    // Local Z runs along world X (a right-handed turn, so windings stay outward).
    static Frame alongX(Vec3 origin) { return Frame{{0, 0, -1}, {0, 1, 0}, {1, 0, 0}, origin}; }
    // Local Z runs along world Y.
    static Frame alongY(Vec3 origin) { return Frame{{1, 0, 0}, {0, 0, -1}, {0, 1, 0}, origin}; }
    // Local X and Y span the world YZ plane; local Z runs along world X (for side plates).
    static Frame yzPlane(float x) { return Frame{{0, 1, 0}, {0, 0, 1}, {1, 0, 0}, {x, 0, 0}}; }
    // Local X and Y span the world XZ plane; local Z runs along world -Y.
    static Frame xzPlane(float y) { return Frame{{1, 0, 0}, {0, 0, 1}, {0, -1, 0}, {0, y, 0}}; }
    // Local Z runs from a toward b; the other two axes are any right-handed pair.
    static Frame between(Vec3 a, Vec3 b)
    {
        const Vec3 w = normalized(b - a);
        const Vec3 helper = std::fabs(w.z) < 0.9f ? Vec3{0, 0, 1} : Vec3{1, 0, 0};
        const Vec3 u = normalized(cross(helper, w));
        const Vec3 v = cross(w, u);
        return Frame{u, v, w, a};
    }
};

} // namespace gen3ds
