#pragma once

#include "tools/gen3ds/Vec.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace gen3ds {

// One named object of a part file: triangles with outward (counter-clockwise) winding, one
// material for the whole object, optional texture coordinates indexed like the vertices.
class PartMesh
{
public:
    PartMesh(std::string name, std::string material);

    const std::string &name() const { return m_name; }
    const std::string &material() const { return m_material; }
    const std::vector<Vec3> &vertices() const { return m_vertices; }
    const std::vector<std::array<uint16_t, 3>> &faces() const { return m_faces; }
    const std::vector<Vec2> &texCoords() const { return m_texCoords; }

    // A straight prism: a convex counter-clockwise polygon in the frame's XY plane, from local
    // height w0 to w1. Every side is a flat face of its own.
    void addPrism(const Frame &frame, const std::vector<Vec2> &polygon, float w0, float w1);
    void addBox(Vec3 min, Vec3 max);
    // A surface of revolution about the frame's Z axis; profile points are (radius, height),
    // running from the bottom upward on the outside so the faces look outward. Neighbouring
    // rings share vertices, so the surface shades smoothly along the profile too.
    void addLathe(const Frame &frame, const std::vector<Vec2> &profile, int segments);
    // A closed cylinder along the frame's Z axis with flat caps.
    void addCylinder(const Frame &frame, float radius, float z0, float z1, int segments);
    // A half sphere standing on the frame's XY plane, with a flat floor.
    void addDome(const Frame &frame, float radius, int segments);

    // Texture coordinates for every vertex, projected straight down onto the rectangle given.
    void projectTexCoords(Vec2 min, Vec2 max);
    // Reflects the object through the plane x = 0, keeping the faces outward.
    void mirrorX();

private:
    uint16_t addVertex(Vec3 p);
    void addFace(uint16_t a, uint16_t b, uint16_t c);

    std::string m_name;
    std::string m_material;
    std::vector<Vec3> m_vertices;
    std::vector<std::array<uint16_t, 3>> m_faces;
    std::vector<Vec2> m_texCoords;
};

} // namespace gen3ds
