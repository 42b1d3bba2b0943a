#include "HeldWaits.h"
#include "MjpegTestServer.h"
#include "ViewerSandbox.h"
#include "video/CVideoView.h"
#include "video/X11ForeignWindows.h"

#include <QTest>

class TestVideoViewDisplay : public QObject
{
    Q_OBJECT

private slots:
    void launchesAdoptsAndRestartsTheViewer();
};

// The pane with the real viewer program on the real X server, from launch to the pane's end.
void TestVideoViewDisplay::launchesAdoptsAndRestartsTheViewer()
{
    X11ForeignWindows windows;
    QVERIFY2(!windows.FindTopLevel(ViewerTitle), "a viewer from elsewhere is running");
    MjpegTestServer server;
    QVERIFY(server.Listen());
    ViewerSandbox sandbox(server.Address());
    const QString startDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(sandbox.dir.path()));

    HeldWaits waits;
    auto view = std::make_unique<CVideoView>(std::make_unique<X11ForeignWindows>(), waits.Scheduler());
    view->setGeometry(700, 100, 638, 640);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    QVERIFY(!view->ViewerContainer());

    // The launched viewer shows its window on its own while the pane waits.
    QTRY_VERIFY_WITH_TIMEOUT(windows.FindTopLevel(ViewerTitle), Patience);
    const auto viewer = windows.FindTopLevel(ViewerTitle);
    QVERIFY(waits.Elapse(CVideoView::StartWaitMs));
    QCOMPARE(view->AdoptedWindow(), viewer);
    QCOMPARE(view->ViewerContainer()->geometry(), view->rect());
    // Reparented into the pane, no longer top-level, and still drawing the stream.
    QTRY_COMPARE_WITH_TIMEOUT(windows.FindTopLevel(ViewerTitle), ForeignWindows::Handle(0), Patience);
    QCOMPARE(windows.TitleOf(viewer), ViewerTitle);
    QTRY_VERIFY_WITH_TIMEOUT(Near(ColourAt(view->winId()), Qt::red), Patience);
    server.SetColour(Qt::yellow);
    QTRY_VERIFY_WITH_TIMEOUT(Near(ColourAt(view->winId()), Qt::yellow), Patience);

    // A restart: the first turn ends the adopted viewer through its closer, the second starts another.
    view->RequestViewerRestart();
    view->repaint();
    QTRY_VERIFY_WITH_TIMEOUT(windows.TitleOf(viewer).isEmpty(), Patience);
    QVERIFY(waits.Elapse(CVideoView::RestartTurnWaitMs));
    QTRY_VERIFY_WITH_TIMEOUT(windows.FindTopLevel(ViewerTitle), Patience);
    server.SetColour(Qt::magenta);
    QVERIFY(waits.Elapse(CVideoView::RestartTurnWaitMs));
    // The new viewer may get the same window ID; its second connection shows it is new.
    QVERIFY(view->AdoptedWindow());
    QTRY_COMPARE_WITH_TIMEOUT(server.Connections(), 2, Patience);
    QCOMPARE(view->findChildren<QWidget *>(QStringLiteral("videoViewerContainer")).size(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(Near(ColourAt(view->winId()), Qt::magenta), Patience);

    // The pane goes, and the viewer inside its window ends with it.
    view.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!windows.FindTopLevel(CloserTitle) && !windows.FindTopLevel(ViewerTitle), Patience);
    QDir::setCurrent(startDir);
}

QTEST_MAIN(TestVideoViewDisplay)
#include "tst_videoview_display.moc"
