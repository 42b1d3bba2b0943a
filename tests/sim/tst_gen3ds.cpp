#include "sim/CLoad3DS.h"
#include "sim/LoadDIBImage.h"
#include "sim/LoaderMessage.h"
#include "tools/gen3ds/ArmParts.h"
#include "tools/gen3ds/AssetWriter.h"

#include <QTest>

// The generated part files and room bitmaps, read back through the program's own loaders.
class TestGen3ds : public QObject
{
    Q_OBJECT

    QString folder() const { return m_dir.filePath(QStringLiteral("3DS")); }
    QTemporaryDir m_dir;
    QStringList m_messages;

private slots:
    void initTestCase()
    {
        SetLoaderMessageHook([this](const std::string &caption, const std::string &text) {
            m_messages << QString::fromStdString(caption + ": " + text);
        });
        const auto problems = gen3ds::AssetWriter::writeAll(folder().toStdString());
        QVERIFY2(problems.empty(), problems.empty() ? "" : problems.front().c_str());
    }

    void writesEveryFile()
    {
        QStringList expected{QStringLiteral("db3.bmp"), QStringLiteral("pcb.bmp"), QStringLiteral("wall.bmp")};
        for (int n = 1; n <= 19; ++n)
            expected << QStringLiteral("%1.3DS").arg(n);
        // Nothing else is left behind (no half-written temporary files).
        QCOMPARE(QDir(folder()).entryList(QDir::Files, QDir::Name), (expected.sort(), expected));
        for (const char *room : {"/db3.bmp", "/wall.bmp"}) {
            const auto image = LoadDIBImage(QFile::encodeName(folder() + QLatin1String(room)).constData());
            QVERIFY(image);
            QCOMPARE(QSize(image->width, image->height), QSize(512, 512));
        }
        QVERIFY(m_messages.isEmpty());
    }

    void partsLoad_data()
    {
        QTest::addColumn<int>("fileNumber");
        for (int n = 1; n <= 19; ++n)
            QTest::addRow("%d.3DS", n) << n;
    }

    // Every part loads as it was modelled: objects, faces, materials, and each vertex back in place
    // through the loader's axis swap.
    void partsLoad()
    {
        QFETCH(int, fileNumber);
        const gen3ds::PartModel written = gen3ds::ArmParts::part(fileNumber);
        const QByteArray path = QFile::encodeName(folder() + QStringLiteral("/%1.3DS").arg(fileNumber));
        ModelRecord model;
        QVERIFY(CLoad3DS::ReadModelFile(path.constData(), model));
        QCOMPARE(int(model.objects.size()), int(written.objects.size()));
        QCOMPARE(model.materialCount, int(written.materials.size()));
        for (std::size_t i = 0; i < model.objects.size(); ++i) {
            const ObjectRecord &o = model.objects[i];
            const gen3ds::PartMesh &w = written.objects[i];
            QCOMPARE(QByteArray(o.name), QByteArray::fromStdString(w.name()));
            QCOMPARE(o.faceCount, int(w.faces().size()));
            QCOMPARE(o.vertexCount, int(w.vertices().size()));
            QVERIFY(o.materialIndex >= 0 && o.materialIndex < model.materialCount);
            QCOMPARE(QByteArray(model.materials[o.materialIndex].name), QByteArray::fromStdString(w.material()));
            QCOMPARE(o.texCoordCount, o.hasTexture ? o.vertexCount : 0);
            for (int v = 0; v < o.vertexCount; ++v) {
                const float *p = &o.vertices[3 * v];
                const auto &x = w.vertices()[v];
                QCOMPARE(QVector3D(p[0], -p[2], p[1]), QVector3D(x.x, x.y, x.z));
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
                QVERIFY(!CLoad3DS::ResolveTexturePath(m.textureFile, path.constData()).empty());
        }
        QDir::setCurrent(previous);
    }

    void rewritingReplacesFilesWithTheSameBytes()
    {
        QFile file(folder() + QStringLiteral("/1.3DS"));
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QByteArray first = file.readAll();
        QVERIFY(file.resize(0) && file.write("stale") == 5);
        file.close();
        QVERIFY(gen3ds::AssetWriter::writeAll(folder().toStdString()).empty());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), first);
    }
};

QTEST_GUILESS_MAIN(TestGen3ds)
#include "tst_gen3ds.moc"
