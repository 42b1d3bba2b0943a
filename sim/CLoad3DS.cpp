#include "sim/CLoad3DS.h"

#include "sim/LittleEndian.h"
#include "sim/WholeFile.h"

#include "sim/LoadDIBImage.h"
#include "sim/LoaderMessage.h"

#include <QOpenGLContext>

#include <GL/gl.h>
#include <GL/glu.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <type_traits>
#include <vector>

static_assert(std::is_same_v<TextureNameRow::value_type, GLuint>, "texture names are GL names");

namespace {

namespace fs = std::filesystem;

enum ChunkId : std::uint16_t {
    kMain = 0x4D4D,
    kVersion = 0x0002,
    kEditor = 0x3D3D,
    kMeshVersion = 0x3D3E,
    kObject = 0x4000,
    kMesh = 0x4100,
    kVertices = 0x4110,
    kFaces = 0x4120,
    kFaceMaterial = 0x4130,
    kTexCoords = 0x4140,
    kMaterial = 0xAFFF,
    kMaterialName = 0xA000,
    kDiffuse = 0xA020,
    kTextureMap = 0xA200,
    kTextureFile = 0xA300,
    kColorFloat = 0x0010,
    kColorBytes = 0x0011,
    kColorBytesGamma = 0x0012,
    kColorFloatGamma = 0x0013,
};

constexpr std::size_t kHeaderSize = 6;
// Containers nest a few levels in real files; a file nesting deeper is hostile and its inner
// chunks are skipped so the walk cannot exhaust the stack.
constexpr int kMaxDepth = 32;
// More objects or materials than this in one model would only be a way to exhaust memory.
constexpr std::size_t kMaxRecords = 65535;
constexpr off_t kMaxModelFileSize = off_t(1) << 30;

constexpr char kVersionCaption[] = "Warning";
constexpr char kVersionText[] = "This 3DS file is over version 3 so it may load incorrectly";

float f32(const std::uint8_t *p)
{
    const std::uint32_t bits = u32(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

std::uint8_t colorByte(float f)
{
    if (!(f > 0.0f)) // also NaN
        return 0;
    if (f >= 1.0f)
        return 255;
    return static_cast<std::uint8_t>(std::lround(f * 255.0f));
}

// Copies bytes [from, to) as a fixed-size text field, cut at the first NUL and at 254 bytes.
void storeText(char (&field)[kRecordNameSize], const std::uint8_t *from, const std::uint8_t *to)
{
    std::size_t n = 0;
    while (from + n < to && from[n] != 0 && n < kRecordNameSize - 1) {
        field[n] = static_cast<char>(from[n]);
        ++n;
    }
    field[n] = '\0';
}

// Walks the chunk tree of one file held in memory. Positions are byte offsets into the file; every
// chunk is clipped to its parent (the main chunk to the file), so no read leaves the data and each
// turn of a level's loop moves forward by at least one header.
class ChunkWalker
{
public:
    ChunkWalker(const std::uint8_t *data, std::size_t size, ModelRecord &model)
        : m_data(data), m_size(size), m_model(model)
    {
    }

    bool run()
    {
        if (m_size < kHeaderSize || u16(m_data) != kMain)
            return false;
        const std::uint32_t length = u32(m_data + 2);
        if (length < kHeaderSize)
            return true;
        const std::size_t end = std::min<std::size_t>(length, m_size);
        m_firstObject = m_model.objects.size();
        walk(Level::Main, kHeaderSize, end, 0);
        finishObjects();
        return true;
    }

private:
    enum class Level { Main, Object, Material };

    void walk(Level level, std::size_t pos, std::size_t end, int depth)
    {
        if (depth > kMaxDepth)
            return;
        while (end - pos >= kHeaderSize) {
            const std::uint16_t id = u16(m_data + pos);
            const std::uint32_t length = u32(m_data + pos + 2);
            // A chunk that cannot even hold its header leaves no way to find the next one: the
            // rest of the enclosing chunk is given up.
            if (length < kHeaderSize)
                return;
            const std::size_t chunkEnd = pos + std::min<std::size_t>(length, end - pos);
            const std::size_t next = handle(level, id, pos + kHeaderSize, chunkEnd, depth);
            pos = std::clamp(next, pos + kHeaderSize, chunkEnd);
        }
    }

    // Handles one chunk whose data spans [data, end); returns where the walk of this level goes
    // on. Handlers that read only their own data return the end of that data, so chunks nested
    // behind it are met by the same loop.
    std::size_t handle(Level level, std::uint16_t id, std::size_t data, std::size_t end, int depth)
    {
        switch (level) {
        case Level::Main:
            return handleMain(id, data, end, depth);
        case Level::Object:
            return handleObject(id, data, end, depth);
        case Level::Material:
            return handleMaterial(id, data, end, depth);
        }
        return end;
    }

    std::size_t handleMain(std::uint16_t id, std::size_t data, std::size_t end, int depth)
    {
        switch (id) {
        case kVersion:
            if (end - data < 4)
                return end;
            if (u32(m_data + data) > 3 && !m_warned) {
                m_warned = true;
                ShowLoaderMessage(kVersionCaption, kVersionText, false);
            }
            return data + 4;
        case kEditor: {
            std::size_t pos = data;
            // The mesh version leads the editor block; its value is not needed.
            if (end - pos >= kHeaderSize && u16(m_data + pos) == kMeshVersion) {
                const std::uint32_t length = u32(m_data + pos + 2);
                pos += std::clamp<std::size_t>(length, kHeaderSize, end - pos);
            }
            walk(Level::Main, pos, end, depth + 1);
            return end;
        }
        case kObject: {
            if (m_model.objects.size() >= kMaxRecords)
                return end;
            ++m_model.objectCount;
            m_model.objects.emplace_back();
            const std::size_t after = readName(m_model.objects.back().name, data, end);
            walk(Level::Object, after, end, depth + 1);
            return end;
        }
        case kMaterial:
            if (m_model.materials.size() >= kMaxRecords)
                return end;
            ++m_model.materialCount;
            m_model.materials.emplace_back();
            walk(Level::Material, data, end, depth + 1);
            return end;
        default:
            return end;
        }
    }

    std::size_t handleObject(std::uint16_t id, std::size_t data, std::size_t end, int depth)
    {
        ObjectRecord &object = m_model.objects.back();
        switch (id) {
        case kMesh:
            walk(Level::Object, data, end, depth + 1);
            return end;
        case kVertices: {
            // Only whole vertices that the chunk really holds are kept.
            const std::size_t n = countedEntries(data, end, 12);
            object.vertexCount = static_cast<std::int32_t>(n);
            object.vertices.assign(n * 3, 0.0f);
            object.normals.clear();
            const std::uint8_t *p = m_data + data + 2;
            for (std::size_t i = 0; i < n; ++i, p += 12) {
                const float x = f32(p), y = f32(p + 4), z = f32(p + 8);
                // Stored as (x, z, -y); drawing turns the model back with +90 degrees about X.
                object.vertices[3 * i] = x;
                object.vertices[3 * i + 1] = z;
                object.vertices[3 * i + 2] = -y;
            }
            return end;
        }
        case kFaces: {
            if (end - data < 2)
                return end;
            const std::size_t announced = u16(m_data + data);
            const std::size_t n = countedEntries(data, end, 8);
            object.faceCount = static_cast<std::int32_t>(n);
            object.faces.assign(n, FaceRecord{});
            const std::uint8_t *p = m_data + data + 2;
            for (std::size_t i = 0; i < n; ++i, p += 8)
                for (int k = 0; k < 3; ++k)
                    object.faces[i].vertexIndex[k] = u16(p + 2 * k);
            // When the list is cut short nothing sensible can follow it inside the chunk.
            return n < announced ? end : data + 2 + n * 8;
        }
        case kFaceMaterial: {
            char name[kRecordNameSize];
            readName(name, data, end);
            if (!m_model.materials.empty()) {
                object.materialIndex = -1;
                for (std::size_t i = 0; i < m_model.materials.size(); ++i) {
                    const MaterialRecord &material = m_model.materials[i];
                    if (std::strcmp(material.name, name) == 0) {
                        object.materialIndex = static_cast<std::int32_t>(i);
                        if (material.textureFile[0] != '\0')
                            object.hasTexture = true;
                        break;
                    }
                }
            }
            return end;
        }
        case kTexCoords: {
            const std::size_t n = countedEntries(data, end, 8);
            object.texCoordCount = static_cast<std::int32_t>(n);
            object.texCoords.assign(n * 2, 0.0f);
            const std::uint8_t *p = m_data + data + 2;
            for (std::size_t i = 0; i < n * 2; ++i, p += 4)
                object.texCoords[i] = f32(p);
            return end;
        }
        default:
            return end;
        }
    }

    std::size_t handleMaterial(std::uint16_t id, std::size_t data, std::size_t end, int depth)
    {
        MaterialRecord &material = m_model.materials.back();
        switch (id) {
        case kMaterialName:
            storeText(material.name, m_data + data, m_data + end);
            return end;
        case kTextureFile:
            storeText(material.textureFile, m_data + data, m_data + end);
            return end;
        case kTextureMap:
            walk(Level::Material, data, end, depth + 1);
            return end;
        case kDiffuse: {
            // The first colour sub-chunk sets the colour; any further one is skipped by the loop.
            if (end - data < kHeaderSize)
                return end;
            const std::uint16_t colorId = u16(m_data + data);
            const std::uint32_t length = u32(m_data + data + 2);
            const std::size_t colorEnd = data + std::clamp<std::size_t>(length, kHeaderSize, end - data);
            const std::uint8_t *p = m_data + data + kHeaderSize;
            const std::size_t bytes = colorEnd - data - kHeaderSize;
            if ((colorId == kColorFloat || colorId == kColorFloatGamma) && bytes >= 12) {
                for (int k = 0; k < 3; ++k)
                    material.color[k] = colorByte(f32(p + 4 * k));
            } else {
                for (std::size_t k = 0; k < 3 && k < bytes; ++k)
                    material.color[k] = p[k];
            }
            return colorEnd;
        }
        default:
            return end;
        }
    }

    // Number of whole entries a counted list really holds: the 16-bit count, cut to the data.
    std::size_t countedEntries(std::size_t data, std::size_t end, std::size_t entrySize) const
    {
        if (end - data < 2)
            return 0;
        const std::size_t announced = u16(m_data + data);
        return std::min(announced, (end - data - 2) / entrySize);
    }

    // Reads a NUL-terminated name starting at pos; returns the position after its NUL (or end when
    // the chunk holds no NUL).
    std::size_t readName(char (&field)[kRecordNameSize], std::size_t pos, std::size_t end) const
    {
        const auto *from = m_data + pos;
        const auto *to = m_data + end;
        const auto *nul = static_cast<const std::uint8_t *>(std::memchr(from, 0, static_cast<std::size_t>(to - from)));
        storeText(field, from, nul ? nul : to);
        return nul ? static_cast<std::size_t>(nul - m_data) + 1 : end;
    }

    // Faces that name a vertex the object does not have are dropped: they could not be drawn.
    void finishObjects()
    {
        for (std::size_t i = m_firstObject; i < m_model.objects.size(); ++i) {
            ObjectRecord &object = m_model.objects[i];
            const auto bad = [&](const FaceRecord &f) {
                for (int k = 0; k < 3; ++k)
                    if (f.vertexIndex[k] < 0 || f.vertexIndex[k] >= object.vertexCount)
                        return true;
                return false;
            };
            object.faces.erase(std::remove_if(object.faces.begin(), object.faces.end(), bad), object.faces.end());
            object.faceCount = static_cast<std::int32_t>(object.faces.size());
        }
    }

    const std::uint8_t *m_data;
    std::size_t m_size;
    ModelRecord &m_model;
    std::size_t m_firstObject = 0;
    bool m_warned = false;
};

bool isRegularFile(const fs::path &p)
{
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

bool sameIgnoringCase(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Follows a relative path from base one component at a time, taking a component as written when
// it exists and otherwise the first directory entry that equals it ignoring case.
fs::path findIgnoringCase(const fs::path &base, const fs::path &relative)
{
    fs::path at = base;
    for (const fs::path &part : relative) {
        const std::string name = part.string();
        if (name.empty() || name == "." || name == "/")
            continue;
        std::error_code ec;
        if (name == ".." || fs::exists(at / part, ec)) {
            at /= part;
            continue;
        }
        bool found = false;
        fs::directory_iterator it(at.empty() ? fs::path(".") : at, ec), endIt;
        for (; !ec && it != endIt; it.increment(ec)) {
            const std::string candidate = it->path().filename().string();
            if (sameIgnoringCase(candidate, name)) {
                at /= candidate;
                found = true;
                break;
            }
        }
        if (!found)
            return {};
    }
    return isRegularFile(at) ? at : fs::path();
}

} // namespace

CLoad3DS::CLoad3DS()
    : m_models(std::make_unique<ModelSlots>())
    , m_textures(std::make_unique<TextureNameRows>())
{
}

CLoad3DS::~CLoad3DS() = default;

void CLoad3DS::Release()
{
    if (QOpenGLContext::currentContext()) {
        for (TextureNameRow &row : *m_textures) {
            for (GLuint &name : row) {
                if (name != 0)
                    glDeleteTextures(1, &name);
            }
        }
    }
    for (TextureNameRow &row : *m_textures)
        row.fill(0);
    for (ModelRecord &model : *m_models)
        model.clear();
}

unsigned CLoad3DS::TextureName(int slot, int material) const
{
    if (slot < 0 || slot >= kModelSlotCount || material < 0 || material >= kMaxMaterialsPerModel)
        return 0;
    return (*m_textures)[static_cast<size_t>(slot)][static_cast<size_t>(material)];
}

bool CLoad3DS::ReadModelMemory(const std::uint8_t *data, std::size_t size, ModelRecord &model)
{
    if (!data)
        return false;
    ChunkWalker walker(data, size, model);
    return walker.run();
}

bool CLoad3DS::ReadModelFile(const char *path, ModelRecord &model)
{
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, kMaxModelFileSize, bytes))
        return false;
    return ReadModelMemory(bytes.data(), bytes.size(), model);
}

void CLoad3DS::ComputeNormals(ModelRecord &model)
{
    for (ObjectRecord &object : model.objects) {
        const std::size_t n = static_cast<std::size_t>(std::max(object.vertexCount, 0));
        std::vector<float> sum(n * 3, 0.0f);
        std::vector<std::int32_t> count(n, 0);
        const float *v = object.vertices.data();
        // One pass over the faces: each face's vector goes to the sums of the vertices it names, in
        // face order, once per vertex even when a degenerate face names a vertex twice.
        for (const FaceRecord &face : object.faces) {
            const std::int32_t a = face.vertexIndex[0], b = face.vertexIndex[1], c = face.vertexIndex[2];
            if (a < 0 || b < 0 || c < 0 || std::size_t(a) >= n || std::size_t(b) >= n || std::size_t(c) >= n)
                continue;
            const float *p0 = v + 3 * a, *p1 = v + 3 * b, *p2 = v + 3 * c;
            const float ux = p0[0] - p2[0], uy = p0[1] - p2[1], uz = p0[2] - p2[2];
            const float wx = p2[0] - p1[0], wy = p2[1] - p1[1], wz = p2[2] - p1[2];
            const float nx = uy * wz - uz * wy;
            const float ny = uz * wx - ux * wz;
            const float nz = ux * wy - uy * wx;
            const std::int32_t corners[3] = {a, b, c};
            for (int k = 0; k < 3; ++k) {
                const std::int32_t i = corners[k];
                if ((k >= 1 && i == corners[0]) || (k == 2 && i == corners[1]))
                    continue;
                sum[3 * i] += nx;
                sum[3 * i + 1] += ny;
                sum[3 * i + 2] += nz;
                ++count[i];
            }
        }
        object.normals.assign(n * 3, 0.0f);
        for (std::size_t i = 0; i < n; ++i) {
            if (count[i] == 0)
                continue; // used by no face: never drawn
            const float divisor = -static_cast<float>(count[i]);
            const float x = sum[3 * i] / divisor, y = sum[3 * i + 1] / divisor, z = sum[3 * i + 2] / divisor;
            const float length = std::sqrt(x * x + y * y + z * z);
            if (!(length > 0.0f))
                continue; // only degenerate faces: no direction to give
            object.normals[3 * i] = x / length;
            object.normals[3 * i + 1] = y / length;
            object.normals[3 * i + 2] = z / length;
        }
    }
}

std::string CLoad3DS::ResolveTexturePath(const char *textureFile, const char *modelPath)
{
    if (!textureFile || !*textureFile)
        return {};
    std::string name(textureFile);
    std::replace(name.begin(), name.end(), '\\', '/'); // names written on DOS
    const fs::path written(name);
    if (written.is_absolute()) {
        if (isRegularFile(written))
            return written.string();
        const fs::path found = findIgnoringCase(written.root_path(), written.relative_path());
        return found.string();
    }
    const fs::path modelDir = modelPath ? fs::path(modelPath).parent_path() : fs::path();
    if (isRegularFile(written))
        return written.string();
    if (!modelDir.empty() && isRegularFile(modelDir / written))
        return (modelDir / written).string();
    fs::path found = findIgnoringCase(fs::path(), written);
    if (found.empty() && !modelDir.empty())
        found = findIgnoringCase(modelDir, written);
    return found.string();
}

void CLoad3DS::SetTextureFailureHandler(std::function<void(const std::string &)> handler)
{
    m_textureFailure = std::move(handler);
}

void CLoad3DS::CreateTextures(unsigned slot, const char *modelPath)
{
    if (slot >= static_cast<unsigned>(kModelSlotCount))
        return;
    ModelRecord &model = (*m_models)[slot];
    const std::size_t count = std::min<std::size_t>(model.materials.size(), kMaxMaterialsPerModel);
    for (std::size_t i = 0; i < count; ++i) {
        const MaterialRecord &material = model.materials[i];
        if (material.textureFile[0] == '\0')
            continue;
        const std::string resolved = ResolveTexturePath(material.textureFile, modelPath);
        const std::unique_ptr<ImageRecord> image =
            LoadDIBImage(resolved.empty() ? material.textureFile : resolved.c_str());
        if (!image) {
            // The loader has told the operator already; a model without its textures is not drawn.
            if (m_textureFailure)
                m_textureFailure(material.textureFile);
            else
                std::exit(EXIT_FAILURE);
            continue;
        }
        GLuint &name = (*m_textures)[slot][i];
        glGenTextures(1, &name);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glBindTexture(GL_TEXTURE_2D, name);
        gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image->width, image->height, GL_RGB, GL_UNSIGNED_BYTE,
                          image->data.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    }
}

void CLoad3DS::ImportModel(const char *path, unsigned slot)
{
    if (slot >= static_cast<unsigned>(kModelSlotCount))
        return;
    ModelRecord &model = (*m_models)[slot];
    if (!ReadModelFile(path, model))
        return;
    ComputeNormals(model);
    CreateTextures(slot, path);
}

void CLoad3DS::DrawModel(int slot, float x, float y, float z, float scale, float angle, float axisX, float axisY,
                         float axisZ)
{
    if (slot < 0 || slot >= kModelSlotCount)
        return;
    const ModelRecord &model = (*m_models)[static_cast<size_t>(slot)];

    glPushAttrib(GL_CURRENT_BIT);
    glPushMatrix();
    glDisable(GL_TEXTURE_2D);

    glTranslatef(x, y, z);
    glScalef(scale, scale, scale);
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
    if (angle != 0.0f && (axisX != 0.0f || axisY != 0.0f || axisZ != 0.0f))
        glRotatef(angle, axisX, axisY, axisZ);

    const std::int32_t materialCount = static_cast<std::int32_t>(model.materials.size());
    for (const ObjectRecord &object : model.objects) {
        const std::int32_t material = object.materialIndex;
        const unsigned texture = material < materialCount ? TextureName(slot, material) : 0;
        const bool textured = object.hasTexture && texture != 0;
        if (textured) {
            glEnable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, texture);
        } else {
            glDisable(GL_TEXTURE_2D);
        }
        glColor3ub(255, 255, 255);
        const bool colored = !textured && material >= 0 && material < materialCount;
        const std::size_t vertexCount = std::min<std::size_t>(object.vertices.size() / 3, std::max(object.vertexCount, 0));
        const bool haveNormals = object.normals.size() >= vertexCount * 3;
        const std::size_t texCount = std::min<std::size_t>(object.texCoords.size() / 2, std::max(object.texCoordCount, 0));

        glBegin(GL_TRIANGLES);
        for (const FaceRecord &face : object.faces) {
            const auto inside = [&](std::int32_t v) { return v >= 0 && std::size_t(v) < vertexCount; };
            if (!inside(face.vertexIndex[0]) || !inside(face.vertexIndex[1]) || !inside(face.vertexIndex[2]))
                continue;
            for (int k = 0; k < 3; ++k) {
                const std::int32_t v = face.vertexIndex[k];
                if (haveNormals)
                    glNormal3fv(&object.normals[3 * v]);
                if (textured && texCount > 0) {
                    if (std::size_t(v) < texCount)
                        glTexCoord2fv(&object.texCoords[2 * v]);
                    else
                        glTexCoord2f(0.0f, 0.0f);
                }
                if (colored)
                    glColor3ubv(model.materials[material].color);
                glVertex3fv(&object.vertices[3 * v]);
            }
        }
        glEnd();
    }

    glEnable(GL_TEXTURE_2D);
    glPopMatrix();
    glPopAttrib();
}
