#include "controls/CBitSlider.h"
#include "controls/CBitWnd.h"
#include "controls/SkinResources.h"

#include <QPainter>
#include <QTest>
#include <QToolTip>

namespace {

// A joint slider as the control panel sets it up, inside a window with room around it.
struct Fixture
{
    QWidget window;
    CBitSlider *slider = new CBitSlider(&window);
    int notified = 0;
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
        QObject::connect(slider, &TrackBar::notification, slider, [this] { ++notified; });
        window.show();
        (void)QTest::qWaitForWindowExposed(&window);
    }
};

QImage rgb(const QImage &image) { return image.convertToFormat(QImage::Format_RGB32); }
QImage skin(int resource) { return rgb(QImage(SkinResourcePath(resource))); }
QImage frameOf(int frame) { return skin(SkinResource::SliderThumb).copy(frame * 13, 0, 13, 13); }

// A press at x in the thumb or the slider, and the value it jumps to: x * 180 / 200, above 90 from x + 6.
// Rows: the ends, half and just past it, beside and on the thumb (edges, at max); other buttons change nothing.
struct Click { int start; bool onThumb; Qt::MouseButton button; int x, expected; };
constexpr Qt::MouseButton L = Qt::LeftButton;
const Click presses[] = {{90, false, L, 0, 0}, {0, false, L, 101, 90}, {0, false, L, 102, 97}, {90, false, L, 199, 180},
    {180, false, L, 186, 172}, {90, true, L, 6, 90}, {90, true, L, 12, 100}, {180, true, L, 3, 176},
    {90, true, Qt::RightButton, 6, 90}, {90, false, Qt::MiddleButton, 20, 90}};

} // namespace

class tst_CBitSlider : public QObject
{
    Q_OBJECT

private slots:
    // The filled track up to the thumb's right edge, the empty one after it, the thumb on top; it travels 200 - 13 px.
    void thumbAndTrackSplit()
    {
        for (const auto &[value, thumbLeft] : {std::pair{0, 0}, {90, 94}, {180, 187}}) {
            Fixture f(value);
            QCOMPARE(f.slider->thumb()->cursor().shape(), Qt::PointingHandCursor);
            QImage expected = skin(SkinResource::TrackEmpty);
            QPainter(&expected).drawImage(0, 0, skin(SkinResource::TrackFilled), 0, 0, thumbLeft + 13, 30);
            QPainter(&expected).drawImage(thumbLeft, 8, frameOf(0));
            QCOMPARE(rgb(f.slider->grab().toImage()), expected);
        }
        // Other ranges, and no channel at all; missing images leave the size; resource 0 makes no thumb.
        Fixture f;
        for (const auto &[minimum, maximum, x, expected] : {std::array{20, 200, 150, 160}, {-90, 90, 0, -90},
                                                           {0, 2000000000, 150, 1560000000}, {0, 180, -5, -4}}) {
            f.slider->setRange(minimum, maximum);
            QCOMPARE(f.slider->PositionForClick(QPoint(x, 15)), expected);
        }
        f.slider->SetBitmaps(9998, 9999);
        QCOMPARE(f.slider->size(), QSize(200, 30));
        f.slider->setFixedSize(0, 20);
        QCOMPARE(f.slider->PositionForClick(QPoint(5, 5)), f.slider->value());
        QVERIFY(!CBitSlider().CreateThumb(0, 13, 13));
    }

    // A left press jumps to the click and starts a drag; the release ends the action once.
    void clicks()
    {
        for (const Click &c : presses) {
            Fixture f(c.start);
            QWidget *target = c.onThumb ? static_cast<QWidget *>(f.slider->thumb()) : f.slider;
            const QPoint at(c.x, c.onThumb ? 6 : 15);
            QTest::mousePress(target, c.button, {}, at);
            QVERIFY2(f.slider->value() == c.expected, qPrintable(QString("x %1: %2").arg(c.x).arg(f.slider->value())));
            QCOMPARE(f.slider->isSliderDown(), c.button == Qt::LeftButton);
            QTest::mouseRelease(target, c.button, {}, at);
            QCOMPARE(f.notified, c.button == Qt::LeftButton ? 1 : 0);
        }
    }

    void hoverFramesAndTooltip()
    {
        Fixture f;
        auto *thumb = f.slider->thumb();
        auto shows = [&](int n) { return thumb->frame() == n && rgb(thumb->grab().toImage()) == frameOf(n); };
        QTest::mouseMove(f.slider, thumb->geometry().center());
        QVERIFY(shows(1));
        QTRY_COMPARE(QToolTip::isVisible() ? QToolTip::text() : QString(), QStringLiteral("90"));
        QTest::mouseMove(&f.window, QPoint(5, 70));
        QTRY_VERIFY(shows(0) && !QToolTip::isVisible());
        // After a click the tip comes back with the new value, and follows the keyboard.
        QTest::mouseClick(f.slider, Qt::LeftButton, {}, QPoint(30, 15));
        QTRY_COMPARE(QToolTip::isVisible() ? QToolTip::text() : QString(), QStringLiteral("27"));
        QTest::keyClick(f.slider, Qt::Key_End);
        QCOMPARE(QToolTip::text(), QStringLiteral("180"));
    }
};

QTEST_MAIN(tst_CBitSlider)
#include "tst_cbitslider.moc"
