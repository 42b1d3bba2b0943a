#include "sim/CLoad3DS.h"
#include "sim/LoaderMessage.h"
#include "tests/common/Chunk3dsWriter.h"

#include <QtTest>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using Chunk3ds::put16;
using Chunk3ds::put32;
using Chunk3ds::putFloat;

struct V3
{
    float x, y, z;
};

// A chunk of the file being written: its own data, then its children. The length is computed
// unless a test forces a wrong one.
struct Chunk
{
    std::uint16_t id = 0;
    std::string data;
    std::vector<Chunk> children;
    std::optional<std::uint32_t> length;

    std::string bytes() const
    {
        std::string body = data;
        for (const Chunk &c : children)
            body += c.bytes();
        return Chunk3ds::header(id, length ? *length : std::uint32_t(6 + body.size())) + body;
    }
};

Chunk chunk(std::uint16_t id, std::string data = {}, std::vector<Chunk> children = {})
{
    return Chunk{id, std::move(data), std::move(children), std::nullopt};
}

std::string cstr(const std::string &s)
{
    return s + '\0';
}

Chunk vertexList(const std::vector<V3> &vs)
{
    std::string d;
    put16(d, std::uint32_t(vs.size()));
    for (const V3 &v : vs) {
        putFloat(d, v.x);
        putFloat(d, v.y);
        putFloat(d, v.z);
    }
    return chunk(0x4110, d);
}

Chunk faceList(const std::vector<std::array<int, 3>> &fs, std::vector<Chunk> groups = {})
{
    std::string d;
    put16(d, std::uint32_t(fs.size()));
    for (const auto &f : fs) {
        put16(d, std::uint32_t(f[0]));
        put16(d, std::uint32_t(f[1]));
        put16(d, std::uint32_t(f[2]));
        put16(d, 7);
    }
    return chunk(0x4120, d, std::move(groups));
}

Chunk materialGroup(const std::string &name, std::vector<int> faces = {0})
{
    std::string d = cstr(name);
    put16(d, std::uint32_t(faces.size()));
    for (int f : faces)
        put16(d, std::uint32_t(f));
    return chunk(0x4130, d);
}

Chunk texCoordList(const std::vector<std::pair<float, float>> &uv)
{
    std::string d;
    put16(d, std::uint32_t(uv.size()));
    for (const auto &[u, v] : uv) {
        putFloat(d, u);
        putFloat(d, v);
    }
    return chunk(0x4140, d);
}

Chunk object(const std::string &name, std::vector<Chunk> meshChildren)
{
    return chunk(0x4000, cstr(name), {chunk(0x4100, {}, std::move(meshChildren))});
}

Chunk colorBytes(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return chunk(0x0011, std::string{char(r), char(g), char(b)});
}

Chunk material(const std::string &name, std::optional<Chunk> diffuse, const std::string &texture = {})
{
    std::vector<Chunk> children = {chunk(0xA000, cstr(name))};
    if (diffuse)
        children.push_back(*diffuse);
    if (!texture.empty())
        children.push_back(chunk(0xA200, {}, {chunk(0xA300, cstr(texture))}));
    return chunk(0xAFFF, {}, children);
}

Chunk version(std::uint32_t v)
{
    std::string d;
    put32(d, v);
    return chunk(0x0002, d);
}

std::string file(std::vector<Chunk> editor, std::vector<Chunk> mainExtra = {})
{
    std::string meshVersion;
    put32(meshVersion, 3);
    editor.insert(editor.begin(), chunk(0x3D3E, meshVersion));
    std::vector<Chunk> top = {version(3), chunk(0x3D3D, {}, std::move(editor))};
    for (Chunk &c : mainExtra)
        top.push_back(std::move(c));
    return chunk(0x4D4D, {}, std::move(top)).bytes();
}

bool parse(const std::string &bytes, ModelRecord &model)
{
    // An exact-size copy so the sanitizer sees any read past the end.
    std::vector<std::uint8_t> copy(bytes.begin(), bytes.end());
    return CLoad3DS::ReadModelMemory(copy.data(), copy.size(), model);
}

const std::vector<V3> kTriangleVertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};

// The normal of each vertex the slow way: for every vertex, every face in order.
std::vector<float> referenceNormals(const ObjectRecord &o)
{
    std::vector<float> out(std::size_t(o.vertexCount) * 3, 0.0f);
    for (int i = 0; i < o.vertexCount; ++i) {
        float sx = 0, sy = 0, sz = 0;
        int count = 0;
        for (const FaceRecord &f : o.faces) {
            if (f.vertexIndex[0] != i && f.vertexIndex[1] != i && f.vertexIndex[2] != i)
                continue;
            const float *p0 = &o.vertices[3 * f.vertexIndex[0]];
            const float *p1 = &o.vertices[3 * f.vertexIndex[1]];
            const float *p2 = &o.vertices[3 * f.vertexIndex[2]];
            const float a[3] = {p0[0] - p2[0], p0[1] - p2[1], p0[2] - p2[2]};
            const float b[3] = {p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]};
            sx += a[1] * b[2] - a[2] * b[1];
            sy += a[2] * b[0] - a[0] * b[2];
            sz += a[0] * b[1] - a[1] * b[0];
            ++count;
        }
        if (count == 0)
            continue;
        const float d = -float(count);
        const float x = sx / d, y = sy / d, z = sz / d;
        const float len = std::sqrt(x * x + y * y + z * z);
        if (len > 0) {
            out[3 * i] = x / len;
            out[3 * i + 1] = y / len;
            out[3 * i + 2] = z / len;
        }
    }
    return out;
}

} // namespace

class TestLoad3DS : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void verticesFacesAndAxisSwap();
    void materialSelection_data();
    void materialSelection();
    void diffuseColour_data();
    void diffuseColour();
    void nestedChunksAreCountedExactly();
    void versionWarningOnce_data();
    void versionWarningOnce();
    void notA3dsFile_data();
    void notA3dsFile();
    void normalsMatchPerVertexSum();
    void hostileFiles_data();
    void hostileFiles();
    void deepNestingEnds_data();
    void deepNestingEnds();
    void importFillsSlotAndDestructionEmptiesIt();
    void texturePathsResolve_data();
    void texturePathsResolve();
    void missingTextureReportsAndCallsHandler();

private:
    std::vector<std::string> m_messages;
};

void TestLoad3DS::init()
{
    m_messages.clear();
    SetLoaderMessageHook([this](const std::string &caption, const std::string &text) {
        m_messages.push_back(caption + "|" + text);
    });
}

void TestLoad3DS::cleanup()
{
    SetLoaderMessageHook({});
}

void TestLoad3DS::verticesFacesAndAxisSwap()
{
    ModelRecord model;
    const std::string bytes = file({object("Base", {vertexList({{1, 2, 3}, {4, 5, 6}, {-7, 8.5f, -9}}),
                                                    faceList({{0, 1, 2}, {2, 1, 0}})})});
    QVERIFY(parse(bytes, model));
    QCOMPARE(model.objectCount, 1);
    QCOMPARE(model.materialCount, 0);
    const ObjectRecord &o = model.objects.at(0);
    QCOMPARE(QString::fromLatin1(o.name), QStringLiteral("Base"));
    QCOMPARE(o.vertexCount, 3);
    // (x, y, z) in the file is kept as (x, z, -y).
    const std::vector<float> want = {1, 3, -2, 4, 6, -5, -7, -9, -8.5f};
    QCOMPARE(o.vertices, want);
    QCOMPARE(o.faceCount, 2);
    QCOMPARE(o.faces[1].vertexIndex[0], 2);
    QCOMPARE(o.faces[1].vertexIndex[1], 1);
    QCOMPARE(o.faces[1].vertexIndex[2], 0);
    QCOMPARE(o.materialIndex, 0);
    QVERIFY(!o.hasTexture);
    QCOMPARE(o.texCoordCount, 0);
    QVERIFY(m_messages.empty());
}

void TestLoad3DS::materialSelection_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("materialIndex");
    QTest::addColumn<bool>("hasTexture");

    auto row = [](const char *name, const std::string &bytes, int index, bool textured) {
        QTest::newRow(name) << QByteArray(bytes.data(), qsizetype(bytes.size())) << index << textured;
    };
    const Chunk red = material("Red", chunk(0xA020, {}, {colorBytes(255, 0, 0)}));
    const Chunk wood = material("Wood", chunk(0xA020, {}, {colorBytes(1, 2, 3)}), "WOOD.BMP");
    auto mesh = [](std::vector<Chunk> groups) {
        return object("Part", {vertexList(kTriangleVertices), faceList({{0, 1, 2}}, std::move(groups))});
    };
    row("no group keeps 0", file({red, wood, mesh({})}), 0, false);
    row("group names textured material", file({red, wood, mesh({materialGroup("Wood")})}), 1, true);
    row("unknown name gives -1", file({red, wood, mesh({materialGroup("Steel")})}), -1, false);
    row("names match case-sensitively", file({red, wood, mesh({materialGroup("wood")})}), -1, false);
    row("last group wins", file({red, wood, mesh({materialGroup("Wood"), materialGroup("Red")})}), 0, true);
    row("no material yet leaves the object as it was", file({mesh({materialGroup("Wood")}), red}), 0, false);
}

void TestLoad3DS::materialSelection()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, materialIndex);
    QFETCH(bool, hasTexture);

    ModelRecord model;
    QVERIFY(parse(bytes.toStdString(), model));
    QCOMPARE(model.objectCount, 1);
    QCOMPARE(model.objects[0].materialIndex, materialIndex);
    QCOMPARE(model.objects[0].hasTexture, hasTexture);
    QVERIFY(model.materialCount >= 1);
    QCOMPARE(QString::fromLatin1(model.materials[0].name), QStringLiteral("Red"));
    if (model.materialCount > 1)
        QCOMPARE(QString::fromLatin1(model.materials[1].textureFile), QStringLiteral("WOOD.BMP"));
}

void TestLoad3DS::diffuseColour_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("r");
    QTest::addColumn<int>("g");
    QTest::addColumn<int>("b");
    QTest::addColumn<QString>("texture");

    auto row = [](const char *name, const Chunk &diffuse, int r, int g, int b, const char *texture = "") {
        const std::string bytes = file({material("M", diffuse, texture)});
        QTest::newRow(name) << QByteArray(bytes.data(), qsizetype(bytes.size())) << r << g << b
                            << QString::fromLatin1(texture);
    };
    row("24-bit colour", chunk(0xA020, {}, {colorBytes(10, 20, 30)}), 10, 20, 30);
    // Files often nest a gamma-corrected copy behind the first colour: the first one holds.
    row("second colour skipped", chunk(0xA020, {}, {colorBytes(10, 20, 30), colorBytes(200, 201, 202)}), 10, 20,
        30);
    row("second colour then texture", chunk(0xA020, {}, {colorBytes(7, 8, 9), colorBytes(1, 1, 1)}), 7, 8, 9,
        "TEX.BMP");
    std::string floats;
    putFloat(floats, 1.0f);
    putFloat(floats, 0.5f);
    putFloat(floats, -3.0f);
    row("float colour", chunk(0xA020, {}, {chunk(0x0010, floats)}), 255, 128, 0);
    row("colour chunk too short", chunk(0xA020, {}, {chunk(0x0011, std::string("\x05", 1))}), 5, 0, 0);
    row("empty diffuse", chunk(0xA020), 0, 0, 0, "TEX.BMP");
}

void TestLoad3DS::diffuseColour()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, r);
    QFETCH(int, g);
    QFETCH(int, b);
    QFETCH(QString, texture);

    ModelRecord model;
    QVERIFY(parse(bytes.toStdString(), model));
    QCOMPARE(model.materialCount, 1);
    const MaterialRecord &m = model.materials[0];
    QCOMPARE(QString::fromLatin1(m.name), QStringLiteral("M"));
    QCOMPARE(int(m.color[0]), r);
    QCOMPARE(int(m.color[1]), g);
    QCOMPARE(int(m.color[2]), b);
    QCOMPARE(QString::fromLatin1(m.textureFile), texture);
}

void TestLoad3DS::nestedChunksAreCountedExactly()
{
    // Face groups inside the face list, coordinates behind it, an unknown block holding a chunk that
    // would look like an object, a second object and a material after all of it: each must land
    // where it belongs, which only happens if every byte is counted once.
    Chunk keyframer = chunk(0xB000, {}, {object("Ghost", {vertexList(kTriangleVertices)})});
    std::string meshMatrix(48, '\0');
    const std::string bytes =
        file({material("Red", chunk(0xA020, {}, {colorBytes(255, 0, 0), colorBytes(1, 1, 1)})),
              material("Tex", chunk(0xA020, {}, {colorBytes(0, 0, 255)}), "T.BMP"),
              object("First", {vertexList({{0, 0, 0}, {1, 0, 0}, {0, 0, 1}, {1, 0, 1}}),
                               faceList({{0, 1, 2}, {1, 3, 2}}, {materialGroup("Red", {0}), materialGroup("Tex", {1})}),
                               texCoordList({{0, 0}, {1, 0}, {0, 1}, {1, 1}}), chunk(0x4160, meshMatrix)}),
              keyframer, object("Second", {vertexList(kTriangleVertices), faceList({{0, 2, 1}})})},
             {keyframer, material("Late", std::nullopt)});
    ModelRecord model;
    QVERIFY(parse(bytes, model));
    QCOMPARE(model.objectCount, 2);
    QCOMPARE(model.materialCount, 3);
    QCOMPARE(QString::fromLatin1(model.materials[2].name), QStringLiteral("Late"));
    const ObjectRecord &first = model.objects[0];
    QCOMPARE(QString::fromLatin1(first.name), QStringLiteral("First"));
    QCOMPARE(first.faceCount, 2);
    QCOMPARE(first.materialIndex, 1);
    QVERIFY(first.hasTexture);
    QCOMPARE(first.texCoordCount, 4);
    const std::vector<float> uv = {0, 0, 1, 0, 0, 1, 1, 1};
    QCOMPARE(first.texCoords, uv);
    const ObjectRecord &second = model.objects[1];
    QCOMPARE(QString::fromLatin1(second.name), QStringLiteral("Second"));
    QCOMPARE(second.vertexCount, 3);
    QCOMPARE(second.faceCount, 1);
    QCOMPARE(second.faces[0].vertexIndex[1], 2);
    QCOMPARE(int(model.materials[0].color[0]), 255);
    QCOMPARE(int(model.materials[0].color[1]), 0);
    QCOMPARE(QString::fromLatin1(model.materials[1].textureFile), QStringLiteral("T.BMP"));
}

void TestLoad3DS::versionWarningOnce_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("warnings");
    auto row = [](const char *name, std::vector<Chunk> extra, int warnings) {
        const std::string bytes = file({object("A", {vertexList(kTriangleVertices), faceList({{0, 1, 2}})})},
                                       std::move(extra));
        QTest::newRow(name) << QByteArray(bytes.data(), qsizetype(bytes.size())) << warnings;
    };
    row("version 3", {}, 0);
    row("version 4", {version(4)}, 1);
    row("two new versions", {version(4), version(0xFFFFFFFF)}, 1);
    row("version cut short", {chunk(0x0002, std::string("\x09", 1))}, 0);
}

void TestLoad3DS::versionWarningOnce()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, warnings);
    ModelRecord model;
    QVERIFY(parse(bytes.toStdString(), model));
    QCOMPARE(model.objectCount, 1); // loading goes on after the warning
    QCOMPARE(model.objects[0].faceCount, 1);
    QCOMPARE(int(m_messages.size()), warnings);
    if (warnings)
        QCOMPARE(QString::fromStdString(m_messages[0]),
                 QStringLiteral("Warning|This 3DS file is over version 3 so it may load incorrectly"));
}

void TestLoad3DS::notA3dsFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    std::string wrongId = file({object("A", {vertexList(kTriangleVertices)})});
    wrongId[0] = 0x4C;
    QTest::newRow("first chunk not main") << QByteArray(wrongId.data(), qsizetype(wrongId.size()));
    QTest::newRow("five bytes") << QByteArray("\x4d\x4d\x06\x00\x00", 5);
    QTest::newRow("bitmap") << QByteArray("BM\x3a\0\0\0\0\0\0\0\x36\0\0\0", 14);
}

void TestLoad3DS::notA3dsFile()
{
    QFETCH(QByteArray, bytes);
    ModelRecord model;
    QVERIFY(!parse(bytes.toStdString(), model));
    QCOMPARE(model.objectCount, 0);
    QVERIFY(model.objects.empty());
    QVERIFY(m_messages.empty());
}

void TestLoad3DS::normalsMatchPerVertexSum()
{
    // A bumpy grid with shared vertices, a face naming one vertex twice and a vertex no face uses.
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> height(-1.0f, 1.0f);
    const int n = 9;
    std::vector<V3> vs;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
            vs.push_back({float(i), float(j), height(rng)});
    vs.push_back({50, 50, 50});
    std::vector<std::array<int, 3>> fs;
    for (int j = 0; j + 1 < n; ++j)
        for (int i = 0; i + 1 < n; ++i) {
            const int a = j * n + i;
            fs.push_back({a, a + 1, a + n});
            fs.push_back({a + 1, a + n + 1, a + n});
        }
    fs.push_back({0, 0, 1});
    fs.push_back({2, 3, 2});

    ModelRecord model;
    QVERIFY(parse(file({object("Grid", {vertexList(vs), faceList(fs)})}), model));
    CLoad3DS::ComputeNormals(model);
    const ObjectRecord &o = model.objects[0];
    QCOMPARE(o.normals.size(), o.vertices.size());
    const std::vector<float> want = referenceNormals(o);
    for (std::size_t k = 0; k < want.size(); ++k)
        QVERIFY2(std::fabs(o.normals[k] - want[k]) <= 1e-6f, qPrintable(QString::number(k)));
    // Unit length where defined; the unused vertex has none.
    for (int i = 0; i < n * n; ++i) {
        const float *p = &o.normals[3 * i];
        QVERIFY(std::fabs(p[0] * p[0] + p[1] * p[1] + p[2] * p[2] - 1.0f) < 1e-5f);
    }
    QCOMPARE(o.normals[3 * n * n], 0.0f);

    // A counter-clockwise triangle in the file's x-y plane faces the file's +z, which the axis swap
    // stores as +y.
    ModelRecord flat;
    QVERIFY(parse(file({object("Flat", {vertexList(kTriangleVertices), faceList({{0, 1, 2}})})}), flat));
    CLoad3DS::ComputeNormals(flat);
    // Swapped: (0,0,0), (1,0,0), (0,0,-1). N = (P0-P2) x (P2-P1) = (0,0,1) x (-1,0,-1) = (0,-1,0).
    const std::vector<float> up = {0, 1, 0, 0, 1, 0, 0, 1, 0};
    QCOMPARE(flat.objects[0].normals, up);
}

void TestLoad3DS::hostileFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("objects");
    QTest::addColumn<int>("vertices"); // of the first object
    QTest::addColumn<int>("faces");
    QTest::addColumn<int>("texCoords");
    QTest::addColumn<QString>("name");

    auto row = [](const char *name, const std::string &bytes, int objects, int vertices, int faces, int uv,
                  const std::string &objectName = "A") {
        QTest::newRow(name) << QByteArray(bytes.data(), qsizetype(bytes.size())) << objects << vertices << faces
                            << uv << QString::fromStdString(objectName);
    };
    const Chunk goodFaces = faceList({{0, 1, 2}});
    const std::string good = file({object("A", {vertexList(kTriangleVertices), goodFaces})});

    row("whole file", good, 1, 3, 1, 0);
    // Cut anywhere inside the first object's data: the walk ends, nothing is read past the end.
    row("cut after the vertices", good.substr(0, good.size() - 8), 1, 3, 0, 0);
    row("cut inside the vertices", good.substr(0, good.size() - 8 - 14 - 4), 1, 2, 0, 0);
    {
        Chunk zero = chunk(0x4110);
        zero.length = 0;
        row("zero-length chunk", file({object("A", {vertexList(kTriangleVertices), zero, goodFaces})}), 1, 3, 0, 0);
        Chunk five = chunk(0x1234);
        five.length = 5;
        row("chunk shorter than its header", file({object("A", {vertexList(kTriangleVertices), goodFaces, five})}),
            1, 3, 1, 0);
    }
    {
        Chunk huge = vertexList(kTriangleVertices);
        huge.length = 0xFFFFFFFF; // longer than its parent and the file: cut to the parent
        row("chunk longer than the file", file({object("A", {huge})}), 1, 3, 0, 0);
        Chunk longMesh = chunk(0x4100, {}, {vertexList(kTriangleVertices), goodFaces});
        longMesh.length = 1000;
        Chunk obj = chunk(0x4000, cstr("A"), {longMesh});
        row("chunk longer than its parent", file({obj, object("B", {})}), 2, 3, 1, 0);
    }
    {
        Chunk vs = vertexList(kTriangleVertices);
        vs.data[0] = char(0xFF);
        vs.data[1] = char(0xFF); // 65535 announced, 3 present
        Chunk fl = goodFaces;
        fl.data[0] = char(0x40); // 64 announced, 1 present
        Chunk uv = texCoordList({{0, 0}, {1, 1}});
        uv.data[0] = char(0x30);
        row("counts larger than the data", file({object("A", {vs, fl, uv})}), 1, 3, 1, 2);
    }
    {
        // Extra bytes behind the announced vertices are skipped, not read into the array.
        Chunk vs = vertexList(kTriangleVertices);
        vs.data[0] = 2;
        row("data longer than the count", file({object("A", {vs, faceList({{0, 1, 1}})})}), 1, 2, 1, 0);
    }
    row("face indices outside the vertices",
        file({object("A", {vertexList(kTriangleVertices), faceList({{0, 1, 3}, {0, 1, 2}, {65535, 0, 1}})})}), 1, 3, 1,
        0);
    row("faces before vertices", file({object("A", {faceList({{0, 1, 2}}), vertexList(kTriangleVertices)})}), 1, 3, 1,
        0);
    row("coordinates shorter than the vertices",
        file({object("A", {vertexList(kTriangleVertices), goodFaces, texCoordList({{0.5f, 0.5f}})})}), 1, 3, 1, 1);
    {
        Chunk obj = chunk(0x4000, "NoTerminator");
        row("object name without NUL", file({obj}), 1, 0, 0, 0, "NoTerminator");
        const std::string longName(400, 'n');
        row("object name longer than the field",
            file({object(longName, {vertexList(kTriangleVertices), goodFaces})}), 1, 3, 1, 0, std::string(254, 'n'));
    }
    {
        Chunk unnamed = chunk(0xAFFF, {}, {chunk(0xA000, "Unterminated"), chunk(0xA300, std::string(300, 'x'))});
        row("material texts without NUL", file({unnamed, object("A", {vertexList(kTriangleVertices), goodFaces})}), 1,
            3, 1, 0);
    }
    {
        Chunk group = chunk(0x4130, "Unterminated");
        row("group name without NUL", file({object("A", {vertexList(kTriangleVertices), faceList({{0, 1, 2}}, {group})})}),
            1, 3, 1, 0);
    }
    {
        std::string mainTruncated = chunk(0x4D4D, {}, {chunk(0x3D3D, {}, {object("A", {vertexList(kTriangleVertices)})})}).bytes();
        mainTruncated.resize(mainTruncated.size() - 5);
        row("main chunk longer than the file", mainTruncated, 1, 2, 0, 0);
    }
    {
        Chunk editor = chunk(0x3D3D, {}, {object("A", {vertexList(kTriangleVertices), goodFaces})});
        row("editor block without mesh version", chunk(0x4D4D, {}, {editor}).bytes(), 1, 3, 1, 0);
        Chunk badVersion = chunk(0x3D3E);
        badVersion.length = 2;
        Chunk editor2 = chunk(0x3D3D, {}, {badVersion, object("A", {vertexList(kTriangleVertices), goodFaces})});
        row("mesh version shorter than its header", chunk(0x4D4D, {}, {editor2}).bytes(), 1, 3, 1, 0);
    }
    row("vertex list without count", file({object("A", {chunk(0x4110, std::string("\x01", 1))})}), 1, 0, 0, 0);
}

void TestLoad3DS::hostileFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, objects);
    QFETCH(int, vertices);
    QFETCH(int, faces);
    QFETCH(int, texCoords);
    QFETCH(QString, name);

    ModelRecord model;
    QVERIFY(parse(bytes.toStdString(), model));
    QCOMPARE(model.objectCount, objects);
    QCOMPARE(int(model.objects.size()), objects);
    const ObjectRecord &o = model.objects.at(0);
    QCOMPARE(QString::fromLatin1(o.name), name);
    QCOMPARE(o.vertexCount, vertices);
    QCOMPARE(int(o.vertices.size()), vertices * 3);
    QCOMPARE(o.faceCount, faces);
    QCOMPARE(int(o.faces.size()), faces);
    QCOMPARE(o.texCoordCount, texCoords);
    QCOMPARE(int(o.texCoords.size()), texCoords * 2);
    for (const FaceRecord &f : o.faces)
        for (int k = 0; k < 3; ++k)
            QVERIFY(f.vertexIndex[k] >= 0 && f.vertexIndex[k] < o.vertexCount);
    for (const MaterialRecord &m : model.materials) {
        QVERIFY(std::memchr(m.name, 0, sizeof m.name));
        QVERIFY(std::memchr(m.textureFile, 0, sizeof m.textureFile));
    }
    CLoad3DS::ComputeNormals(model);
    QCOMPARE(o.normals.size(), o.vertices.size());
}

void TestLoad3DS::deepNestingEnds_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("meshes in meshes") << 0;
    QTest::newRow("editor blocks in editor blocks") << 1;
    QTest::newRow("texture maps in texture maps") << 2;
}

void TestLoad3DS::deepNestingEnds()
{
    QFETCH(int, kind);
    // 100000 levels: a recursive walk without a limit would run off the stack.
    const int depth = 100000;
    const std::uint16_t id = kind == 0 ? 0x4100 : kind == 1 ? 0x3D3D : 0xA200;
    std::string bottom;
    put16(bottom, 0x0002);
    put32(bottom, 10);
    put32(bottom, 9);
    std::string inner;
    inner.reserve(std::size_t(depth) * 6 + bottom.size());
    for (int i = 0; i < depth; ++i) {
        put16(inner, id);
        put32(inner, std::uint32_t(6 * (depth - i) + bottom.size()));
    }
    inner += bottom;
    std::string body;
    if (kind == 0) {
        std::string obj = cstr("Deep") + inner;
        std::string head;
        put16(head, 0x4000);
        put32(head, std::uint32_t(6 + obj.size()));
        body = head + obj;
    } else if (kind == 1) {
        body = inner;
    } else {
        std::string head;
        put16(head, 0xAFFF);
        put32(head, std::uint32_t(6 + inner.size()));
        body = head + inner;
    }
    std::string bytes;
    put16(bytes, 0x4D4D);
    put32(bytes, std::uint32_t(6 + body.size()));
    bytes += body;
    ModelRecord model;
    QVERIFY(parse(bytes, model));
    QCOMPARE(model.objectCount, kind == 0 ? 1 : 0);
    QCOMPARE(model.materialCount, kind == 2 ? 1 : 0);
    QVERIFY(m_messages.empty()); // the version chunk at the bottom is never reached
}

void TestLoad3DS::importFillsSlotAndDestructionEmptiesIt()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("1.3DS"));
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    const std::string bytes = file({material("Blue", chunk(0xA020, {}, {colorBytes(0, 0, 255)})),
                                    object("A", {vertexList(kTriangleVertices), faceList({{0, 1, 2}})})});
    out.write(bytes.data(), qint64(bytes.size()));
    out.close();
    const QByteArray native = QFile::encodeName(path);
    {
        CLoad3DS loader;
        loader.ImportModel(native.constData(), 4);
        loader.ImportModel(native.constData(), 20); // outside the table: ignored
        loader.ImportModel(QFile::encodeName(dir.filePath(QStringLiteral("missing.3DS"))).constData(), 5);
        const ModelRecord &slot = loader.Model(4);
        QCOMPARE(slot.objectCount, 1);
        QCOMPARE(slot.materialCount, 1);
        QCOMPARE(slot.objects[0].normals.size(), std::size_t(9));
        QCOMPARE(slot.objects[0].normals[1], 1.0f);
        QCOMPARE(loader.Model(5).objectCount, 0);
        // A second file into the same slot appends.
        loader.ImportModel(native.constData(), 4);
        QCOMPARE(slot.objectCount, 2);
        QCOMPARE(int(slot.objects.size()), 2);
        QVERIFY(m_messages.empty());
        // Releasing the loader's context forgets its models.
        loader.Release();
        QCOMPARE(slot.objectCount, 0);
        QVERIFY(slot.objects.empty());
    }
}

void TestLoad3DS::texturePathsResolve_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("expected"); // relative to the temporary folder; empty = not found
    QTest::newRow("as written from the current folder") << QStringLiteral("3DS/Wood.bmp") << QStringLiteral("3DS/Wood.bmp");
    QTest::newRow("DOS name next to the model") << QStringLiteral("WOOD.BMP") << QStringLiteral("3DS/Wood.bmp");
    QTest::newRow("backslashes and other case") << QStringLiteral("3ds\\WOOD.bmp") << QStringLiteral("3DS/Wood.bmp");
    QTest::newRow("exact name next to the model") << QStringLiteral("sub/Stone.bmp")
                                                  << QStringLiteral("3DS/sub/Stone.bmp");
    QTest::newRow("case-insensitive folder next to the model") << QStringLiteral("SUB/STONE.BMP")
                                                               << QStringLiteral("3DS/sub/Stone.bmp");
    QTest::newRow("missing") << QStringLiteral("NONE.BMP") << QString();
    QTest::newRow("a folder is no texture") << QStringLiteral("SUB") << QString();
}

void TestLoad3DS::texturePathsResolve()
{
    QFETCH(QString, stored);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("3DS/sub")));
    for (const char *name : {"3DS/Wood.bmp", "3DS/sub/Stone.bmp"}) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const std::string got = CLoad3DS::ResolveTexturePath(stored.toLatin1().constData(), "./3DS/7.3DS");
    QDir::setCurrent(previous);
    if (expected.isEmpty())
        QCOMPARE(QString::fromStdString(got), QString());
    else
        QCOMPARE(QDir::cleanPath(QString::fromStdString(got)), expected);
}

void TestLoad3DS::missingTextureReportsAndCallsHandler()
{
    // The image loader fails before any GL call is made, so this runs without a context.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("2.3DS"));
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    const std::string bytes = file({material("M", std::nullopt, "GONE.BMP")});
    out.write(bytes.data(), qint64(bytes.size()));
    out.close();
    std::vector<std::string> failed;
    CLoad3DS loader;
    loader.SetTextureFailureHandler([&](const std::string &name) { failed.push_back(name); });
    loader.ImportModel(QFile::encodeName(path).constData(), 2);
    QCOMPARE(failed, std::vector<std::string>{"GONE.BMP"});
    QCOMPARE(m_messages, std::vector<std::string>{"Error|Failed to open DIB file GONE.BMP.\n"});
    QCOMPARE(loader.TextureName(2, 0), 0u);
}

QTEST_GUILESS_MAIN(TestLoad3DS)
#include "tst_load3ds.moc"
