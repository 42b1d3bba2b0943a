#include "controls/CBitStrip.h"

#include <QImage>
#include <QPainter>
#include <QTest>

// An image whose every pixel tells where it came from: red = x, green = y.
static QImage coordinateImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixelColor(x, y, QColor(x, y, 77));
    return image;
}

class tst_CBitStrip : public QObject
{
    Q_OBJECT

private slots:
    void framesFromImageAndFrameSize_data()
    {
        QTest::addColumn<QSize>("image");
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<int>("frames");
        QTest::addColumn<bool>("vertical");
        QTest::addColumn<QSize>("frameSize");

        QTest::newRow("three side by side") << QSize(39, 13) << QSize(13, 13) << 3 << false << QSize(13, 13);
        QTest::newRow("three stacked") << QSize(13, 39) << QSize(13, 13) << 3 << true << QSize(13, 13);
        QTest::newRow("whole image") << QSize(200, 30) << QSize(0, 0) << 1 << false << QSize(200, 30);
        QTest::newRow("remainder dropped") << QSize(40, 13) << QSize(13, 13) << 3 << false << QSize(13, 13);
        QTest::newRow("square is side by side") << QSize(26, 26) << QSize(13, 0) << 2 << false << QSize(13, 26);
        QTest::newRow("frame wider than image") << QSize(10, 5) << QSize(13, 5) << 0 << false << QSize(13, 5);
        QTest::newRow("no image") << QSize(0, 0) << QSize(0, 0) << 0 << false << QSize(0, 0);
    }

    void framesFromImageAndFrameSize()
    {
        QFETCH(QSize, image);
        QFETCH(QSize, frame);
        QFETCH(int, frames);
        QFETCH(bool, vertical);
        QFETCH(QSize, frameSize);

        const QImage source = image.isEmpty() ? QImage() : coordinateImage(image.width(), image.height());
        CBitStrip strip(source, frame.width(), frame.height());
        QCOMPARE(strip.frames(), frames);
        QCOMPARE(strip.vertical(), vertical);
        QCOMPARE(QSize(strip.frameWidth(), strip.frameHeight()), frameSize);
    }

    void missingResourceHasNoFrames()
    {
        CBitStrip strip(9999, 0, 0);
        QVERIFY(strip.isNull());
        QCOMPARE(strip.frames(), 0);
        QImage target(4, 4, QImage::Format_RGB32);
        target.fill(Qt::blue);
        QPainter painter(&target);
        QVERIFY(strip.Draw(&painter, 0, 0));
        strip.DrawFrame(&painter, 0);
        painter.end();
        QCOMPARE(target.pixelColor(1, 1), QColor(Qt::blue));
    }

    void drawFrameCopiesTheFrame_data()
    {
        QTest::addColumn<bool>("stacked");
        QTest::addColumn<int>("frame");
        QTest::addColumn<QPoint>("source"); // top-left of the frame in the image; (-1,-1) = nothing

        QTest::newRow("side by side 0") << false << 0 << QPoint(0, 0);
        QTest::newRow("side by side 2") << false << 2 << QPoint(26, 0);
        QTest::newRow("stacked 1") << true << 1 << QPoint(0, 13);
        QTest::newRow("past the end") << false << 3 << QPoint(-1, -1);
        QTest::newRow("negative") << false << -1 << QPoint(-1, -1);
    }

    void drawFrameCopiesTheFrame()
    {
        QFETCH(bool, stacked);
        QFETCH(int, frame);
        QFETCH(QPoint, source);

        const QImage image = stacked ? coordinateImage(13, 39) : coordinateImage(39, 13);
        CBitStrip strip(image, 13, 13);
        QImage target(20, 20, QImage::Format_RGB32);
        target.fill(Qt::black);
        QPainter painter(&target);
        strip.DrawFrame(&painter, frame);
        painter.end();
        if (source.x() < 0) {
            QCOMPARE(target.pixelColor(0, 0), QColor(Qt::black));
            return;
        }
        for (QPoint p : {QPoint(0, 0), QPoint(12, 12), QPoint(6, 3)})
            QCOMPARE(target.pixelColor(p), image.pixelColor(source + p));
        // Frame-sized: nothing beyond 13 x 13.
        QCOMPARE(target.pixelColor(13, 5), QColor(Qt::black));
        QCOMPARE(target.pixelColor(5, 13), QColor(Qt::black));
    }

    void drawCopiesFromTheSourcePointAndClipsToTheImage()
    {
        const QImage image = coordinateImage(50, 30);
        CBitStrip strip(image, 0, 0);
        QImage target(60, 40, QImage::Format_RGB32);
        target.fill(Qt::black);
        QPainter painter(&target);
        QVERIFY(strip.Draw(&painter, 5, 2, 20, 10, 30, 4));
        QVERIFY(!strip.Draw(nullptr, 0, 0));
        painter.end();
        QCOMPARE(target.pixelColor(5, 2), image.pixelColor(30, 4));
        QCOMPARE(target.pixelColor(24, 11), image.pixelColor(49, 13));
        QCOMPARE(target.pixelColor(25, 2), QColor(Qt::black)); // past the image's right edge
        QCOMPARE(target.pixelColor(5, 12), QColor(Qt::black));  // below the asked height
    }

    void zeroSizeMeansTheWholeImage()
    {
        const QImage image = coordinateImage(30, 20);
        CBitStrip strip(image, 0, 0);
        QImage target(40, 30, QImage::Format_RGB32);
        target.fill(Qt::black);
        QPainter painter(&target);
        strip.Draw(&painter, 0, 0, 0, 0, 0, 0);
        painter.end();
        QCOMPARE(target.pixelColor(29, 19), image.pixelColor(29, 19));
        QCOMPARE(target.pixelColor(30, 19), QColor(Qt::black));
    }
};

QTEST_MAIN(tst_CBitStrip)
#include "tst_cbitstrip.moc"
