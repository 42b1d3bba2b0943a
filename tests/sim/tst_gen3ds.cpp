#include "sim/CLoad3DS.h"
#include "sim/LoadDIBImage.h"
#include "sim/LoaderMessage.h"
#include "tools/gen3ds/ArmParts.h"
#include "tools/gen3ds/AssetWriter.h"

#include <QtTest>

// The generated part files and room bitmaps, read back through the program's own loaders.
class TestGen3ds : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void writesEveryFile();
    void partsLoad_data();
    void partsLoad();
    void rewritingReplacesFiles();

private:
    QString folder() const { return m_dir.filePath(QStringLiteral("3DS")); }

    QTemporaryDir m_dir;
    QStringList m_messages;
};

void TestGen3ds::initTestCase()
{
    SetLoaderMessageHook([this](const std::string &caption, const std::string &text) {
        m_messages << QString::fromStdString(caption + ": " + text);
    });
    const auto problems = gen3ds::AssetWriter::writeAll(folder().toStdString());
    QVERIFY2(problems.empty(), problems.empty() ? "" : problems.front().c_str());
}

void TestGen3ds::writesEveryFile()
{
    QStringList expected{QStringLiteral("db3.bmp"), QStringLiteral("wall.bmp"), QStringLiteral("pcb.bmp")};
    for (int n = 1; n <= 19; ++n)
        expected << QStringLiteral("%1.3DS").arg(n);
    QStringList written = QDir(folder()).entryList(QDir::Files);
    written.sort();
    expected.sort();
    // Nothing else is left behind (no half-written temporary files).
    QCOMPARE(written, expected);
    for (const char *room : {"db3.bmp", "wall.bmp"}) {
        const auto image = LoadDIBImage(QFile::encodeName(folder() + QLatin1Char('/') + QLatin1String(room)).constData());
        QVERIFY(image);
        QCOMPARE(QSize(image->width, image->height), QSize(512, 512));
    }
    QVERIFY(m_messages.isEmpty());
}

void TestGen3ds::partsLoad_data()
{
    QTest::addColumn<int>("fileNumber");
    for (int n = 1; n <= 19; ++n)
        QTest::addRow("%d.3DS", n) << n;
}

// Every part loads as it was modelled: objects, faces, materials, and each vertex back in place
// through the loader's axis swap.
void TestGen3ds::partsLoad()
{
    QFETCH(int, fileNumber);
    const gen3ds::PartModel written = gen3ds::ArmParts::part(fileNumber);
    const QString path = folder() + QStringLiteral("/%1.3DS").arg(fileNumber);
    ModelRecord model;
    QVERIFY(CLoad3DS::ReadModelFile(QFile::encodeName(path).constData(), model));
    QCOMPARE(int(model.objects.size()), int(written.objects.size()));
    QCOMPARE(model.materialCount, int(written.materials.size()));
    for (std::size_t i = 0; i < model.objects.size(); ++i) {
        const ObjectRecord &o = model.objects[i];
        const gen3ds::PartMesh &w = written.objects[i];
        QCOMPARE(QByteArray(o.name), QByteArray::fromStdString(w.name()));
        QCOMPARE(o.faceCount, int(w.faces().size()));
        QCOMPARE(o.vertexCount, int(w.vertices().size()));
        QVERIFY(o.materialIndex >= 0 && o.materialIndex < model.materialCount);
        const MaterialRecord &m = model.materials[o.materialIndex];
        QCOMPARE(QByteArray(m.name), QByteArray::fromStdString(w.material()));
        QCOMPARE(o.texCoordCount, o.hasTexture ? o.vertexCount : 0);
        for (int v = 0; v < o.vertexCount; ++v) {
            const float *p = &o.vertices[3 * v];
            QCOMPARE(QVector3D(p[0], -p[2], p[1]), QVector3D(w.vertices()[v].x, w.vertices()[v].y, w.vertices()[v].z));
        }
    }
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path())); // the program runs in the folder that holds 3DS/
    for (int i = 0; i < model.materialCount; ++i) {
        const MaterialRecord &m = model.materials[i];
        const gen3ds::PartMaterial &w = written.materials[i];
        QCOMPARE(QColor(m.color[0], m.color[1], m.color[2]), QColor(w.red, w.green, w.blue));
        QCOMPARE(QByteArray(m.textureFile), QByteArray::fromStdString(w.textureFile));
        if (m.textureFile[0])
            QVERIFY(!CLoad3DS::ResolveTexturePath(m.textureFile, QFile::encodeName(path).constData()).empty());
    }
    QDir::setCurrent(previous);
}

void TestGen3ds::rewritingReplacesFiles()
{
    QFile file(folder() + QStringLiteral("/1.3DS"));
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
