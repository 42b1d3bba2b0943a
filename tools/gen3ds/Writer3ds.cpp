#include "tools/gen3ds/Writer3ds.h"

#include <cstring>

namespace gen3ds {

namespace {

enum ChunkId : uint16_t {
    MainChunk = 0x4D4D,
    FileVersion = 0x0002,
    EditorChunk = 0x3D3D,
    MeshVersion = 0x3D3E,
    MaterialBlock = 0xAFFF,
    MaterialName = 0xA000,
    DiffuseColour = 0xA020,
    ColourRgb24 = 0x0011,
    TextureMap = 0xA200,
    TextureFile = 0xA300,
    NamedObject = 0x4000,
    TriangleMesh = 0x4100,
    VertexList = 0x4110,
    FaceList = 0x4120,
    FaceMaterialGroup = 0x4130,
    TexCoordList = 0x4140,
};

class ChunkWriter
{
public:
    explicit ChunkWriter(std::vector<uint8_t> &out) : m_out(out) {}

    // Opens a chunk; its length is patched in by end() once everything nested is written.
    size_t begin(uint16_t id)
    {
        const size_t at = m_out.size();
        u16(id);
        u32(0);
        return at;
    }
    void end(size_t at)
    {
        const uint32_t length = static_cast<uint32_t>(m_out.size() - at);
        for (int i = 0; i < 4; ++i)
            m_out[at + 2 + i] = static_cast<uint8_t>(length >> (8 * i));
    }

    void u8(uint8_t v) { m_out.push_back(v); }
    void u16(uint16_t v)
    {
        u8(static_cast<uint8_t>(v));
        u8(static_cast<uint8_t>(v >> 8));
    }
    void u32(uint32_t v)
    {
        u16(static_cast<uint16_t>(v));
        u16(static_cast<uint16_t>(v >> 16));
    }
    void f32(float v)
    {
        uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        u32(bits);
    }
    void str(const std::string &s)
    {
        m_out.insert(m_out.end(), s.begin(), s.end());
        u8(0);
    }

private:
    std::vector<uint8_t> &m_out;
};

void writeMaterial(ChunkWriter &w, const PartMaterial &m)
{
    const size_t block = w.begin(MaterialBlock);
    const size_t name = w.begin(MaterialName);
    w.str(m.name);
    w.end(name);
    const size_t diffuse = w.begin(DiffuseColour);
    const size_t rgb = w.begin(ColourRgb24);
    w.u8(m.red);
    w.u8(m.green);
    w.u8(m.blue);
    w.end(rgb);
    w.end(diffuse);
    if (!m.textureFile.empty()) {
        const size_t map = w.begin(TextureMap);
        const size_t file = w.begin(TextureFile);
        w.str(m.textureFile);
        w.end(file);
        w.end(map);
    }
    w.end(block);
}

void writeObject(ChunkWriter &w, const PartMesh &mesh)
{
    const size_t object = w.begin(NamedObject);
    w.str(mesh.name());
    const size_t trimesh = w.begin(TriangleMesh);

    const size_t vertices = w.begin(VertexList);
    w.u16(static_cast<uint16_t>(mesh.vertices().size()));
    for (const Vec3 &p : mesh.vertices()) {
        w.f32(p.x);
        w.f32(p.y);
        w.f32(p.z);
    }
    w.end(vertices);

    if (!mesh.texCoords().empty()) {
        const size_t coords = w.begin(TexCoordList);
        w.u16(static_cast<uint16_t>(mesh.texCoords().size()));
        for (const Vec2 &t : mesh.texCoords()) {
            w.f32(t.x);
            w.f32(t.y);
        }
        w.end(coords);
    }

    const size_t faces = w.begin(FaceList);
    w.u16(static_cast<uint16_t>(mesh.faces().size()));
    for (const auto &f : mesh.faces()) {
        w.u16(f[0]);
        w.u16(f[1]);
        w.u16(f[2]);
        w.u16(0x0007); // all three edges visible
    }
    const size_t group = w.begin(FaceMaterialGroup);
    w.str(mesh.material());
    w.u16(static_cast<uint16_t>(mesh.faces().size()));
    for (size_t i = 0; i < mesh.faces().size(); ++i)
        w.u16(static_cast<uint16_t>(i));
    w.end(group);
    w.end(faces);

    w.end(trimesh);
    w.end(object);
}

} // namespace

std::vector<uint8_t> Writer3ds::encode(const PartModel &model)
{
    std::vector<uint8_t> out;
    ChunkWriter w(out);
    const size_t main = w.begin(MainChunk);
    const size_t version = w.begin(FileVersion);
    w.u32(3);
    w.end(version);

    const size_t editor = w.begin(EditorChunk);
    const size_t meshVersion = w.begin(MeshVersion);
    w.u32(3);
    w.end(meshVersion);
    for (const PartMaterial &m : model.materials)
        writeMaterial(w, m);
    for (const PartMesh &mesh : model.objects)
        writeObject(w, mesh);
    w.end(editor);

    w.end(main);
    return out;
}

} // namespace gen3ds
