#include "controls/CBitStrip.h"
#include "controls/CBitWnd.h"
#include "controls/SkinResources.h"

#include <QPainter>
#include <QTest>

// The bitmap window and the image strip it shows its frames from.
class tst_CBitWnd : public QObject
{
    Q_OBJECT

private slots:
    void stripCutsAndClips()
    {
        const struct { QSize image, frame; int frames; bool vertical; QSize frameSize; } rows[] = {
            {{13, 39}, {13, 13}, 3, true, {13, 13}},  // stacked
            {{200, 30}, {0, 0}, 1, false, {200, 30}}, // 0 takes the whole image
            {{40, 13}, {13, 13}, 3, false, {13, 13}}, // the remainder is dropped
            {{26, 26}, {13, 0}, 2, false, {13, 26}},  // square counts as side by side
            {{10, 5}, {13, 5}, 0, false, {13, 5}},    // frame wider than the image
        };
        for (const auto &r : rows) {
            CBitStrip strip(QImage(r.image, QImage::Format_RGB32), r.frame.width(), r.frame.height());
            QCOMPARE(std::tuple(strip.frames(), strip.vertical(), QSize(strip.frameWidth(), strip.frameHeight())),
                     std::tuple(r.frames, r.vertical, r.frameSize));
        }
        // Skin images by number, bitmaps and icons alike; an unknown number has no frames.
        QCOMPARE(SkinResourcePath(148), QStringLiteral(":/res/148.bmp"));
        QCOMPARE(CBitStrip(135, 0, 0).frameWidth(), 32);
        QCOMPARE(CBitStrip(9999, 0, 0).frames(), 0);

        // Drawing copies only what lies inside the image.
        QImage image(50, 30, QImage::Format_RGB32);
        image.fill(Qt::red);
        QImage target(60, 40, QImage::Format_RGB32);
        target.fill(Qt::black);
        QPainter painter(&target);
        CBitStrip(image, 0, 0).Draw(&painter, 5, 2, 20, 10, 30, 4);
        painter.end();
        QCOMPARE(target.pixelColor(24, 11), QColor(Qt::red)); // the last column and row inside
        QCOMPARE(target.pixelColor(25, 2), QColor(Qt::black)); // past the image's right edge
        QCOMPARE(target.pixelColor(5, 12), QColor(Qt::black)); // below the asked height
    }

    // The frame after each step: h = hover (pointer arrives), p = press, r = release, l = leave.
    // In toggle mode the first click latches down, the second lets go.
    void framesByStripLength()
    {
        const struct { int frames; bool toggle; const char *script, *shown; } rows[] = {
            {1, false, "hprl", "0000"}, {2, false, "hprl", "1010"}, {3, false, "hprl", "1210"}, {3, true, "hprlhprl", "12222010"}};
        for (const auto &[frames, toggle, script, shown] : rows) {
            QWidget window;
            window.resize(100, 100);
            CBitStrip strip(QImage(10 * frames, 10, QImage::Format_RGB32), 10, 10);
            auto *wnd = new CBitWnd(&window);
            wnd->SetStrip(&strip);
            wnd->setGeometry(20, 20, 10, 10);
            wnd->SetToggle(toggle);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QTest::mouseMove(&window, QPoint(80, 80));
            QString seen;
            for (const char *step = script; *step; ++step) {
                switch (*step) {
                case 'h': QTest::mouseMove(&window, QPoint(25, 25)); break;
                case 'p': QTest::mousePress(wnd, Qt::LeftButton, {}, QPoint(5, 5)); break;
                case 'r': QTest::mouseRelease(wnd, Qt::LeftButton, {}, QPoint(5, 5)); break;
                case 'l': QTest::mouseMove(&window, QPoint(80, 80)); break;
                }
                seen += QString::number(wnd->frame());
            }
            QCOMPARE(seen, QString::fromLatin1(shown));
        }
    }
};

QTEST_MAIN(tst_CBitWnd)
#include "tst_cbitwnd.moc"
