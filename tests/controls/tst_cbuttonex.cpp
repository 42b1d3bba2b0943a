#include "controls/CButtonEx.h"

#include <QImage>
#include <QSignalSpy>
#include <QTest>

// The button sits inside a larger window so the pointer can leave it and stay in the window.
class tst_CButtonEx : public QObject
{
    Q_OBJECT

private:
    struct Fixture
    {
        QWidget window;
        CButtonEx *button = nullptr;
        explicit Fixture(const QString &caption = QStringLiteral("Go"))
        {
            window.resize(240, 120);
            button = new CButtonEx(caption, &window);
            button->setGeometry(40, 40, 100, 30);
            window.show();
        }
        QPoint inside() const { return {50, 15}; }
        QPoint outside() const { return {150, 15}; } // in the window, right of the button
    };

    // A sample of the fill: left of centre, clear of a short caption and of the corners.
    static QColor fillOf(CButtonEx *button)
    {
        const QImage image = button->grab().toImage();
        return image.pixelColor(6, image.height() / 2);
    }

    static int countColour(const QImage &image, const QColor &colour)
    {
        int n = 0;
        for (int i = 0; i < image.width() * image.height(); ++i)
            n += image.pixelColor(i % image.width(), i / image.width()).rgb() == colour.rgb();
        return n;
    }

private slots:
    void mouseStates_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("state");
        QTest::addColumn<QColor>("fill");
        QTest::addColumn<int>("clicks");

        // m = move over, o = move off (in the window), p = press over, r = release where
        // the pointer is, R = release off the button.
        QTest::newRow("hover") << "m" << 1 << CButtonEx::HoverFill << 0;
        QTest::newRow("pressed") << "mp" << 2 << CButtonEx::PressedFill << 0;
        QTest::newRow("click shows hover") << "mpr" << 1 << CButtonEx::HoverFill << 1;
        QTest::newRow("click then off") << "mpro" << 0 << CButtonEx::NormalFill << 1;
        QTest::newRow("pressed, dragged off") << "mpo" << 0 << CButtonEx::NormalFill << 0;
        QTest::newRow("dragged off and back, released") << "mpomr" << 1 << CButtonEx::HoverFill << 0;
        QTest::newRow("two clicks") << "mprpr" << 1 << CButtonEx::HoverFill << 2;
    }

    void mouseStates()
    {
        QFETCH(QString, script);
        QFETCH(int, state);
        QFETCH(QColor, fill);
        QFETCH(int, clicks);

        Fixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QSignalSpy clicked(f.button, &QAbstractButton::clicked);
        QTest::mouseMove(&f.window, {10, 10});
        QPoint at = f.inside();
        Qt::MouseButtons held;
        for (QChar step : script) {
            switch (step.toLatin1()) {
            case 'm':
                at = f.inside();
                QTest::mouseMove(f.button, at);
                break;
            case 'o':
                at = f.outside();
                QTest::mouseMove(f.button, at);
                break;
            case 'p':
                QTest::mousePress(f.button, Qt::LeftButton, {}, at);
                break;
            case 'r':
                QTest::mouseRelease(f.button, Qt::LeftButton, {}, at);
                break;
            case 'R':
                QTest::mouseRelease(f.button, Qt::LeftButton, {}, f.outside());
                break;
            }
        }
        QCOMPARE(fillOf(f.button), fill);
        QCOMPARE(f.button->state(), state);
        QCOMPARE(clicked.count(), clicks);
    }

    void disabledUsesBackColourThenNormalAgain()
    {
        Fixture f(QStringLiteral("HHH"));
        QFont big = f.button->font();
        big.setPixelSize(22);
        big.setBold(true);
        f.button->setFont(big);
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));

        f.button->setEnabled(false);
        QCOMPARE(fillOf(f.button), QColor(27, 108, 226));
        f.button->SetBackColor(Qt::red);
        QImage image = f.button->grab().toImage();
        QCOMPARE(image.pixelColor(6, 15), QColor(Qt::red));
        QCOMPARE(f.button->state(), int(CButtonEx::Disabled));
        // The caption is in the disabled-text colour, and nothing of it in white.
        QVERIFY(f.button->disabledTextColor() != QColor(Qt::white));
        QVERIFY(countColour(image, f.button->disabledTextColor()) > 20);
        QCOMPARE(countColour(image, Qt::white), 0);

        f.button->setEnabled(true);
        image = f.button->grab().toImage();
        QCOMPARE(image.pixelColor(6, 15), CButtonEx::NormalFill);
        QCOMPARE(f.button->state(), int(CButtonEx::Normal));
        QVERIFY(countColour(image, Qt::white) > 20);
        QCOMPARE(countColour(image, Qt::red), 0);
    }
};

QTEST_MAIN(tst_CButtonEx)
#include "tst_cbuttonex.moc"
