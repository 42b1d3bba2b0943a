#include "tools/gen3ds/PartMesh.h"

#include <numbers>
#include <stdexcept>
#include <utility>

namespace gen3ds {

PartMesh::PartMesh(std::string name, std::string material)
    : m_name(std::move(name)), m_material(std::move(material))
{
}

uint16_t PartMesh::addVertex(Vec3 p)
{
    // The file format counts vertices in 16 bits.
    if (m_vertices.size() >= 0xFFFF)
        throw std::length_error("too many vertices in object " + m_name);
    m_vertices.push_back(p);
    return static_cast<uint16_t>(m_vertices.size() - 1);
}

void PartMesh::addFace(uint16_t a, uint16_t b, uint16_t c)
{
    if (m_faces.size() >= 0xFFFF)
        throw std::length_error("too many faces in object " + m_name);
    m_faces.push_back({a, b, c});
}

void PartMesh::addPrism(const Frame &frame, const std::vector<Vec2> &polygon, float w0, float w1)
{
    const size_t n = polygon.size();
    if (n < 3)
        return;
    auto point = [&](size_t i, float w) { return frame.apply({polygon[i].x, polygon[i].y, w}); };

    // Caps as fans; the bottom one is wound the other way so it faces down.
    std::vector<uint16_t> top, bottom;
    for (size_t i = 0; i < n; ++i) {
        top.push_back(addVertex(point(i, w1)));
        bottom.push_back(addVertex(point(i, w0)));
    }
    for (size_t i = 1; i + 1 < n; ++i) {
        addFace(top[0], top[i], top[i + 1]);
        addFace(bottom[0], bottom[i + 1], bottom[i]);
    }
    // Sides, each with its own four corners so the edges stay sharp.
    for (size_t i = 0; i < n; ++i) {
        const size_t j = (i + 1) % n;
        const uint16_t b0 = addVertex(point(i, w0));
        const uint16_t b1 = addVertex(point(j, w0));
        const uint16_t t1 = addVertex(point(j, w1));
        const uint16_t t0 = addVertex(point(i, w1));
        addFace(b0, b1, t1);
        addFace(b0, t1, t0);
    }
}

void PartMesh::addBox(Vec3 min, Vec3 max)
{
    addPrism(Frame::at({0, 0, 0}), {{min.x, min.y}, {max.x, min.y}, {max.x, max.y}, {min.x, max.y}},
             min.z, max.z);
}

void PartMesh::addLathe(const Frame &frame, const std::vector<Vec2> &profile, int segments)
{
    if (profile.size() < 2 || segments < 3)
        return;
    // One ring of vertices per profile point; a point on the axis is a single vertex.
    std::vector<std::vector<uint16_t>> rings;
    for (const Vec2 &p : profile) {
        std::vector<uint16_t> ring;
        if (p.x <= 0.0f) {
            ring.push_back(addVertex(frame.apply({0, 0, p.y})));
        } else {
            for (int k = 0; k < segments; ++k) {
                const double a = 2.0 * std::numbers::pi * k / segments;
                ring.push_back(addVertex(frame.apply(
                    {static_cast<float>(p.x * std::cos(a)), static_cast<float>(p.x * std::sin(a)), p.y})));
            }
        }
        rings.push_back(std::move(ring));
    }
    auto at = [](const std::vector<uint16_t> &ring, int k) {
        return ring.size() == 1 ? ring[0] : ring[static_cast<size_t>(k) % ring.size()];
    };
    for (size_t j = 0; j + 1 < rings.size(); ++j) {
        const auto &lo = rings[j];
        const auto &hi = rings[j + 1];
        if (lo.size() == 1 && hi.size() == 1)
            continue;
        for (int k = 0; k < segments; ++k) {
            if (lo.size() != 1)
                addFace(at(lo, k), at(lo, k + 1), at(hi, k + 1));
            if (hi.size() != 1)
                addFace(at(lo, k), at(hi, k + 1), at(hi, k));
        }
    }
}

void PartMesh::addCylinder(const Frame &frame, float radius, float z0, float z1, int segments)
{
    // Three separate runs so the rims stay sharp while the side shades round.
    addLathe(frame, {{0, z0}, {radius, z0}}, segments);
    addLathe(frame, {{radius, z0}, {radius, z1}}, segments);
    addLathe(frame, {{radius, z1}, {0, z1}}, segments);
}

void PartMesh::addDome(const Frame &frame, float radius, int segments)
{
    addLathe(frame, {{0, 0}, {radius, 0}}, segments);
    std::vector<Vec2> arc;
    const int steps = segments / 4 < 3 ? 3 : segments / 4;
    for (int i = 0; i <= steps; ++i) {
        const double a = 0.5 * std::numbers::pi * i / steps;
        arc.push_back({i == steps ? 0.0f : static_cast<float>(radius * std::cos(a)),
                       static_cast<float>(radius * std::sin(a))});
    }
    addLathe(frame, arc, segments);
}

void PartMesh::projectTexCoords(Vec2 min, Vec2 max)
{
    m_texCoords.clear();
    for (const Vec3 &p : m_vertices)
        m_texCoords.push_back({(p.x - min.x) / (max.x - min.x), (p.y - min.y) / (max.y - min.y)});
}

void PartMesh::mirrorX()
{
    for (Vec3 &p : m_vertices)
        p.x = -p.x;
    for (auto &f : m_faces)
        std::swap(f[1], f[2]);
    for (Vec2 &t : m_texCoords)
        t.x = 1.0f - t.x;
}

} // namespace gen3ds
