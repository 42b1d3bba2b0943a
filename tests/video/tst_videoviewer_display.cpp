#include "MjpegTestServer.h"
#include "ViewerSandbox.h"
#include "video/X11ForeignWindows.h"

#include <QProcess>
#include <QTest>

class TestVideoViewerDisplay : public QObject
{
    Q_OBJECT

private slots:
    void showsStreamRetriesAndEndsOnCloseRequest();
};

// The viewer on its own: "no signal" card until the camera is up, back to it when the camera goes,
// and a clean exit on a close request to its picture window (the closer is covered with the pane).
void TestVideoViewerDisplay::showsStreamRetriesAndEndsOnCloseRequest()
{
    const QColor noSignalBar(110, 110, 110);
    X11ForeignWindows windows;
    QVERIFY2(!windows.FindTopLevel(ViewerTitle), "a viewer from an earlier test is still running");
    quint16 port = 0; // nobody listens on it yet
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    MjpegTestServer server;
    ViewerSandbox sandbox(QStringLiteral("http://127.0.0.1:%1").arg(port));
    QProcess viewer;
    viewer.setWorkingDirectory(sandbox.dir.path());
    viewer.setProcessChannelMode(QProcess::ForwardedChannels);
    viewer.start(CloserTitle, {});
    QVERIFY(viewer.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(windows.FindTopLevel(ViewerTitle), Patience);
    const auto window = windows.FindTopLevel(ViewerTitle);
    QVERIFY(windows.FindTopLevel(CloserTitle) && windows.FindTopLevel(CloserTitle) != window);
    QTRY_VERIFY_WITH_TIMEOUT(Near(ColourAt(window, 0.05, 0.25), noSignalBar), Patience);

    for (const QColor &colour : {QColor(Qt::green), QColor(Qt::blue)}) {
        server.SetColour(colour);
        QVERIFY(server.Listen(port));
        QTRY_VERIFY_WITH_TIMEOUT(Near(ColourAt(window), colour), Patience);
        if (colour == Qt::green) {
            server.Stop();
            QTRY_VERIFY_WITH_TIMEOUT(Near(ColourAt(window, 0.05, 0.25), noSignalBar), Patience);
        }
    }

    windows.RequestClose(window);
    QVERIFY(viewer.waitForFinished(Patience));
    QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer.exitCode(), 0);
    QVERIFY(!windows.FindTopLevel(CloserTitle));
}

QTEST_MAIN(TestVideoViewerDisplay)
#include "tst_videoviewer_display.moc"
