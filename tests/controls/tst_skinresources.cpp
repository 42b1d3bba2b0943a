#include "controls/CBitStrip.h"
#include "controls/SkinResources.h"

#include <QFile>
#include <QImage>
#include <QTest>

class tst_SkinResources : public QObject
{
    Q_OBJECT

private slots:
    void imagesHaveTheirExactSizes_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("fileBits"); // bits per pixel in the file; 0 for PNG

        QTest::newRow("135 disconnected") << 135 << ":/res/135.png" << QSize(32, 32) << 0;
        QTest::newRow("136 connected") << 136 << ":/res/136.png" << QSize(32, 32) << 0;
        QTest::newRow("146 filled track") << 146 << ":/res/146.bmp" << QSize(200, 30) << 24;
        QTest::newRow("147 empty track") << 147 << ":/res/147.bmp" << QSize(200, 30) << 24;
        QTest::newRow("148 thumb strip") << 148 << ":/res/148.bmp" << QSize(39, 13) << 24;
    }

    void imagesHaveTheirExactSizes()
    {
        QFETCH(int, number);
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QFETCH(int, fileBits);

        QCOMPARE(SkinResourcePath(number), path);
        const QImage image(path);
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), size);
        if (fileBits) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray header = file.read(30);
            QCOMPARE(header.left(2), QByteArray("BM"));
            QCOMPARE(int(uchar(header[28])) | int(uchar(header[29])) << 8, fileBits);
        }
    }

    void unknownNumberHasNoPath()
    {
        QVERIFY(SkinResourcePath(9999).isEmpty());
    }

    void iconsAreDiscsOnATransparentGround_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("red"); // otherwise green

        QTest::newRow("135") << 135 << true;
        QTest::newRow("136") << 136 << false;
    }

    void iconsAreDiscsOnATransparentGround()
    {
        QFETCH(int, number);
        QFETCH(bool, red);
        const QImage icon = QImage(SkinResourcePath(number)).convertToFormat(QImage::Format_ARGB32);
        QVERIFY(icon.hasAlphaChannel());
        for (QPoint corner : {QPoint(0, 0), QPoint(31, 0), QPoint(0, 31), QPoint(31, 31)})
            QCOMPARE(icon.pixelColor(corner).alpha(), 0);
        const QColor centre = icon.pixelColor(16, 16);
        QCOMPARE(centre.alpha(), 255);
        if (red)
            QVERIFY(centre.red() > 2 * centre.green() && centre.red() > 2 * centre.blue());
        else
            QVERIFY(centre.green() > 2 * centre.red() && centre.green() > 2 * centre.blue());
    }

    void tracksShareTheGroundColour()
    {
        const QColor ground(3, 41, 62);
        for (int number : {146, 147}) {
            const QImage track(SkinResourcePath(number));
            for (QPoint p : {QPoint(0, 0), QPoint(199, 0), QPoint(0, 29), QPoint(199, 29), QPoint(100, 2)})
                QCOMPARE(track.pixelColor(p), ground);
        }
        // The bar differs between the two, where the thumb's middle row crosses it.
        QVERIFY(QImage(SkinResourcePath(146)).pixelColor(100, 14)
                != QImage(SkinResourcePath(147)).pixelColor(100, 14));
    }

    void thumbStripCutsIntoThreeFrames()
    {
        CBitStrip strip(SkinResource::SliderThumb, 13, 13);
        QCOMPARE(strip.frames(), 3);
        QVERIFY(!strip.vertical());
        // Hover is lighter and pressed darker than normal at the knob's middle.
        const QImage image(SkinResourcePath(148));
        auto lightness = [&](int frame) { return image.pixelColor(frame * 13 + 6, 6).lightness(); };
        QVERIFY(lightness(1) > lightness(0));
        QVERIFY(lightness(2) < lightness(0));
    }
};

QTEST_MAIN(tst_SkinResources)
#include "tst_skinresources.moc"
