#include "sim/CLoad3DS.h"
#include "sim/LoadDIBImage.h"
#include "sim/LoaderMessage.h"
#include "tools/gen3ds/ArmParts.h"
#include "tools/gen3ds/AssetWriter.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace {

// A loaded vertex back in the part's own (drawing) axes: the loader stores (x, z, -y).
struct Point
{
    float x, y, z;
};

Point fileAxes(const ObjectRecord &o, int v)
{
    return {o.vertices[3 * v], -o.vertices[3 * v + 2], o.vertices[3 * v + 1]};
}

struct Bounds
{
    float minX = std::numeric_limits<float>::max(), maxX = -std::numeric_limits<float>::max();
    float minY = std::numeric_limits<float>::max(), maxY = -std::numeric_limits<float>::max();
    float minZ = std::numeric_limits<float>::max(), maxZ = -std::numeric_limits<float>::max();
    void add(Point p)
    {
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        minZ = std::min(minZ, p.z), maxZ = std::max(maxZ, p.z);
    }
};

Bounds boundsOf(const ModelRecord &model, const char *objectName = nullptr)
{
    Bounds b;
    for (const ObjectRecord &o : model.objects) {
        if (objectName && qstrcmp(o.name, objectName) != 0)
            continue;
        for (int v = 0; v < o.vertexCount; ++v)
            b.add(fileAxes(o, v));
    }
    return b;
}

uint32_t le32(const QByteArray &bytes, int at)
{
    return uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8 | uint8_t(bytes[at + 2]) << 16 |
           uint32_t(uint8_t(bytes[at + 3])) << 24;
}

} // namespace

class TestGen3ds : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void writesEveryFile();
    void environmentBitmapsHaveTheRoomLayout_data();
    void environmentBitmapsHaveTheRoomLayout();
    void partsLoad_data();
    void partsLoad();
    void partsMeetAlongTheJointChain();
    void fingersMeetWhenClosed();
    void boardTextureIsFound();
    void rewritingReplacesFiles();

private:
    ModelRecord load(int fileNumber);
    QString folder() const { return m_dir.filePath(QStringLiteral("3DS")); }

    QTemporaryDir m_dir;
    QStringList m_messages;
};

void TestGen3ds::initTestCase()
{
    QVERIFY(m_dir.isValid());
    SetLoaderMessageHook([this](const std::string &caption, const std::string &text) {
        m_messages << QString::fromStdString(caption + ": " + text);
    });
    const auto problems = gen3ds::AssetWriter::writeAll(folder().toStdString());
    QVERIFY2(problems.empty(), problems.empty() ? "" : problems.front().c_str());
}

ModelRecord TestGen3ds::load(int fileNumber)
{
    ModelRecord model;
    const QByteArray path = QFile::encodeName(folder() + QStringLiteral("/%1.3DS").arg(fileNumber));
    if (CLoad3DS::ReadModelFile(path.constData(), model))
        CLoad3DS::ComputeNormals(model);
    return model;
}

void TestGen3ds::writesEveryFile()
{
    QStringList expected;
    for (int n = 1; n <= 19; ++n)
        expected << QStringLiteral("%1.3DS").arg(n);
    expected << QStringLiteral("db3.bmp") << QStringLiteral("wall.bmp") << QStringLiteral("pcb.bmp");
    QStringList written = QDir(folder()).entryList(QDir::Files);
    written.sort();
    expected.sort();
    // Nothing else is left behind (no half-written temporary files).
    QCOMPARE(written, expected);
}

void TestGen3ds::environmentBitmapsHaveTheRoomLayout_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("floor") << QStringLiteral("db3.bmp");
    QTest::newRow("wall") << QStringLiteral("wall.bmp");
}

void TestGen3ds::environmentBitmapsHaveTheRoomLayout()
{
    QFETCH(QString, name);
    QFile file(folder() + QLatin1Char('/') + name);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    // 54-byte header, then exactly 512 x 512 pixels of 3 bytes, bottom row first.
    QCOMPARE(bytes.size(), 54 + 512 * 512 * 3);
    QCOMPARE(bytes.left(2), QByteArray("BM"));
    QCOMPARE(le32(bytes, 10), 54u);
    QCOMPARE(le32(bytes, 14), 40u);
    QCOMPARE(le32(bytes, 18), 512u);
    QCOMPARE(le32(bytes, 22), 512u);
    QCOMPARE(uint8_t(bytes[28]), uint8_t(24));
    QCOMPARE(le32(bytes, 30), 0u);

    const auto image = LoadDIBImage(QFile::encodeName(file.fileName()).constData());
    QVERIFY(image);
    QCOMPARE(image->width, 512);
    QCOMPARE(image->height, 512);
    double sum[3] = {0, 0, 0};
    for (size_t i = 0; i < image->data.size(); i += 3)
        for (int c = 0; c < 3; ++c)
            sum[c] += image->data[i + c];
    const double pixels = 512.0 * 512.0;
    const double r = sum[0] / pixels, g = sum[1] / pixels, b = sum[2] / pixels;
    if (name == QLatin1String("db3.bmp")) {
        // Warm wood: red over green over blue, neither dark nor washed out.
        QVERIFY2(r > g && g > b && r > 100 && r < 220, qPrintable(QStringLiteral("%1 %2 %3").arg(r).arg(g).arg(b)));
    } else {
        QVERIFY2(r > 180 && g > 170 && b > 150, qPrintable(QStringLiteral("%1 %2 %3").arg(r).arg(g).arg(b)));
    }
    QVERIFY(m_messages.isEmpty());
}

void TestGen3ds::partsLoad_data()
{
    QTest::addColumn<int>("fileNumber");
    QTest::addColumn<int>("objects");
    const int objects[] = {3, 3, 3, 3, 1, 3, 2, 2, 2, 1, 1, 1, 1, 1, 2, 2, 3, 2, 2};
    for (int n = 1; n <= 19; ++n)
        QTest::addRow("%d.3DS", n) << n << objects[n - 1];
}

void TestGen3ds::partsLoad()
{
    QFETCH(int, fileNumber);
    QFETCH(int, objects);

    const gen3ds::PartModel written = gen3ds::ArmParts::part(fileNumber);
    const ModelRecord model = load(fileNumber);
    QCOMPARE(model.objectCount, objects);
    QCOMPARE(int(model.objects.size()), objects);
    QCOMPARE(int(written.objects.size()), objects);
    QCOMPARE(model.materialCount, int(written.materials.size()));

    for (int i = 0; i < objects; ++i) {
        const ObjectRecord &o = model.objects[i];
        const gen3ds::PartMesh &w = written.objects[i];
        QCOMPARE(QByteArray(o.name), QByteArray::fromStdString(w.name()));
        QCOMPARE(o.faceCount, int(w.faces().size()));
        QCOMPARE(o.vertexCount, int(w.vertices().size()));
        QVERIFY(o.faceCount > 0);
        // Every object finds its material, so it is drawn in that colour (or its texture).
        QVERIFY(o.materialIndex >= 0 && o.materialIndex < model.materialCount);
        const MaterialRecord &m = model.materials[o.materialIndex];
        QCOMPARE(QByteArray(m.name), QByteArray::fromStdString(w.material()));
        QCOMPARE(o.hasTexture, m.textureFile[0] != 0);
        QCOMPARE(o.texCoordCount, o.hasTexture ? o.vertexCount : 0);
        for (const FaceRecord &f : o.faces)
            for (int k : f.vertexIndex)
                QVERIFY(k >= 0 && k < o.vertexCount);
        // Every vertex belongs to a face and gets a unit normal; degenerate faces would not.
        for (int v = 0; v < o.vertexCount; ++v) {
            const float *n = &o.normals[3 * v];
            const float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            QVERIFY2(std::fabs(len - 1.0f) < 1e-3f, qPrintable(QStringLiteral("%1 vertex %2").arg(o.name).arg(v)));
        }
        // The axis swap round trip puts every vertex back where it was modelled.
        for (int v = 0; v < o.vertexCount; ++v) {
            const Point p = fileAxes(o, v);
            QCOMPARE(p.x, w.vertices()[v].x);
            QCOMPARE(p.y, w.vertices()[v].y);
            QCOMPARE(p.z, w.vertices()[v].z);
        }
    }
    for (int i = 0; i < model.materialCount; ++i) {
        const MaterialRecord &m = model.materials[i];
        const gen3ds::PartMaterial &w = written.materials[i];
        QCOMPARE(m.color[0], w.red);
        QCOMPARE(m.color[1], w.green);
        QCOMPARE(m.color[2], w.blue);
        QCOMPARE(QByteArray(m.textureFile), QByteArray::fromStdString(w.textureFile));
    }
}

void TestGen3ds::partsMeetAlongTheJointChain()
{
    constexpr float eps = 1e-4f;
    // Base and the fixed parts stand on the floor; the base's top is the turning joint.
    const Bounds base = boundsOf(load(1));
    QVERIFY(std::fabs(base.minZ) < eps);
    QVERIFY(std::fabs(base.maxZ - 3.07087f) < eps);
    // The arm's axes sit inside the base so the coordinate axes stay in sight around it.
    QVERIFY(base.maxX < 2.5f && base.maxY < 2.5f);
    for (int n = 16; n <= 19; ++n)
        QVERIFY2(boundsOf(load(n)).minZ >= -eps, qPrintable(QString::number(n)));

    // The turntable rests on the joint and carries the shoulder axis.
    const Bounds turntable = boundsOf(load(2));
    QVERIFY(std::fabs(turntable.minZ) < eps);
    QVERIFY(turntable.maxZ > 1.16142f + 0.3f);
    // Each link reaches round the axis it turns on and the next one.
    for (int n : {3, 4}) {
        const Bounds link = boundsOf(load(n));
        QVERIFY(link.minZ < -0.3f);
        QVERIFY(link.maxZ > 3.26181f + 0.3f);
        QVERIFY(link.maxZ < 3.26181f + 0.6f);
    }
    // Wrist bracket and its servo end exactly where the gripper's joint turns.
    const Bounds wrist = boundsOf(load(5));
    const Bounds wristServo = boundsOf(load(15));
    QVERIFY(wrist.minZ < -0.3f);
    QVERIFY(std::fabs(std::max(wrist.maxZ, wristServo.maxZ) - 2.92717f) < eps);
    // The palm sits on that joint and holds the finger pivots.
    const Bounds palm = boundsOf(load(6));
    QVERIFY(std::fabs(palm.minZ) < eps);
    QVERIFY(palm.maxZ < 1.28f && palm.maxZ > 1.0f);
    QVERIFY(palm.maxX > 0.37f && palm.minX < -0.37f);
}

void TestGen3ds::fingersMeetWhenClosed()
{
    const ModelRecord left = load(7);
    const ModelRecord right = load(8);
    // Pivots at x = +0.37 (left) and -0.37 (right); a finger turns about the placement's -Y axis.
    auto padX = [](const ModelRecord &finger, float pivotX, float degrees, bool innermostIsMin) {
        const double a = degrees * M_PI / 180.0;
        float best = innermostIsMin ? std::numeric_limits<float>::max() : -std::numeric_limits<float>::max();
        for (const ObjectRecord &o : finger.objects)
            for (int v = 0; v < o.vertexCount; ++v) {
                const Point p = fileAxes(o, v);
                const float x = pivotX + float(p.x * std::cos(a) - p.z * std::sin(a));
                best = innermostIsMin ? std::min(best, x) : std::max(best, x);
            }
        return best;
    };
    // Straight up, a small gap shows between the pads.
    const float openGap = padX(left, 0.37f, 0, true) - padX(right, -0.37f, 0, false);
    QVERIFY2(openGap > 0.05f && openGap < 0.4f, qPrintable(QString::number(openGap)));
    // Fully closed (left +3, right -3) they touch.
    const float closedGap = padX(left, 0.37f, 3, true) - padX(right, -0.37f, -3, false);
    QVERIFY2(std::fabs(closedGap) < 0.06f, qPrintable(QString::number(closedGap)));
    // Fully open, each finger lies on its own side.
    QVERIFY(padX(left, 0.37f, -90, true) > 0.2f);
    QVERIFY(padX(right, -0.37f, 90, false) < -0.2f);
}

void TestGen3ds::boardTextureIsFound()
{
    const ModelRecord board = load(16);
    QByteArray texture;
    for (const MaterialRecord &m : board.materials)
        if (m.textureFile[0])
            texture = m.textureFile;
    QVERIFY(!texture.isEmpty());
    // The program runs in the folder that holds 3DS/, so the name as stored must resolve there.
    const QString oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));
    const std::string resolved =
        CLoad3DS::ResolveTexturePath(texture.constData(), QFile::encodeName(folder() + "/16.3DS").constData());
    QDir::setCurrent(oldCurrent);
    QVERIFY(!resolved.empty());
    const auto image = LoadDIBImage(QFile::encodeName(QDir(m_dir.path()).filePath(QString::fromStdString(resolved))).constData());
    QVERIFY(image);
    QVERIFY(image->width > 0 && image->height > 0);
}

void TestGen3ds::rewritingReplacesFiles()
{
    const QString path = folder() + QStringLiteral("/1.3DS");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray first = file.readAll();
    file.close();
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("stale");
    file.close();
    QVERIFY(gen3ds::AssetWriter::writeAll(folder().toStdString()).empty());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), first); // and the same bytes every time
}

QTEST_GUILESS_MAIN(TestGen3ds)
#include "tst_gen3ds.moc"
