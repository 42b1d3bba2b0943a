#include "controls/TrackBar.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QSignalSpy>
#include <QTest>

using N = TrackBar::Notification;
Q_DECLARE_METATYPE(QList<int>)

// A trackbar of 0 to 255 (the page a fifth of that) in a window, and what it notifies.
struct Fixture
{
    QWidget window;
    TrackBar *bar = new TrackBar(Qt::Horizontal, &window);
    QSignalSpy spy{bar, &TrackBar::notification};
    Fixture(int maximum, int value)
    {
        bar->setGeometry(10, 10, 200, 20);
        bar->setRange(0, maximum);
        bar->setValue(value);
        window.resize(220, 40);
        window.show();
        bar->setFocus();
    }
    QList<int> codes()
    {
        QList<int> list;
        for (const QList<QVariant> &call : std::as_const(spy))
            list << call.first().toInt();
        spy.clear();
        return list;
    }
};

class tst_TrackBar : public QObject
{
    Q_OBJECT

private slots:
    // Each row: one input on a bar of 0 to maximum at start, the value after it and the codes sent.
    void input_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("value");
        QTest::addColumn<QList<int>>("codes");

        const int end = N::EndTrack;
        QTest::newRow("Right") << "Right" << 255 << 90 << 91 << QList<int>{N::LineDown, end};
        QTest::newRow("Down") << "Down" << 255 << 90 << 91 << QList<int>{N::LineDown, end};
        QTest::newRow("Left") << "Left" << 255 << 90 << 89 << QList<int>{N::LineUp, end};
        QTest::newRow("Up") << "Up" << 255 << 90 << 89 << QList<int>{N::LineUp, end};
        QTest::newRow("PageDown raises a page") << "PageDown" << 255 << 90 << 141 << QList<int>{N::PageDown, end};
        QTest::newRow("PageUp lowers a page") << "PageUp" << 255 << 90 << 39 << QList<int>{N::PageUp, end};
        QTest::newRow("joint PageDown 90 to 126") << "PageDown" << 180 << 90 << 126 << QList<int>{N::PageDown, end};
        QTest::newRow("PageDown stops at the end") << "PageDown" << 255 << 250 << 255 << QList<int>{N::PageDown, end};
        QTest::newRow("Home") << "Home" << 255 << 90 << 0 << QList<int>{N::Top, end};
        QTest::newRow("End") << "End" << 255 << 90 << 255 << QList<int>{N::Bottom, end};
        QTest::newRow("Home at the minimum: only the end") << "Home" << 255 << 0 << 0 << QList<int>{end};
        QTest::newRow("held Right repeats the step") << "held" << 255 << 90 << 93
                                                     << QList<int>{N::LineDown, N::LineDown, N::LineDown, end};
        QTest::newRow("wheel away lowers") << "wheel+" << 255 << 90 << 87 << QList<int>{N::LineUp};
        QTest::newRow("wheel toward raises") << "wheel-" << 255 << 90 << 93 << QList<int>{N::LineDown};
        QTest::newRow("wheel with Ctrl pages") << "wheel+ctrl" << 255 << 90 << 39 << QList<int>{N::PageUp};
        QTest::newRow("wheel at the minimum") << "wheel+" << 255 << 0 << 0 << QList<int>{};
        QTest::newRow("left click right of the handle") << "left 180" << 255 << 0 << 51 << QList<int>{N::PageDown, end};
        QTest::newRow("left click left of the handle") << "left 20" << 255 << 255 << 204 << QList<int>{N::PageUp, end};
        QTest::newRow("right click does nothing") << "right 180" << 255 << 0 << 0 << QList<int>{};
        QTest::newRow("middle click does nothing") << "middle 180" << 255 << 0 << 0 << QList<int>{};
        QTest::newRow("set by assistive technology") << "assist" << 255 << 90 << 100 << QList<int>{N::ThumbPosition};
    }

    void input()
    {
        QFETCH(QString, input);
        QFETCH(int, maximum);
        QFETCH(int, start);
        QFETCH(int, value);
        QFETCH(QList<int>, codes);

        Fixture f(maximum, start);
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        const QStringList words = input.split(' ');
        if (input.startsWith("wheel")) {
            const int delta = words[0].contains('+') ? 120 : -120;
            QWheelEvent wheel(QPointF(50, 10), f.bar->mapToGlobal(QPointF(50, 10)), {}, QPoint(0, delta), {},
                              input.endsWith("ctrl") ? Qt::ControlModifier : Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(f.bar, &wheel);
            QVERIFY(wheel.isAccepted()); // also at the end, so a scrolling parent stays put
        } else if (words.size() == 2) {
            const Qt::MouseButton button = words[0] == "left" ? Qt::LeftButton
                : words[0] == "right" ? Qt::RightButton : Qt::MiddleButton;
            QTest::mouseClick(f.bar, button, {}, QPoint(words[1].toInt(), 10));
        } else if (input == "held") {
            for (int i = 0; i < 3; ++i) {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, {}, i > 0);
                QCoreApplication::sendEvent(f.bar, &press);
                QKeyEvent release(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier, {}, i < 2);
                QCoreApplication::sendEvent(f.bar, &release);
            }
        } else if (input == "assist") {
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(f.bar);
            QVERIFY(a && a->valueInterface());
            a->valueInterface()->setCurrentValue(100);
            QCOMPARE(a->text(QAccessible::Value), QStringLiteral("100"));
        } else {
            const QMetaEnum keys = QMetaEnum::fromType<Qt::Key>();
            QTest::keyClick(f.bar, Qt::Key(keys.keyToValue(qPrintable("Key_" + input))));
        }
        QCOMPARE(f.bar->value(), value);
        QCOMPARE(f.codes(), codes);
    }

    void dragNotifiesEachPositionAndTheRelease()
    {
        Fixture f(255, 0);
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        const QPoint handle = f.bar->rect().topLeft() + QPoint(4, 10);
        QTest::mousePress(f.bar, Qt::LeftButton, {}, handle);
        QTest::mouseMove(f.bar, handle + QPoint(40, 0));
        QTest::mouseMove(f.bar, handle + QPoint(80, 0));
        QTest::mouseRelease(f.bar, Qt::LeftButton, {}, handle + QPoint(80, 0));
        QVERIFY(f.bar->value() > 0);
        QCOMPARE(f.codes(), (QList<int>{N::ThumbTrack, N::ThumbTrack, N::EndTrack}));
        // Set from code: nothing is notified.
        f.bar->setValue(7);
        QCOMPARE(f.codes(), QList<int>{});
    }
};

QTEST_MAIN(tst_TrackBar)
#include "tst_trackbar.moc"
