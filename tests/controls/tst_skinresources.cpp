#include "controls/CBitStrip.h"
#include "controls/SkinResources.h"

#include <QFile>
#include <QImage>
#include <QTest>

class tst_SkinResources : public QObject
{
    Q_OBJECT

private slots:
    void imagesHaveTheirSizesAndRoles()
    {
        const struct { int number; const char *path; QSize size; int fileBits; } rows[] = {
            {135, ":/res/135.png", {32, 32}, 0}, {136, ":/res/136.png", {32, 32}, 0},
            {146, ":/res/146.bmp", {200, 30}, 24}, {147, ":/res/147.bmp", {200, 30}, 24},
            {148, ":/res/148.bmp", {39, 13}, 24}};
        for (const auto &r : rows) {
            QCOMPARE(SkinResourcePath(r.number), QString::fromLatin1(r.path));
            QCOMPARE(QImage(r.path).size(), r.size);
            QFile file(r.path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray header = file.read(30);
            if (r.fileBits) // a 24-bit bitmap file, as the platform's resources are
                QCOMPARE(int(uchar(header[28])) | int(uchar(header[29])) << 8, r.fileBits);
        }
        QVERIFY(SkinResourcePath(9999).isEmpty());
        // Both tracks on the same ground; the bar differs where the thumb's middle row crosses it.
        const QImage filled(SkinResourcePath(146)), empty(SkinResourcePath(147));
        QCOMPARE(filled.pixelColor(0, 0), QColor(3, 41, 62));
        QCOMPARE(empty.pixelColor(199, 29), QColor(3, 41, 62));
        QVERIFY(filled.pixelColor(100, 14) != empty.pixelColor(100, 14));
        // Hover lighter and pressed darker than normal at the knob's middle.
        QCOMPARE(CBitStrip(SkinResource::SliderThumb, 13, 13).frames(), 3);
        const QImage thumb(SkinResourcePath(148));
        auto lightness = [&](int frame) { return thumb.pixelColor(frame * 13 + 6, 6).lightness(); };
        QVERIFY(lightness(1) > lightness(0) && lightness(2) < lightness(0));
    }
};

QTEST_MAIN(tst_SkinResources)
#include "tst_skinresources.moc"
