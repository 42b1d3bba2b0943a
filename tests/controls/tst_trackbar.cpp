#include "controls/TrackBar.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QTest>

using N = TrackBar::Notification;

namespace {

// One input on a bar of 0 to maximum at start, the value after it and the codes notified.
struct Row { const char *name, *input; int maximum, start, value; QList<int> codes; };
const int end = N::EndTrack;
const Row rows[] = {
    {"Right", "Right", 255, 90, 91, {N::LineDown, end}},
    {"Up", "Up", 255, 90, 89, {N::LineUp, end}},
    {"PageDown raises a page", "PageDown", 255, 90, 141, {N::PageDown, end}},
    {"PageUp lowers a page", "PageUp", 255, 90, 39, {N::PageUp, end}},
    {"joint PageDown 90 to 126", "PageDown", 180, 90, 126, {N::PageDown, end}},
    {"PageDown stops at the end", "PageDown", 255, 250, 255, {N::PageDown, end}},
    {"Home", "Home", 255, 90, 0, {N::Top, end}},
    {"End", "End", 255, 90, 255, {N::Bottom, end}},
    {"Home at the minimum: only the end", "Home", 255, 0, 0, {end}},
    {"Right at the maximum: only the end", "Right", 255, 255, 255, {end}},
    {"held Right repeats the step", "held", 255, 90, 93, {N::LineDown, N::LineDown, N::LineDown, end}},
    {"wheel away lowers", "wheel+", 255, 90, 87, {N::LineUp}},
    {"wheel toward raises", "wheel-", 255, 90, 93, {N::LineDown}},
    {"wheel with Ctrl pages", "wheel+ctrl", 255, 90, 39, {N::PageUp}},
    {"wheel at the minimum", "wheel+", 255, 0, 0, {}},
    {"left click right of the handle", "left 180", 255, 0, 51, {N::PageDown, end}},
    {"left click left of the handle", "left 20", 255, 255, 204, {N::PageUp, end}},
    {"right click does nothing", "right 180", 255, 0, 0, {}},
    {"middle click does nothing", "middle 180", 255, 0, 0, {}},
    {"drag: each position, then the end", "drag", 255, 0, 110, {N::ThumbTrack, N::ThumbTrack, end}},
    {"set by assistive technology", "assist", 255, 90, 100, {N::ThumbPosition}},
};

} // namespace

class tst_TrackBar : public QObject
{
    Q_OBJECT

private slots:
    void input_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(std::size(rows)); ++i)
            QTest::newRow(rows[i].name) << i;
    }

    void input()
    {
        QFETCH(int, row);
        const Row &r = rows[row];
        QWidget window;
        auto *bar = new TrackBar(Qt::Horizontal, &window);
        bar->setGeometry(10, 10, 200, 20);
        bar->setRange(0, r.maximum);
        bar->setValue(r.start);
        QList<int> codes;
        connect(bar, &TrackBar::notification, bar, [&codes](int code) { codes << code; });
        window.resize(220, 40);
        window.show();
        bar->setFocus();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        const QString input = QString::fromLatin1(r.input);
        const QStringList words = input.split(' ');
        if (input.startsWith("wheel")) {
            QWheelEvent wheel(QPointF(50, 10), bar->mapToGlobal(QPointF(50, 10)), {},
                              QPoint(0, input.contains('+') ? 120 : -120), {},
                              input.endsWith("ctrl") ? Qt::ControlModifier : Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(bar, &wheel);
            QVERIFY(wheel.isAccepted()); // also at the end, so a scrolling parent stays put
        } else if (words.size() == 2) {
            const Qt::MouseButton button = words[0] == "left" ? Qt::LeftButton
                : words[0] == "right" ? Qt::RightButton : Qt::MiddleButton;
            QTest::mouseClick(bar, button, {}, QPoint(words[1].toInt(), 10));
        } else if (input == "held") {
            for (int i = 0; i < 3; ++i) { // repeated presses and releases, then the real release
                QTest::simulateEvent(bar, true, Qt::Key_Right, {}, {}, i > 0);
                QTest::simulateEvent(bar, false, Qt::Key_Right, {}, {}, i < 2);
            }
        } else if (input == "drag") {
            QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(4, 10));
            QTest::mouseMove(bar, QPoint(44, 10));
            QTest::mouseMove(bar, QPoint(84, 10));
            QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(84, 10));
        } else if (input == "assist") {
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(bar);
            QVERIFY(a && a->valueInterface());
            QCOMPARE(a->role(), QAccessible::Slider);
            a->valueInterface()->setCurrentValue(100);
            QCOMPARE(a->text(QAccessible::Value), QStringLiteral("100"));
        } else {
            const QMetaEnum keys = QMetaEnum::fromType<Qt::Key>();
            QTest::keyClick(bar, Qt::Key(keys.keyToValue(qPrintable("Key_" + input))));
        }
        QCOMPARE(bar->value(), r.value);
        bar->setValue(7); // set from code: nothing is notified
        QCOMPARE(codes, r.codes);
    }
};

QTEST_MAIN(tst_TrackBar)
#include "tst_trackbar.moc"
