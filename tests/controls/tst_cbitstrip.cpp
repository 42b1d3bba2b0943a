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
    void framesFromImageAndFrameSize()
    {
        const struct { QSize image, frame; int frames; bool vertical; QSize frameSize; } rows[] = {
            {{39, 13}, {13, 13}, 3, false, {13, 13}}, // side by side
            {{13, 39}, {13, 13}, 3, true, {13, 13}},  // stacked
            {{200, 30}, {0, 0}, 1, false, {200, 30}}, // 0 takes the whole image
            {{40, 13}, {13, 13}, 3, false, {13, 13}}, // the remainder is dropped
            {{26, 26}, {13, 0}, 2, false, {13, 26}},  // square counts as side by side
            {{10, 5}, {13, 5}, 0, false, {13, 5}},    // frame wider than the image
        };
        for (const auto &r : rows) {
            CBitStrip strip(coordinateImage(r.image.width(), r.image.height()), r.frame.width(), r.frame.height());
            QCOMPARE(strip.frames(), r.frames);
            QCOMPARE(strip.vertical(), r.vertical);
            QCOMPARE(QSize(strip.frameWidth(), strip.frameHeight()), r.frameSize);
        }
        QCOMPARE(CBitStrip(9999, 0, 0).frames(), 0); // no such resource
    }

    void drawCopiesFromTheSourcePointAndClips()
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
        target.fill(Qt::black);
        painter.begin(&target);
        strip.Draw(&painter, 0, 0, 0, 0, 0, 0); // 0 means the whole image
        painter.end();
        QCOMPARE(target.pixelColor(49, 29), image.pixelColor(49, 29));
        QCOMPARE(target.pixelColor(50, 29), QColor(Qt::black));
    }
};

QTEST_MAIN(tst_CBitStrip)
#include "tst_cbitstrip.moc"
