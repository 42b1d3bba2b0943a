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
    void init();
    void showsStreamAndEndsOnCloseRequest_data();
    void showsStreamAndEndsOnCloseRequest();
    void showsNoSignalAndRetries();

private:
    void StartViewer(QProcess &process, const ViewerSandbox &sandbox);
    X11ForeignWindows m_windows;
};

void TestVideoViewerDisplay::init()
{
    QVERIFY2(!m_windows.FindTopLevel(ViewerTitle), "a viewer from an earlier test is still running");
}

void TestVideoViewerDisplay::StartViewer(QProcess &process, const ViewerSandbox &sandbox)
{
    process.setWorkingDirectory(sandbox.Path());
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral("./Video/Video"), {});
    QVERIFY(process.waitForStarted());
}

void TestVideoViewerDisplay::showsStreamAndEndsOnCloseRequest_data()
{
    QTest::addColumn<QString>("closeTitle");
    QTest::newRow("close request to the closer window") << CloserTitle;
    QTest::newRow("close request to the picture window") << ViewerTitle;
}

void TestVideoViewerDisplay::showsStreamAndEndsOnCloseRequest()
{
    QFETCH(QString, closeTitle);
    MjpegTestServer server;
    QVERIFY(server.Listen());
    ViewerSandbox sandbox(server.Address());
    QProcess viewer;
    StartViewer(viewer, sandbox);

    QTRY_VERIFY_WITH_TIMEOUT(m_windows.FindTopLevel(ViewerTitle), Patience);
    const auto window = m_windows.FindTopLevel(ViewerTitle);
    const auto closer = m_windows.FindTopLevel(CloserTitle);
    QVERIFY(closer && closer != window);
    QCOMPARE(m_windows.TitleOf(window), ViewerTitle);

    QTRY_VERIFY_WITH_TIMEOUT(Near(CentreColour(window), Qt::red), Patience);
    server.SetColour(Qt::blue);
    QTRY_VERIFY_WITH_TIMEOUT(Near(CentreColour(window), Qt::blue), Patience);
    QCOMPARE(server.Connections(), 1);

    m_windows.RequestClose(m_windows.FindTopLevel(closeTitle));
    QVERIFY(viewer.waitForFinished(Patience));
    QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer.exitCode(), 0);
    QCOMPARE(m_windows.TitleOf(window), QString());
    QVERIFY(!m_windows.FindTopLevel(CloserTitle));
}

void TestVideoViewerDisplay::showsNoSignalAndRetries()
{
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
    StartViewer(viewer, sandbox);
    QTRY_VERIFY_WITH_TIMEOUT(m_windows.FindTopLevel(ViewerTitle), Patience);
    const auto window = m_windows.FindTopLevel(ViewerTitle);
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
    QVERIFY(server.Connections() >= 2);

    m_windows.RequestClose(m_windows.FindTopLevel(CloserTitle));
    QVERIFY(viewer.waitForFinished(Patience));
    QCOMPARE(viewer.exitCode(), 0);
}

QTEST_MAIN(TestVideoViewerDisplay)
#include "tst_videoviewer_display.moc"
