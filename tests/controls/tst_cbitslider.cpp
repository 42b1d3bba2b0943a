#include "controls/CBitSlider.h"
#include "controls/CBitStrip.h"
#include "controls/CBitWnd.h"
#include "controls/SkinResources.h"

#include <QProxyStyle>
#include <QSignalSpy>
#include <QStyleOptionSlider>
#include <QTest>
#include <QToolTip>
#include <QWheelEvent>

namespace {

// A joint slider as the control panel sets it up, inside a window with room around it.
struct Fixture
{
    QWidget window;
    CBitSlider *slider = nullptr;
    explicit Fixture(int value = 90)
    {
        window.resize(280, 80);
        slider = new CBitSlider(&window);
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

// Fusion's geometry with a handle of a chosen length, to place the thumb over handles that
// are narrower or wider than it.
class HandleStyle : public QProxyStyle
{
public:
    explicit HandleStyle(int length)
        : QProxyStyle(QStringLiteral("Fusion"))
        , m_length(length)
    {
    }
    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        return metric == PM_SliderLength ? m_length : QProxyStyle::pixelMetric(metric, option, widget);
    }
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl sub,
                         const QWidget *widget) const override
    {
        QRect rect = QProxyStyle::subControlRect(control, option, sub, widget);
        if (control == CC_Slider && sub == SC_SliderHandle)
            rect.setWidth(m_length);
        return rect;
    }

private:
    int m_length;
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
    void sizedByTheFilledTrack()
    {
        Fixture f;
        QCOMPARE(f.slider->size(), QSize(200, 30));
        QCOMPARE(f.slider->pos(), QPoint(30, 20));
        QCOMPARE(f.slider->thumb()->size(), QSize(13, 13));
        QCOMPARE(f.slider->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(f.slider->thumb()->cursor().shape(), Qt::PointingHandCursor);
    }

    void thumbAndTrackSplit_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("thumbLeft");

        // The handle travels over 200 - 13 pixels.
        QTest::newRow("min") << 0 << 0;
        QTest::newRow("one") << 1 << 1;
        QTest::newRow("mid") << 90 << 94;
        QTest::newRow("one below max") << 179 << 186;
        QTest::newRow("max") << 180 << 187;
    }

    void thumbAndTrackSplit()
    {
        QFETCH(int, value);
        QFETCH(int, thumbLeft);

        Fixture f(value);
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QCOMPARE(f.slider->thumb()->geometry(), QRect(thumbLeft, 8, 13, 13));

        const QImage shown = f.slider->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage filled = QImage(SkinResourcePath(146)).convertToFormat(QImage::Format_RGB32);
        const QImage empty = QImage(SkinResourcePath(147)).convertToFormat(QImage::Format_RGB32);
        const QImage knob = frameOf(0);
        const int thumbRight = thumbLeft + 13;
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < 200; ++x) {
                QRgb expected;
                if (x >= thumbLeft && x < thumbRight && y >= 8 && y < 21)
                    expected = knob.pixel(x - thumbLeft, y - 8);
                else if (x < thumbRight)
                    expected = filled.pixel(x, y);
                else
                    expected = empty.pixel(x, y);
                if (shown.pixel(x, y) != expected)
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2 differs").arg(x).arg(y)));
            }
        }
    }

    void thumbOverHandlesOfOtherWidths_data()
    {
        QTest::addColumn<int>("handle");
        QTest::addColumn<int>("shift"); // thumb left minus handle left

        QTest::newRow("narrower 9") << 9 << 2;
        QTest::newRow("narrower 12") << 12 << 0;
        QTest::newRow("same 13") << 13 << 0;
        QTest::newRow("wider 15") << 15 << -1;
        QTest::newRow("wider 16 truncates toward zero") << 16 << -1;
        QTest::newRow("wider 20") << 20 << -3;
    }

    void thumbOverHandlesOfOtherWidths()
    {
        QFETCH(int, handle);
        QFETCH(int, shift);

        Fixture f(60);
        HandleStyle style(handle);
        f.slider->setStyle(&style);
        QCOMPARE(f.slider->BaseThumbRect().width(), handle);
        QCOMPARE(f.slider->thumb()->x() - f.slider->BaseThumbRect().left(), shift);
        QCOMPARE(f.slider->thumb()->y(), 8);
        f.slider->setValue(61);
        QCOMPARE(f.slider->thumb()->x() - f.slider->BaseThumbRect().left(), shift);
        f.slider->setStyle(nullptr);
    }

    void jumpToClick_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("expected");

        // x * 180 / 200, truncated; above 90 counted from x + 13 / 2 = x + 6.
        QTest::newRow("left end") << 90 << 0 << 0;
        QTest::newRow("near left") << 90 << 3 << 2;
        QTest::newRow("quarter") << 90 << 50 << 45;
        QTest::newRow("just below half") << 0 << 99 << 89;
        QTest::newRow("half, on the thumb") << 90 << 100 << 90;
        QTest::newRow("half truncated") << 0 << 101 << 90;
        QTest::newRow("first past half") << 0 << 102 << 97;
        QTest::newRow("three quarters") << 90 << 150 << 140;
        QTest::newRow("right end clamps") << 90 << 199 << 180;
        QTest::newRow("on the thumb at max") << 180 << 190 << 176;
        QTest::newRow("left of the thumb at max") << 180 << 186 << 172;
    }

    void jumpToClick()
    {
        QFETCH(int, start);
        QFETCH(int, x);
        QFETCH(int, expected);

        Fixture f(start);
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QSignalSpy pressed(f.slider, &QSlider::sliderPressed);
        QSignalSpy released(f.slider, &QSlider::sliderReleased);
        const QPoint at(x, 15);
        QTest::mousePress(f.slider, Qt::LeftButton, {}, at);
        QCOMPARE(f.slider->value(), expected);
        // The press then starts an ordinary drag of the handle, never a page step.
        QVERIFY(f.slider->isSliderDown());
        QCOMPARE(pressed.count(), 1);
        QTest::mouseRelease(f.slider, Qt::LeftButton, {}, at);
        QCOMPARE(f.slider->value(), expected);
        QVERIFY(!f.slider->isSliderDown());
        QCOMPARE(released.count(), 1);
        QCOMPARE(f.slider->thumb()->geometry(), f.slider->ThumbRect());
    }

    void pressOnTheThumbJumpsFromItsSliderPosition_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("x"); // in the thumb
        QTest::addColumn<int>("expected");

        QTest::newRow("middle, centre") << 90 << 6 << 90;
        QTest::newRow("middle, right edge") << 90 << 12 << 100;
        QTest::newRow("max, left edge") << 180 << 3 << 176;
        QTest::newRow("min, left edge") << 0 << 0 << 0;
    }

    void pressOnTheThumbJumpsFromItsSliderPosition()
    {
        QFETCH(int, start);
        QFETCH(int, x);
        QFETCH(int, expected);

        Fixture f(start);
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        CBitWnd *thumb = f.slider->thumb();
        QTest::mousePress(thumb, Qt::LeftButton, {}, QPoint(x, 6));
        QCOMPARE(f.slider->value(), expected);
        QVERIFY(f.slider->isSliderDown());
        // Moves while held go on to the slider's drag as well.
        QTest::mouseMove(thumb, QPoint(x - 40, 6));
        QVERIFY(f.slider->value() < expected || expected == 0);
        QTest::mouseRelease(thumb, Qt::LeftButton, {}, QPoint(x - 40, 6));
        QVERIFY(!f.slider->isSliderDown());
    }

    void clickPositionOverOtherRanges_data()
    {
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("expected");

        QTest::newRow("from 20, low half") << 20 << 200 << 50 << 65;
        QTest::newRow("from 20, high half") << 20 << 200 << 150 << 160;
        QTest::newRow("from -90") << -90 << 90 << 0 << -90;
        QTest::newRow("huge range does not overflow") << 0 << 2000000000 << 150 << 1560000000;
        QTest::newRow("left of the channel") << 0 << 180 << -5 << -4;
    }

    void clickPositionOverOtherRanges()
    {
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(int, x);
        QFETCH(int, expected);

        Fixture f;
        f.slider->setRange(minimum, maximum);
        QCOMPARE(f.slider->PositionForClick(QPoint(x, 15)), expected);
    }

    void clickOnAnEmptyChannelKeepsTheValue()
    {
        CBitSlider slider;
        slider.setRange(0, 180);
        slider.setValue(33);
        slider.resize(0, 20);
        QCOMPARE(slider.PositionForClick(QPoint(5, 5)), 33);
    }

    void dragMovesValueThumbAndTip()
    {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QSignalSpy moved(f.slider, &QSlider::valueChanged);
        QTest::mousePress(f.slider, Qt::LeftButton, {}, QPoint(100, 15));
        QCOMPARE(f.slider->value(), 90);
        QTest::mouseMove(f.slider, QPoint(150, 15));
        const int dragged = f.slider->value();
        QVERIFY2(dragged > 130 && dragged < 150, qPrintable(QString::number(dragged)));
        QTest::mouseRelease(f.slider, Qt::LeftButton, {}, QPoint(150, 15));
        QCOMPARE(f.slider->value(), dragged);
        QVERIFY(moved.count() >= 1);
        QCOMPARE(f.slider->thumb()->geometry(), f.slider->ThumbRect());
        QCOMPARE(f.slider->toolTip(), QString::number(dragged));
        QCOMPARE(f.slider->thumb()->toolTip(), QString::number(dragged));
    }

    void thumbShowsHoverAndPressedFrames()
    {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        CBitWnd *thumb = f.slider->thumb();
        auto shows = [&](int frame) {
            return thumb->frame() == frame && thumb->grab().toImage().convertToFormat(QImage::Format_RGB32) == frameOf(frame);
        };
        QVERIFY(shows(0));
        const QPoint centre = thumb->geometry().center();
        QTest::mouseMove(f.slider, QPoint(20, 15));
        QVERIFY(shows(0));
        QTest::mouseMove(f.slider, centre);
        QVERIFY(shows(1));
        // Presses on the thumb reach it; it passes them on to the slider.
        QTest::mousePress(thumb, Qt::LeftButton, {}, QPoint(6, 6));
        QVERIFY(shows(2));
        QCOMPARE(f.slider->value(), 90);
        QVERIFY(f.slider->isSliderDown());
        QTest::mouseRelease(thumb, Qt::LeftButton, {}, QPoint(6, 6));
        QVERIFY(!f.slider->isSliderDown());
        QVERIFY(shows(1));
        QTest::mouseMove(&f.window, QPoint(5, 70));
        QVERIFY(shows(0));
    }

    void tooltipShowsTheValue()
    {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QCOMPARE(f.slider->tipTimer().interval(), 100);
        QVERIFY(f.slider->tipTimer().isSingleShot());
        QCOMPARE(f.slider->toolTip(), QStringLiteral("90"));
        QCOMPARE(f.slider->thumb()->toolTip(), QStringLiteral("90"));

        QTest::mouseMove(f.slider, QPoint(30, 15));
        QVERIFY(f.slider->tipTimer().isActive());
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QStringLiteral("90"));

        // A press hides it; after the drag it comes back with the new value.
        QTest::mousePress(f.slider, Qt::LeftButton, {}, QPoint(30, 15));
        QVERIFY(!QToolTip::isVisible());
        QTest::mouseRelease(f.slider, Qt::LeftButton, {}, QPoint(30, 15));
        QCOMPARE(f.slider->value(), 27);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QStringLiteral("27"));

        // A visible tip follows a keyboard change.
        QTest::keyClick(f.slider, Qt::Key_Right);
        QCOMPARE(f.slider->value(), 28);
        QCOMPARE(QToolTip::text(), QStringLiteral("28"));

        QTest::mouseMove(&f.window, QPoint(5, 70));
        QTRY_VERIFY(!QToolTip::isVisible());
        QVERIFY(!f.slider->tipTimer().isActive());
    }

    void tooltipOverTheThumb()
    {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QTest::mouseMove(f.slider, f.slider->thumb()->geometry().center());
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QStringLiteral("90"));
    }

    void keyboardStillMovesTheValue_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("expected");

        QTest::newRow("right") << int(Qt::Key_Right) << 91;
        QTest::newRow("left") << int(Qt::Key_Left) << 89;
        QTest::newRow("page up") << int(Qt::Key_PageUp) << 100;
        QTest::newRow("home") << int(Qt::Key_Home) << 0;
        QTest::newRow("end") << int(Qt::Key_End) << 180;
    }

    void keyboardStillMovesTheValue()
    {
        QFETCH(int, key);
        QFETCH(int, expected);

        Fixture f;
        QSignalSpy changed(f.slider, &QSlider::valueChanged);
        QTest::keyClick(f.slider, Qt::Key(key));
        QCOMPARE(f.slider->value(), expected);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(f.slider->thumb()->geometry(), f.slider->ThumbRect());
    }

    void wheelStillMovesTheValue()
    {
        Fixture f;
        auto wheel = [&](int delta) {
            QWheelEvent event(QPointF(50, 15), f.slider->mapToGlobal(QPointF(50, 15)), QPoint(),
                              QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            event.setAccepted(false);
            QCoreApplication::sendEvent(f.slider, &event);
            return event.isAccepted();
        };
        QVERIFY(wheel(120));
        QVERIFY(f.slider->value() > 90);
        QVERIFY(wheel(-240));
        QVERIFY(f.slider->value() < 90);
        // At the end the wheel is still taken, so a scrolling parent does not move instead.
        f.slider->setValue(180);
        QVERIFY(wheel(120));
        QCOMPARE(f.slider->value(), 180);
        QCOMPARE(f.slider->thumb()->geometry(), f.slider->ThumbRect());
    }

    void paintsNothingUntilSetUp()
    {
        QWidget window;
        window.resize(220, 40);
        auto *slider = new CBitSlider(&window);
        slider->setGeometry(0, 0, 200, 30);
        slider->setRange(0, 180);
        slider->setValue(40);
        window.show();
        auto uniform = [](const QImage &image) {
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixel(x, y) != image.pixel(0, 0))
                        return false;
            return true;
        };
        QVERIFY(uniform(slider->grab().toImage()));
        QVERIFY(!slider->CreateThumb(0, 13, 13));
        QVERIFY(slider->thumb() == nullptr);
        slider->SetBitmaps(SkinResource::TrackEmpty, SkinResource::TrackFilled);
        QVERIFY(uniform(slider->grab().toImage()));
        slider->DrawSlider(nullptr, true);

        CBitSlider other;
        QVERIFY(other.CreateThumb(SkinResource::SliderThumb, 13, 13));
        CBitWnd *thumb = other.thumb();
        QVERIFY(other.CreateThumb(SkinResource::SliderThumb, 13, 13));
        QCOMPARE(other.thumb(), thumb);
        other.resize(200, 30);
        other.grab(); // thumb but no tracks: only the thumb shows, no failure

        // A track image that cannot be loaded leaves the size alone.
        slider->SetBitmaps(9998, 9999);
        QCOMPARE(slider->size(), QSize(200, 30));
        slider->grab();
    }

    void verticalSliderMirrorsTheRules()
    {
        QImage tall(30, 200, QImage::Format_RGB32);
        tall.fill(Qt::darkBlue);
        CBitStrip empty(tall, 0, 0);
        tall.fill(Qt::cyan);
        CBitStrip filled(tall, 0, 0);
        CBitSlider slider(Qt::Vertical);
        slider.CreateThumb(SkinResource::SliderThumb, 13, 13);
        slider.SetStrips(&empty, &filled);
        slider.SetThumbOffset(8);
        slider.setRange(0, 180);
        slider.setValue(0);
        QCOMPARE(slider.size(), QSize(30, 200));
        // Qt puts a vertical slider's minimum at the bottom.
        QCOMPARE(slider.thumb()->geometry(), QRect(8, 187, 13, 13));
        QCOMPARE(slider.PositionForClick(QPoint(15, 199)), 0);
        QCOMPARE(slider.PositionForClick(QPoint(15, 150)), 45);
        QCOMPARE(slider.PositionForClick(QPoint(15, 0)), 185);
        slider.setValue(90);
        const QImage shown = slider.grab().toImage();
        QCOMPARE(shown.pixelColor(2, 5), QColor(Qt::darkBlue));  // above the thumb: toward max
        QCOMPARE(shown.pixelColor(2, 195), QColor(Qt::cyan));    // below: toward min
        slider.FreeStrips();
    }
};

QTEST_MAIN(tst_CBitSlider)
#include "tst_cbitslider.moc"
