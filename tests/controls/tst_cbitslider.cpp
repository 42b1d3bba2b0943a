#include "controls/CBitSlider.h"
#include "controls/CBitStrip.h"
#include "controls/CBitWnd.h"
#include "controls/SkinResources.h"

#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

namespace {

// A joint slider as the control panel sets it up, inside a window with room around it.
struct Fixture
{
    QWidget window;
    CBitSlider *slider = new CBitSlider(&window);
    explicit Fixture(int value = 90)
    {
        window.resize(280, 80);
        slider->move(30, 20);
        slider->SetSkinCursor(QCursor(Qt::PointingHandCursor));
        slider->CreateThumb(SkinResource::SliderThumb, 13, 13);
        slider->SetBitmaps(SkinResource::TrackEmpty, SkinResource::TrackFilled);
        slider->SetThumbOffset(8);
        slider->setRange(0, 180);
        slider->setValue(value);
        window.show();
    }
};

QImage frameOf(int frame)
{
    return QImage(SkinResourcePath(SkinResource::SliderThumb)).copy(frame * 13, 0, 13, 13).convertToFormat(QImage::Format_RGB32);
}

} // namespace

class tst_CBitSlider : public QObject
{
    Q_OBJECT

private slots:
    void thumbAndTrackSplit_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("thumbLeft"); // the handle travels over 200 - 13 pixels
        QTest::newRow("min") << 0 << 0;
        QTest::newRow("mid") << 90 << 94;
        QTest::newRow("max") << 180 << 187;
    }

    void thumbAndTrackSplit()
    {
        QFETCH(int, value);
        QFETCH(int, thumbLeft);
        Fixture f(value);
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QCOMPARE(f.slider->geometry(), QRect(30, 20, 200, 30));
        QCOMPARE(f.slider->thumb()->geometry(), QRect(thumbLeft, 8, 13, 13));
        QCOMPARE(f.slider->thumb()->cursor().shape(), Qt::PointingHandCursor);
        const QImage shown = f.slider->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage filled = QImage(SkinResourcePath(146)).convertToFormat(QImage::Format_RGB32);
        const QImage empty = QImage(SkinResourcePath(147)).convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 200; ++x) {
                const bool onThumb = x >= thumbLeft && x < thumbLeft + 13 && y >= 8 && y < 21;
                const QRgb expected = onThumb ? frameOf(0).pixel(x - thumbLeft, y - 8)
                                              : (x < thumbLeft + 13 ? filled : empty).pixel(x, y);
                if (shown.pixel(x, y) != expected)
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2 differs").arg(x).arg(y)));
            }
    }

    // A left press jumps to the click and starts a drag; the release ends the action once.
    void clicks_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("onThumb"); // x is then in the thumb
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("expected");

        // x * 180 / 200, truncated; above 90 counted from x + 13 / 2 = x + 6.
        QTest::newRow("left end") << 90 << false << int(Qt::LeftButton) << 0 << 0;
        QTest::newRow("near left") << 90 << false << int(Qt::LeftButton) << 3 << 2;
        QTest::newRow("just below half") << 0 << false << int(Qt::LeftButton) << 99 << 89;
        QTest::newRow("half truncated") << 0 << false << int(Qt::LeftButton) << 101 << 90;
        QTest::newRow("first past half") << 0 << false << int(Qt::LeftButton) << 102 << 97;
        QTest::newRow("right end clamps") << 90 << false << int(Qt::LeftButton) << 199 << 180;
        QTest::newRow("left of the thumb at max") << 180 << false << int(Qt::LeftButton) << 186 << 172;
        QTest::newRow("thumb centre") << 90 << true << int(Qt::LeftButton) << 6 << 90;
        QTest::newRow("thumb right edge") << 90 << true << int(Qt::LeftButton) << 12 << 100;
        QTest::newRow("thumb at max, left edge") << 180 << true << int(Qt::LeftButton) << 3 << 176;
        QTest::newRow("middle button") << 90 << false << int(Qt::MiddleButton) << 20 << 90;
        QTest::newRow("right button") << 90 << false << int(Qt::RightButton) << 20 << 90;
        QTest::newRow("middle button on the thumb") << 90 << true << int(Qt::MiddleButton) << 6 << 90;
    }

    void clicks()
    {
        QFETCH(int, start);
        QFETCH(bool, onThumb);
        QFETCH(int, button);
        QFETCH(int, x);
        QFETCH(int, expected);
        Fixture f(start);
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QSignalSpy notified(f.slider, &TrackBar::notification);
        QWidget *target = onThumb ? static_cast<QWidget *>(f.slider->thumb()) : f.slider;
        const QPoint at(x, onThumb ? 6 : 15);
        QTest::mousePress(target, Qt::MouseButton(button), {}, at);
        QCOMPARE(f.slider->value(), expected);
        QCOMPARE(f.slider->isSliderDown(), button == Qt::LeftButton);
        QTest::mouseRelease(target, Qt::MouseButton(button), {}, at);
        QCOMPARE(f.slider->value(), expected);
        QCOMPARE(notified.count(), button == Qt::LeftButton ? 1 : 0);
        QCOMPARE(f.slider->thumb()->geometry(), f.slider->ThumbRect());
    }

    void clickPositionOverOtherRanges()
    {
        Fixture f;
        const struct { int minimum, maximum, x, expected; } rows[] = {
            {20, 200, 150, 160}, {-90, 90, 0, -90}, {0, 2000000000, 150, 1560000000}, {0, 180, -5, -4}};
        for (const auto &row : rows) {
            f.slider->setRange(row.minimum, row.maximum);
            QCOMPARE(f.slider->PositionForClick(QPoint(row.x, 15)), row.expected);
        }
        CBitSlider bare; // before its images and thumb it paints nothing and fails nothing
        bare.DrawSlider(nullptr, true);
        QVERIFY(!bare.CreateThumb(0, 13, 13));
        f.slider->SetBitmaps(9998, 9999); // images that cannot be loaded leave the size alone
        QCOMPARE(f.slider->size(), QSize(200, 30));
        f.slider->setFixedSize(0, 20); // no channel: the value stays
        f.slider->setValue(33);
        QCOMPARE(f.slider->PositionForClick(QPoint(5, 5)), 33);
    }

    void hoverFramesAndTooltip()
    {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        CBitWnd *thumb = f.slider->thumb();
        auto shows = [&](int frame) {
            return thumb->frame() == frame && thumb->grab().toImage().convertToFormat(QImage::Format_RGB32) == frameOf(frame);
        };
        QVERIFY(shows(0));
        QTest::mouseMove(f.slider, thumb->geometry().center());
        QVERIFY(shows(1));
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QStringLiteral("90"));
        QTest::mouseMove(&f.window, QPoint(5, 70));
        QVERIFY(shows(0));
        QTRY_VERIFY(!QToolTip::isVisible());
        QTest::mousePress(thumb, Qt::LeftButton, {}, QPoint(6, 6));
        QVERIFY(shows(2));
        QTest::mouseRelease(thumb, Qt::LeftButton, {}, QPoint(6, 6));
        QVERIFY(shows(1));
        // After a click the tip comes back with the new value, and follows the keyboard.
        QTest::mouseClick(f.slider, Qt::LeftButton, {}, QPoint(30, 15));
        QCOMPARE(f.slider->value(), 27);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QStringLiteral("27"));
        QTest::keyClick(f.slider, Qt::Key_End);
        QCOMPARE(QToolTip::text(), QStringLiteral("180"));
        QCOMPARE(f.slider->thumb()->geometry(), f.slider->ThumbRect());
    }
};

QTEST_MAIN(tst_CBitSlider)
#include "tst_cbitslider.moc"
