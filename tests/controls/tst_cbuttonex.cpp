#include "controls/CButtonEx.h"

#include <QSignalSpy>
#include <QTest>

// A mouse script (m = move over, o = move off in the window, p = press, r = release where the
// pointer is) and the state, fill and clicks after it.
struct Row { const char *name, *script; int state; QColor fill; int clicks; };
const Row rows[] = {
    {"hover", "m", 1, CButtonEx::HoverFill, 0},
    {"pressed", "mp", 2, CButtonEx::PressedFill, 0},
    {"click shows hover", "mpr", 1, CButtonEx::HoverFill, 1},
    {"click then off", "mpro", 0, CButtonEx::NormalFill, 1},
    {"pressed, dragged off", "mpo", 0, CButtonEx::NormalFill, 0},
    {"dragged off, released off", "mpor", 0, CButtonEx::NormalFill, 0},
    {"dragged off and back, released", "mpomr", 1, CButtonEx::HoverFill, 0},
    {"two clicks", "mprpr", 1, CButtonEx::HoverFill, 2},
};

class tst_CButtonEx : public QObject
{
    Q_OBJECT

private slots:
    void mouseStates_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(std::size(rows)); ++i)
            QTest::newRow(rows[i].name) << i;
    }

    void mouseStates()
    {
        QFETCH(int, row);
        const Row &r = rows[row];
        // Inside a larger window, so the pointer can leave the button and stay in the window.
        QWidget window;
        window.resize(240, 120);
        auto *button = new CButtonEx(QStringLiteral("HHH"), &window);
        button->setGeometry(40, 40, 100, 30);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy clicked(button, &QAbstractButton::clicked);
        QTest::mouseMove(&window, {10, 10});
        QPoint at;
        for (const char *step = r.script; *step; ++step) {
            switch (*step) {
            case 'm': QTest::mouseMove(button, at = {10, 15}); break;
            case 'o': QTest::mouseMove(button, at = {150, 15}); break;
            case 'p': QTest::mousePress(button, Qt::LeftButton, {}, at); break;
            case 'r': QTest::mouseRelease(button, Qt::LeftButton, {}, at); break;
            }
        }
        // The fill sampled left of the caption, and whether any of the caption is white.
        auto look = [button] {
            const QImage image = button->grab().toImage().convertToFormat(QImage::Format_RGB32);
            const QRgb *bits = reinterpret_cast<const QRgb *>(image.constBits());
            return std::pair{image.pixelColor(6, 15), std::count(bits, bits + image.width() * image.height(), 0xffffffff) > 0};
        };
        QCOMPARE(look(), std::pair(r.fill, true));
        QCOMPARE(button->state(), r.state);
        QCOMPARE(clicked.count(), r.clicks);

        // Each script ends with the button disabled (back colour, caption not white) and enabled again.
        button->setEnabled(false);
        QCOMPARE(look(), std::pair(QColor(27, 108, 226), false));
        button->SetBackColor(Qt::red);
        QCOMPARE(look().first, QColor(Qt::red));
        QCOMPARE(button->state(), int(CButtonEx::Disabled));
        button->setEnabled(true);
        QCOMPARE(look(), std::pair(CButtonEx::NormalFill, true));
        QCOMPARE(button->state(), int(CButtonEx::Normal));
    }
};

QTEST_MAIN(tst_CButtonEx)
#include "tst_cbuttonex.moc"
