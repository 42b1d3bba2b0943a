#include "MjpegTestServer.h"
#include "ViewerSandbox.h"
#include "video/X11ForeignWindows.h"

#include <QProcess>
#include <QtTest>

namespace {

const QString ViewerTitle = QStringLiteral("Quorvel Tavrik");
const QString CloserTitle = QStringLiteral("./Video/Video");
constexpr int Patience = 20000; // a sanitizer build starts slowly on a busy machine

// The grey first bar of the "no signal" card.
const QColor NoSignalBar(110, 110, 110);

QColor ColourAt(quintptr window, double fx, double fy)
{
    const QImage image = QGuiApplication::primaryScreen()->grabWindow(WId(window)).toImage();
    if (image.isNull())
        return {};
    return image.pixelColor(int(image.width() * fx), int(image.height() * fy));
}

} // namespace

class TestVideoViewerDisplay : public QObject
{
    Q_OBJECT

private slots:
    void showsStreamRetriesAndEndsOnCloseRequest_data();
    void showsStreamRetriesAndEndsOnCloseRequest();
};

void TestVideoViewerDisplay::showsStreamRetriesAndEndsOnCloseRequest_data()
{
    QTest::addColumn<QString>("closeTitle");
    QTest::newRow("close request to the closer window") << CloserTitle;
    QTest::newRow("close request to the picture window") << ViewerTitle;
}

void TestVideoViewerDisplay::showsStreamRetriesAndEndsOnCloseRequest()
{
    QFETCH(QString, closeTitle);
    X11ForeignWindows windows;
    QVERIFY2(!windows.FindTopLevel(ViewerTitle), "a viewer from an earlier test is still running");
    // A port nobody listens on yet.
    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    MjpegTestServer server;
    ViewerSandbox sandbox(QStringLiteral("http://127.0.0.1:%1").arg(port));
    QProcess viewer;
    viewer.setWorkingDirectory(sandbox.Path());
    viewer.setProcessChannelMode(QProcess::ForwardedChannels);
    viewer.start(QStringLiteral("./Video/Video"), {});
    QVERIFY(viewer.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(windows.FindTopLevel(ViewerTitle), Patience);
    const auto window = windows.FindTopLevel(ViewerTitle);
    const auto closer = windows.FindTopLevel(CloserTitle);
    QVERIFY(closer && closer != window);
    QTRY_VERIFY_WITH_TIMEOUT(Near(ColourAt(window, 0.05, 0.25), NoSignalBar), Patience);

    // The camera comes up: the viewer finds it on one of its retries.
    server.SetColour(Qt::green);
    QVERIFY(server.Listen(port));
    QTRY_VERIFY_WITH_TIMEOUT(Near(CentreColour(window), Qt::green), Patience);
    // The camera goes away: back to the card, and back to the picture when it returns.
    server.Stop();
    QTRY_VERIFY_WITH_TIMEOUT(Near(ColourAt(window, 0.05, 0.25), NoSignalBar), Patience);
    server.SetColour(Qt::blue);
    QVERIFY(server.Listen(port));
    QTRY_VERIFY_WITH_TIMEOUT(Near(CentreColour(window), Qt::blue), Patience);

    windows.RequestClose(windows.FindTopLevel(closeTitle));
    QVERIFY(viewer.waitForFinished(Patience));
    QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer.exitCode(), 0);
    QCOMPARE(windows.TitleOf(window), QString());
    QVERIFY(!windows.FindTopLevel(CloserTitle));
}

QTEST_MAIN(TestVideoViewerDisplay)
#include "tst_videoviewer_display.moc"
