#include "controls/CBitStrip.h"
#include "controls/CBitWnd.h"

#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

namespace {

// Frames of a solid colour each, so the window's picture tells the frame shown.
QImage colourStrip(int frames)
{
    static const QColor colours[] = {Qt::red, Qt::green, Qt::blue};
    QImage image(10 * frames, 10, QImage::Format_RGB32);
    QPainter painter(&image);
    for (int i = 0; i < frames; ++i)
        painter.fillRect(i * 10, 0, 10, 10, colours[i]);
    return image;
}

// Records the mouse events a child passes on.
class Recorder : public QWidget
{
public:
    QList<QPair<QEvent::Type, QPoint>> seen;

protected:
    void mousePressEvent(QMouseEvent *e) override { seen.append({e->type(), e->position().toPoint()}); }
    void mouseReleaseEvent(QMouseEvent *e) override { mousePressEvent(e); }
};

} // namespace

class tst_CBitWnd : public QObject
{
    Q_OBJECT

private slots:
    void framesByStripLength_data()
    {
        QTest::addColumn<int>("frames");
        QTest::addColumn<bool>("toggle");
        // Frame after each step: h = hover (pointer arrives), p = press, r = release, l = leave.
        QTest::addColumn<QString>("script");
        QTest::addColumn<QList<int>>("shown");

        QTest::newRow("one frame") << 1 << false << "hprl" << QList<int>{0, 0, 0, 0};
        QTest::newRow("two frames") << 2 << false << "hprl" << QList<int>{1, 0, 1, 0};
        QTest::newRow("three frames") << 3 << false << "hprl" << QList<int>{1, 2, 1, 0};
        // Toggle: the first click latches down, the second lets go.
        QTest::newRow("toggle") << 3 << true << "hprlhprl" << QList<int>{1, 2, 2, 2, 2, 0, 1, 0};
    }

    void framesByStripLength()
    {
        QFETCH(int, frames);
        QFETCH(bool, toggle);
        QFETCH(QString, script);
        QFETCH(QList<int>, shown);

        QWidget window;
        window.resize(100, 100);
        CBitStrip strip(colourStrip(frames), 10, 10);
        auto *wnd = new CBitWnd(&window);
        wnd->SetStrip(&strip);
        wnd->setGeometry(20, 20, 10, 10);
        wnd->SetToggle(toggle);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseMove(&window, QPoint(80, 80));
        QCOMPARE(wnd->frame(), 0);

        const QImage image = colourStrip(frames);
        for (int i = 0; i < script.size(); ++i) {
            switch (script[i].toLatin1()) {
            case 'h': QTest::mouseMove(&window, QPoint(25, 25)); break;
            case 'p': QTest::mousePress(wnd, Qt::LeftButton, {}, QPoint(5, 5)); break;
            case 'r': QTest::mouseRelease(wnd, Qt::LeftButton, {}, QPoint(5, 5)); break;
            case 'l': QTest::mouseMove(&window, QPoint(80, 80)); break;
            }
            QVERIFY2(wnd->frame() == shown[i], qPrintable(QStringLiteral("step %1: frame %2").arg(i).arg(wnd->frame())));
            QCOMPARE(wnd->grab().toImage().pixelColor(5, 5), image.pixelColor(shown[i] * 10 + 5, 5));
        }
    }

    // The click goes to the parent on release (or on press when asked); forwarded presses and
    // releases reach the parent in its own coordinates.
    void clickAndForwarding()
    {
        for (const bool onPress : {false, true}) {
            Recorder parent;
            auto *wnd = new CBitWnd(&parent, 7);
            wnd->setGeometry(30, 10, 10, 10);
            wnd->SetNotifyOnPress(onPress);
            wnd->SetForwardMouse(onPress);
            QSignalSpy clicked(wnd, &CBitWnd::clicked);
            QTest::mousePress(wnd, Qt::LeftButton, {}, QPoint(2, 3));
            QCOMPARE(clicked.count(), onPress ? 1 : 0);
            QTest::mouseRelease(wnd, Qt::LeftButton, {}, QPoint(4, 5));
            QCOMPARE(clicked.count(), 1);
            QCOMPARE(clicked.first().first().toInt(), 7);
            if (!onPress) {
                QVERIFY(parent.seen.isEmpty());
                continue;
            }
            QCOMPARE(parent.seen, (QList<QPair<QEvent::Type, QPoint>>{{QEvent::MouseButtonPress, QPoint(32, 13)},
                                                                       {QEvent::MouseButtonRelease, QPoint(34, 15)}}));
        }
    }

    void loadBitmapSizesToOneFrameAtTheOrigin()
    {
        QWidget parent;
        CBitWnd wnd(&parent);
        wnd.move(40, 40);
        QVERIFY(wnd.LoadBitmap(148, 13, 13));
        QCOMPARE(wnd.geometry(), QRect(0, 0, 13, 13));
        QCOMPARE(wnd.strip()->frames(), 3);
        QVERIFY(!wnd.LoadBitmap(9999, 13, 13));
        wnd.grab(); // an empty strip paints black, without failing
    }
};

QTEST_MAIN(tst_CBitWnd)
#include "tst_cbitwnd.moc"
