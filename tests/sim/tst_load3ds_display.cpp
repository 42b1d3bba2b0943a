#include "sim/CLoad3DS.h"
#include "sim/LoaderMessage.h"
#include "tests/common/Chunk3dsWriter.h"
#include "tests/common/GlDriver.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QTest>

#include <GL/gl.h>

#include <cmath>
#include <optional>
#include <vector>

namespace {

// A chunk of the file being written: its own data, then its children; the length is computed unless forced.
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
        return Chunk3ds::header(id, length.value_or(std::uint32_t(6 + body.size()))) + body;
    }
};

Chunk chunk(std::uint16_t id, std::string data = {}, std::vector<Chunk> children = {})
{
    return Chunk{id, std::move(data), std::move(children), std::nullopt};
}
std::string cstr(const std::string &s) { return s + '\0'; }
std::string u32(std::uint32_t v) { std::string d; return Chunk3ds::put32(d, v), d; }

// A 16-bit count, then the values.
template<typename T>
std::string counted(std::size_t count, const std::vector<T> &values)
{
    std::string d;
    Chunk3ds::put16(d, std::uint32_t(count));
    for (T v : values)
        std::is_same_v<T, float> ? Chunk3ds::putFloat(d, float(v)) : Chunk3ds::put16(d, std::uint32_t(v));
    return d;
}

Chunk vertexList(const std::vector<float> &xyz) { return chunk(0x4110, counted(xyz.size() / 3, xyz)); }
Chunk texCoordList(const std::vector<float> &uv) { return chunk(0x4140, counted(uv.size() / 2, uv)); }
Chunk version(std::uint32_t v) { return chunk(0x0002, u32(v)); }
Chunk colorBytes(int r, int g, int b) { return chunk(0x0011, std::string{char(r), char(g), char(b)}); }
Chunk diffuse(std::vector<Chunk> colours = {}) { return chunk(0xA020, {}, std::move(colours)); }
Chunk materialGroup(const std::string &name, std::vector<int> faces = {0}) { return chunk(0x4130, cstr(name) + counted(faces.size(), faces)); }
Chunk object(const std::string &name, std::vector<Chunk> mesh) { return chunk(0x4000, cstr(name), {chunk(0x4100, {}, std::move(mesh))}); }

// Faces of three vertex indices, each stored with a flags word.
Chunk faceList(const std::vector<int> &indices, std::vector<Chunk> groups = {})
{
    std::vector<int> withFlags;
    for (std::size_t i = 0; i + 2 < indices.size(); i += 3)
        withFlags.insert(withFlags.end(), {indices[i], indices[i + 1], indices[i + 2], 7});
    return chunk(0x4120, counted(indices.size() / 3, withFlags), std::move(groups));
}

Chunk material(const std::string &name, std::optional<Chunk> colour, const std::string &texture = {})
{
    std::vector<Chunk> children = {chunk(0xA000, cstr(name))};
    if (colour)
        children.push_back(*colour);
    if (!texture.empty())
        children.push_back(chunk(0xA200, {}, {chunk(0xA300, cstr(texture))}));
    return chunk(0xAFFF, {}, children);
}

QByteArray file(std::vector<Chunk> editor, std::vector<Chunk> mainExtra = {})
{
    editor.insert(editor.begin(), chunk(0x3D3E, u32(3)));
    std::vector<Chunk> top = {version(3), chunk(0x3D3D, {}, std::move(editor))};
    top.insert(top.end(), mainExtra.begin(), mainExtra.end());
    return QByteArray::fromStdString(chunk(0x4D4D, {}, std::move(top)).bytes());
}

bool parse(const QByteArray &bytes, ModelRecord &model)
{
    // An exact-size copy so the sanitizer sees any read past the end.
    std::vector<std::uint8_t> copy(bytes.begin(), bytes.end());
    return CLoad3DS::ReadModelMemory(copy.data(), copy.size(), model);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

const std::vector<float> kTriangle = {0, 0, 0, 1, 0, 0, 0, 1, 0};

} // namespace

class TestLoad3DS : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_messages.clear();
        SetLoaderMessageHook([this](const std::string &caption, const std::string &text) { m_messages.push_back(caption + "|" + text); });
    }
    void cleanup() { SetLoaderMessageHook({}); }

    // Which material each object takes, and what a material holds.
    void materials_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("materialIndex"); // of the object
        QTest::addColumn<bool>("hasTexture");
        QTest::addColumn<QColor>("colour"); // of the last material
        QTest::addColumn<QString>("texture");
        auto row = [](const char *name, const QByteArray &bytes, int index, bool textured, QColor colour, const char *texture = "WOOD.BMP") {
            QTest::newRow(name) << bytes << index << textured << colour << QString::fromLatin1(texture);
        };
        const Chunk red = material("Red", diffuse({colorBytes(255, 0, 0)}));
        // Files often nest a gamma-corrected copy behind the first colour: the first one holds.
        const Chunk wood = material("Wood", diffuse({colorBytes(1, 2, 3), colorBytes(9, 9, 9)}), "WOOD.BMP");
        auto mesh = [](std::vector<Chunk> groups) { return object("Part", {vertexList(kTriangle), faceList({0, 1, 2}, std::move(groups))}); };
        const QColor woody(1, 2, 3);
        row("no group keeps 0", file({red, wood, mesh({})}), 0, false, woody);
        row("group names textured material", file({red, wood, mesh({materialGroup("Wood")})}), 1, true, woody);
        row("unknown name gives -1", file({red, wood, mesh({materialGroup("Steel")})}), -1, false, woody);
        row("names match case-sensitively", file({red, wood, mesh({materialGroup("wood")})}), -1, false, woody);
        row("no material yet leaves the object as it was", file({mesh({materialGroup("Red")}), red}), 0, false, Qt::red, "");
        std::string floats;
        for (float f : {1.0f, 0.5f, -3.0f})
            Chunk3ds::putFloat(floats, f);
        row("float colour", file({mesh({}), material("M", diffuse({chunk(0x0010, floats)}))}), 0, false, QColor(255, 128, 0), "");
        row("colour chunk too short", file({mesh({}), material("M", diffuse({chunk(0x0011, std::string("\x05", 1))}))}), 0, false,
            QColor(5, 0, 0), "");
        row("empty diffuse", file({mesh({}), material("M", diffuse(), "TEX.BMP")}), 0, false, Qt::black, "TEX.BMP");
    }
    void materials()
    {
        QFETCH(QByteArray, bytes); QFETCH(int, materialIndex); QFETCH(bool, hasTexture); QFETCH(QColor, colour); QFETCH(QString, texture);
        ModelRecord model;
        QVERIFY(parse(bytes, model) && model.objectCount == 1 && model.materialCount >= 1);
        QCOMPARE(model.objects[0].materialIndex, materialIndex);
        QCOMPARE(model.objects[0].hasTexture, hasTexture);
        const MaterialRecord &m = model.materials[model.materialCount - 1];
        QCOMPARE(QColor(m.color[0], m.color[1], m.color[2]), colour);
        QCOMPARE(QString::fromLatin1(m.textureFile), texture);
    }
    void nestedChunksAreCountedExactly()
    {
        // Groups inside the face list, an unknown block holding what looks like an object, a second
        // object and a late material: each lands where it belongs only if every byte is counted once.
        Chunk keyframer = chunk(0xB000, {}, {object("Ghost", {vertexList(kTriangle)})});
        const QByteArray bytes =
            file({material("Red", diffuse({colorBytes(255, 0, 0), colorBytes(1, 1, 1)})), material("Tex", diffuse({colorBytes(0, 0, 255)}), "T.BMP"),
                  object("First", {vertexList({0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 1}),
                                   faceList({0, 1, 2, 1, 3, 2}, {materialGroup("Red", {0}), materialGroup("Tex", {1})}),
                                   texCoordList({0, 0, 1, 0, 0, 1, 1, 1}), chunk(0x4160, std::string(48, '\0'))}),
                  keyframer, object("Second", {vertexList({1, 2, 3, 4, 5, 6, -7, 8.5f, -9}), faceList({0, 2, 1})})},
                 {keyframer, material("Late", std::nullopt)});
        ModelRecord model;
        QVERIFY(parse(bytes, model));
        QVERIFY(model.objectCount == 2 && model.materialCount == 3 && model.materials[0].color[0] == 255);
        QCOMPARE(QString::fromLatin1(model.materials[2].name) + QString::fromLatin1(model.materials[1].textureFile), QStringLiteral("LateT.BMP"));
        const ObjectRecord &first = model.objects[0], &second = model.objects[1];
        QCOMPARE(QString::fromLatin1(first.name) + QString::fromLatin1(second.name), QStringLiteral("FirstSecond"));
        QVERIFY(first.faceCount == 2 && first.materialIndex == 1 && first.hasTexture);
        QCOMPARE(first.texCoords, std::vector<float>({0, 0, 1, 0, 0, 1, 1, 1}));
        // (x, y, z) in the file is kept as (x, z, -y).
        QCOMPARE(second.vertices, std::vector<float>({1, 3, -2, 4, 6, -5, -7, -9, -8.5f}));
        QVERIFY(second.faceCount == 1 && second.faces[0].vertexIndex[1] == 2);
    }
    void normalsAverageTheFaces()
    {
        // Two faces folded along their shared edge: counter-clockwise in the file's x-y plane (facing the
        // file's +z, stored +y) and in its x-z plane (facing the file's +y, stored -z); vertex 4 is unused.
        ModelRecord model;
        QVERIFY(parse(file({object("Fold", {vertexList({0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 5, 5, 5}), faceList({0, 1, 2, 1, 0, 3})})}), model));
        CLoad3DS::ComputeNormals(model);
        const float h = std::sqrt(0.5f);
        const std::vector<float> want = {0, h, -h, 0, h, -h, 0, 1, 0, 0, 0, -1, 0, 0, 0}, &got = model.objects[0].normals;
        QCOMPARE(got.size(), want.size());
        for (std::size_t k = 0; k < want.size(); ++k)
            QVERIFY2(std::fabs(got[k] - want[k]) <= 1e-6f, qPrintable(QString::number(k)));
    }
    // Damaged and foreign files: the walk keeps inside every chunk and the file, takes what is whole and
    // never reads past the end.
    void hostileFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("objects"); // -1: refused as no 3DS file
        QTest::addColumn<QList<int>>("counts"); // vertices, faces, coordinates of the first object
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("warnings"); // about a newer file version
        auto row = [](const char *name, const QByteArray &bytes, int objects, int vertices, int faces, int uv, const std::string &objectName = "A",
                      int warnings = 0) {
            QTest::newRow(name) << bytes << objects << QList<int>{vertices, faces, uv} << QString::fromStdString(objectName) << warnings;
        };
        const Chunk tri = vertexList(kTriangle), face = faceList({0, 1, 2});
        auto sized = [](Chunk c, std::uint32_t length) { return c.length = length, c; };
        auto recount = [](Chunk c, char count) { return c.data[0] = count, c; }; // announces another count than the data holds
        const QByteArray good = file({object("A", {tri, face})});
        row("whole file", good, 1, 3, 1, 0);
        // Cut inside the first object's data (the main chunk then claims more than the file holds).
        row("cut inside the vertices", good.chopped(8 + 14 + 4), 1, 2, 0, 0);
        row("zero-length chunk", file({object("A", {tri, sized(chunk(0x4110), 0), face})}), 1, 3, 0, 0);
        row("chunk shorter than its header", file({object("A", {tri, face, sized(chunk(0x1234), 5)})}), 1, 3, 1, 0);
        // Longer than its parent and the file: cut to the parent.
        row("chunk longer than the file", file({object("A", {sized(tri, 0xFFFFFFFF)})}), 1, 3, 0, 0);
        row("chunk longer than its parent", file({chunk(0x4000, cstr("A"), {sized(chunk(0x4100, {}, {tri, face}), 1000)}), object("B", {})}), 2, 3, 1, 0);
        // 65535 vertices, 64 faces and 48 coordinates announced.
        Chunk many = recount(tri, char(0xFF));
        many.data[1] = char(0xFF);
        row("counts larger than the data", file({object("A", {many, recount(face, 0x40), recount(texCoordList({0, 0, 1, 1}), 0x30)})}), 1, 3, 1, 2);
        // Extra bytes behind the announced vertices are skipped, not read into the array.
        row("data longer than the count", file({object("A", {recount(tri, 2), faceList({0, 1, 1})})}), 1, 2, 1, 0);
        row("face indices outside the vertices", file({object("A", {tri, faceList({0, 1, 3, 0, 1, 2, 65535, 0, 1})})}), 1, 3, 1, 0);
        row("coordinates shorter than the vertices", file({object("A", {tri, face, texCoordList({0.5f, 0.5f})})}), 1, 3, 1, 1);
        row("vertex list without count", file({object("A", {chunk(0x4110, std::string("\x01", 1))})}), 1, 0, 0, 0);
        row("object name without NUL", file({chunk(0x4000, "NoTerminator")}), 1, 0, 0, 0, "NoTerminator");
        row("object name longer than the field", file({object(std::string(400, 'n'), {tri, face})}), 1, 3, 1, 0, std::string(254, 'n'));
        row("material texts without NUL",
            file({chunk(0xAFFF, {}, {chunk(0xA000, "Unterminated"), chunk(0xA300, std::string(300, 'x'))}), object("A", {tri, face})}), 1, 3, 1, 0);
        row("group name without NUL", file({object("A", {tri, faceList({0, 1, 2}, {chunk(0x4130, "Unterminated")})})}), 1, 3, 1, 0);
        auto bare = [](std::vector<Chunk> editor) { return QByteArray::fromStdString(chunk(0x4D4D, {}, {chunk(0x3D3D, {}, std::move(editor))}).bytes()); };
        row("editor block without mesh version", bare({object("A", {tri, face})}), 1, 3, 1, 0);
        row("mesh version shorter than its header", bare({sized(chunk(0x3D3E), 2), object("A", {tri, face})}), 1, 3, 1, 0);
        row("version 4 warns once", file({object("A", {tri, face})}, {version(4), version(0xFFFFFFFF)}), 1, 3, 1, 0, "A", 1);
        row("version cut short", file({object("A", {tri, face})}, {chunk(0x0002, std::string("\x09", 1))}), 1, 3, 1, 0);
        QByteArray wrongId = good;
        wrongId[0] = 0x4C;
        row("first chunk not main", wrongId, -1, 0, 0, 0);
        row("five bytes", QByteArray("\x4d\x4d\x06\x00\x00", 5), -1, 0, 0, 0);
    }
    void hostileFiles()
    {
        QFETCH(QByteArray, bytes); QFETCH(int, objects); QFETCH(QList<int>, counts); QFETCH(QString, name); QFETCH(int, warnings);
        ModelRecord model;
        QCOMPARE(parse(bytes, model), objects >= 0);
        QCOMPARE(int(m_messages.size()), warnings);
        if (warnings)
            QCOMPARE(m_messages[0], std::string("Warning|This 3DS file is over version 3 so it may load incorrectly"));
        QVERIFY(model.objectCount == std::max(objects, 0) && int(model.objects.size()) == std::max(objects, 0));
        if (objects < 0)
            return;
        const ObjectRecord &o = model.objects.at(0);
        QCOMPARE(QString::fromLatin1(o.name), name);
        // Every count agrees with its array.
        QCOMPARE(QList<int>({o.vertexCount, o.faceCount, o.texCoordCount}), counts);
        QCOMPARE(QList<int>({int(o.vertices.size()), int(o.faces.size()), int(o.texCoords.size())}), QList<int>({counts[0] * 3, counts[1], counts[2] * 2}));
        for (const FaceRecord &f : o.faces)
            for (int k = 0; k < 3; ++k)
                QVERIFY(f.vertexIndex[k] >= 0 && f.vertexIndex[k] < o.vertexCount);
        for (const MaterialRecord &m : model.materials)
            QVERIFY(std::memchr(m.name, 0, sizeof m.name) && std::memchr(m.textureFile, 0, sizeof m.textureFile));
        CLoad3DS::ComputeNormals(model);
        QCOMPARE(o.normals.size(), o.vertices.size());
    }
    void deepNestingEnds()
    {
        // Meshes in meshes, editor blocks in editor blocks, texture maps in texture maps, 100000 levels
        // each: a recursive walk without a limit would run off the stack.
        const int depth = 100000;
        const std::string bottom = Chunk3ds::chunk(0x0002, u32(9));
        for (const std::uint16_t id : {0x4100, 0x3D3D, 0xA200}) {
            std::string inner;
            for (int i = 0; i < depth; ++i)
                inner += Chunk3ds::header(id, std::uint32_t(6 * (depth - i) + bottom.size()));
            inner += bottom;
            const std::string body = id == 0x4100 ? Chunk3ds::chunk(0x4000, cstr("Deep") + inner) : id == 0x3D3D ? inner : Chunk3ds::chunk(0xAFFF, inner);
            ModelRecord model;
            QVERIFY(parse(QByteArray::fromStdString(Chunk3ds::chunk(0x4D4D, body)), model));
            QVERIFY2(model.objectCount == (id == 0x4100) && model.materialCount == (id == 0xA200), qPrintable(QString::number(id, 16)));
            QVERIFY(m_messages.empty()); // the version chunk at the bottom is never reached
        }
    }
    void importFillsSlotAndDestructionEmptiesIt()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("1.3DS"));
        // The texture is missing, so the image loader fails before any GL call.
        QVERIFY(writeFile(path, file({material("Gone", std::nullopt, "GONE.BMP"), object("A", {vertexList(kTriangle), faceList({0, 1, 2})})})));
        const QByteArray native = QFile::encodeName(path);
        std::vector<std::string> failed;
        CLoad3DS loader;
        loader.SetTextureFailureHandler([&](const std::string &name) { failed.push_back(name); });
        loader.ImportModel(native.constData(), 4);
        loader.ImportModel(native.constData(), 20); // outside the table: ignored
        loader.ImportModel(QFile::encodeName(dir.filePath(QStringLiteral("missing.3DS"))).constData(), 5);
        const ModelRecord &slot = loader.Model(4);
        QVERIFY(slot.objectCount == 1 && slot.materialCount == 1 && loader.Model(5).objectCount == 0);
        QCOMPARE(failed, std::vector<std::string>{"GONE.BMP"});
        QCOMPARE(m_messages, std::vector<std::string>{"Error|Failed to open DIB file GONE.BMP.\n"});
        QCOMPARE(loader.TextureName(4, 0), 0u);
        loader.ImportModel(native.constData(), 4); // a second file into the same slot appends
        QCOMPARE(slot.objectCount, 2);
        // Releasing the loader with its context forgets the models.
        loader.Release();
        QVERIFY(slot.objectCount == 0 && slot.objects.empty());
    }
    void texturePathsResolve_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected"); // relative to the temporary folder; empty = not found
        const QString wood = QStringLiteral("3DS/Wood.bmp"), stone = QStringLiteral("3DS/sub/Stone.bmp");
        QTest::newRow("as written from the current folder") << wood << wood;
        QTest::newRow("DOS name next to the model") << QStringLiteral("WOOD.BMP") << wood;
        QTest::newRow("backslashes and other case") << QStringLiteral("3ds\\WOOD.bmp") << wood;
        QTest::newRow("exact name next to the model") << QStringLiteral("sub/Stone.bmp") << stone;
        QTest::newRow("case-insensitive folder next to the model") << QStringLiteral("SUB/STONE.BMP") << stone;
        QTest::newRow("missing") << QStringLiteral("NONE.BMP") << QString();
        QTest::newRow("a folder is no texture") << QStringLiteral("SUB") << QString();
    }
    void texturePathsResolve()
    {
        QFETCH(QString, stored); QFETCH(QString, expected);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("3DS/sub")));
        for (const char *name : {"3DS/Wood.bmp", "3DS/sub/Stone.bmp"})
            QVERIFY(writeFile(dir.filePath(QString::fromLatin1(name)), "x"));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        const std::string got = CLoad3DS::ResolveTexturePath(stored.toLatin1().constData(), "./3DS/7.3DS");
        QDir::setCurrent(previous);
        QCOMPARE(got.empty() ? QString() : QDir::cleanPath(QString::fromStdString(got)), expected);
    }
    // Two rectangles side by side, the left one textured (named in DOS upper case, lower case on disk),
    // the right one coloured, drawn through a real GL context.
    void drawsTexturedAndColouredObjects()
    {
        QOpenGLContext context;
        QVERIFY(context.create());
        QOffscreenSurface surface;
        surface.setFormat(context.format()), surface.create();
        QVERIFY(context.makeCurrent(&surface));
        keepGlDriverLoaded();
        QOpenGLFramebufferObject fbo(64, 64);
        QVERIFY(fbo.bind());
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("3DS")));
        QImage red(2, 2, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(dir.filePath(QStringLiteral("3DS/red.bmp")), "BMP"));
        auto rectangle = [](const char *name, float x0, float x1, const char *material) {
            return object(name, {vertexList({x0, -1, 0, x1, -1, 0, x0, 1, 0, x1, 1, 0}), faceList({0, 1, 2, 1, 3, 2}, {materialGroup(material, {})}),
                                 texCoordList({0, 0, 1, 0, 0, 1, 1, 1})});
        };
        QVERIFY(writeFile(dir.filePath(QStringLiteral("3DS/1.3DS")),
                          file({material("Paint", diffuse({colorBytes(0, 255, 0)})), material("Brick", diffuse({colorBytes(10, 10, 10)}), "RED.BMP"),
                                rectangle("Left", -1, 0, "Brick"), rectangle("Right", 0, 1, "Paint")})));
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        auto loader = std::make_unique<CLoad3DS>();
        loader->SetTextureFailureHandler([](const std::string &name) { QFAIL(name.c_str()); });
        loader->ImportModel("./3DS/1.3DS", 0);
        QDir::setCurrent(previous);
        QVERIFY(m_messages.empty() && glIsTexture(loader->TextureName(0, 1)) && loader->TextureName(0, 0) == 0u);

        glViewport(0, 0, 64, 64), glClearColor(0, 0, 1, 1), glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glDisable(GL_LIGHTING), glDisable(GL_DEPTH_TEST), glDisable(GL_CULL_FACE);
        glMatrixMode(GL_PROJECTION), glLoadIdentity(), glOrtho(-1, 1, -1, 1, -10, 10), glMatrixMode(GL_MODELVIEW);
        // Turning about the stored y axis (the file's z axis) swaps the halves: the turn is applied in
        // the model's stored axes, inside the +90 degrees about X.
        for (const float angle : {0.0f, 180.0f}) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT), glLoadIdentity();
            loader->DrawModel(0, 0, 0, 0, 1, angle, 0, 1, 0);
            glFinish();
            const QImage image = fbo.toImage();
            QCOMPARE(image.pixelColor(16, 32), angle != 0 ? QColor(Qt::green) : QColor(Qt::red));
            QCOMPARE(image.pixelColor(48, 32), angle != 0 ? QColor(Qt::red) : QColor(Qt::green));
        }
        // Drawing leaves the matrix, the current colour and texturing as it found them.
        glLoadIdentity(), glTranslatef(1, 2, 3), glDisable(GL_TEXTURE_2D), glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
        for (int slot : {0, 19, -1, 20}) // an empty slot and two outside the table draw nothing
            loader->DrawModel(slot, 0.5f, 0, 0, 2, 30, 1, 1, 0);
        QVERIFY(glGetError() == GL_NO_ERROR && glIsEnabled(GL_TEXTURE_2D));
        GLfloat matrix[16], colour[4];
        glGetFloatv(GL_MODELVIEW_MATRIX, matrix), glGetFloatv(GL_CURRENT_COLOR, colour);
        QCOMPARE(QVector3D(matrix[12], matrix[13], matrix[14]), QVector3D(1, 2, 3));
        QCOMPARE(QVector3D(colour[0], colour[1], colour[2]), QVector3D(0.25f, 0.5f, 0.75f));
        loader.reset(); // its textures go while the context is current
        fbo.release(), context.doneCurrent();
    }

private:
    std::vector<std::string> m_messages;
};

// GLX through Qt's offscreen platform: the xcb platform's keyboard set-up trips the sanitizer.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestLoad3DS test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_load3ds_display.moc"
