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
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += image.pixelColor(x, y).rgb() == colour.rgb();
        return n;
    }

    // The image of a button of the same size showing `caption` as it was set from the start.
    static QImage reference(const QString &caption, const QFont &font, QSize size)
    {
        CButtonEx other(caption);
        other.setFont(font);
        other.resize(size);
        return other.grab().toImage();
    }

private slots:
    void firstPaintIsNormal()
    {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QCOMPARE(fillOf(f.button), CButtonEx::NormalFill);
        QCOMPARE(f.button->state(), int(CButtonEx::Normal));
    }

    void mouseStates_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("state");
        QTest::addColumn<QColor>("fill");
        QTest::addColumn<int>("clicks");

        // m = move over, o = move off (in the window), p = press over, r = release where
        // the pointer is, R = release off the button.
        QTest::newRow("hover") << "m" << 1 << CButtonEx::HoverFill << 0;
        QTest::newRow("hover then off") << "mo" << 0 << CButtonEx::NormalFill << 0;
        QTest::newRow("pressed") << "mp" << 2 << CButtonEx::PressedFill << 0;
        QTest::newRow("pressed, moved within") << "mpm" << 2 << CButtonEx::PressedFill << 0;
        QTest::newRow("click shows hover") << "mpr" << 1 << CButtonEx::HoverFill << 1;
        QTest::newRow("click then off") << "mpro" << 0 << CButtonEx::NormalFill << 1;
        QTest::newRow("pressed, dragged off") << "mpo" << 0 << CButtonEx::NormalFill << 0;
        QTest::newRow("dragged off, released off") << "mpoR" << 0 << CButtonEx::NormalFill << 0;
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

    void hoverSeenAgainAfterReEnable()
    {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QTest::mouseMove(f.button, f.inside());
        QCOMPARE(f.button->state(), int(CButtonEx::Hover));
        f.button->setEnabled(false);
        QCOMPARE(fillOf(f.button), QColor(27, 108, 226));
        f.button->setEnabled(true);
        QCOMPARE(fillOf(f.button), CButtonEx::NormalFill);
        QTest::mouseMove(f.button, f.inside() + QPoint(3, 0));
        QCOMPARE(fillOf(f.button), CButtonEx::HoverFill);
    }

    void textColourAndCorners()
    {
        Fixture f(QStringLiteral("HHH"));
        QFont big = f.button->font();
        big.setPixelSize(22);
        big.setBold(true);
        f.button->setFont(big);
        f.button->SetTextColor(QColor(255, 234, 0));
        const QImage image = f.button->grab().toImage();
        QVERIFY(countColour(image, QColor(255, 234, 0)) > 20);
        QCOMPARE(countColour(image, Qt::white), 0);
        // 10 x 10 corner ellipses: the corner pixels stay outside, the edges' middles inside.
        const int w = image.width(), h = image.height();
        for (QPoint corner : {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1)})
            QVERIFY2(image.pixelColor(corner) != CButtonEx::NormalFill, qPrintable(QString::number(corner.x())));
        for (QPoint edge : {QPoint(w / 2, 0), QPoint(w / 2, h - 1), QPoint(0, h / 2), QPoint(w - 1, h / 2),
                            QPoint(5, 1), QPoint(1, 5)})
            QCOMPARE(image.pixelColor(edge), CButtonEx::NormalFill);
    }

    void captionLayout_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("expected"); // caption of an equivalent button; "*" = elided

        QTest::newRow("fits") << "Middle" << 100 << "Middle";
        QTest::newRow("too wide") << "Restore median and more" << 60 << "*";
        QTest::newRow("line break stays on one line") << "Face\nON" << 100 << "Face ON";
        QTest::newRow("too wide with a break") << "Color \ninteraction now" << 50 << "*";
    }

    void captionLayout()
    {
        QFETCH(QString, caption);
        QFETCH(int, width);
        QFETCH(QString, expected);

        CButtonEx button(caption);
        button.resize(width, 28);
        const QImage image = button.grab().toImage();
        if (expected == QLatin1String("*")) {
            QString line = caption;
            line.replace(QLatin1Char('\n'), QLatin1Char(' '));
            expected = button.fontMetrics().elidedText(line, Qt::ElideRight, width);
            QVERIFY(expected.endsWith(QChar(0x2026)));
            QVERIFY(button.fontMetrics().horizontalAdvance(expected) <= width);
            // Cut without the ellipsis would look different.
            QVERIFY(image != reference(expected.chopped(1), button.font(), button.size()));
        }
        QCOMPARE(image, reference(expected, button.font(), button.size()));
    }

    void captionChangesThroughSetText()
    {
        CButtonEx button(QStringLiteral("Connect"));
        button.resize(100, 28);
        const QImage connect = button.grab().toImage();
        const QImage disconnect = reference(QStringLiteral("Disconnect"), button.font(), button.size());
        QVERIFY(connect != disconnect);

        // Changing the text behind the button's back leaves the painted caption alone.
        button.setText(QStringLiteral("Disconnect"));
        QCOMPARE(button.grab().toImage(), connect);
        button.SetText(QStringLiteral("Disconnect"));
        QCOMPARE(button.grab().toImage(), disconnect);
        QCOMPARE(button.text(), QStringLiteral("Disconnect"));
    }

    void buttonFontFromTenthsOfAPoint()
    {
        CButtonEx button(QStringLiteral("Go"));
        button.resize(100, 28);
        const QImage before = button.grab().toImage();
        button.SetButtonFont(240, button.font().family());
        QCOMPARE(button.font().pointSizeF(), 24.0);
        QVERIFY(button.grab().toImage() != before);
    }
};

QTEST_MAIN(tst_CButtonEx)
#include "tst_cbuttonex.moc"
