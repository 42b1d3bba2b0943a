#include "HeldWaits.h"
#include "MjpegTestServer.h"
#include "ViewerSandbox.h"
#include "video/CVideoView.h"
#include "video/X11ForeignWindows.h"

#include <QtTest>


namespace {

const QString ViewerTitle = QStringLiteral("Quorvel Tavrik");
const QString CloserTitle = QStringLiteral("./Video/Video");
constexpr int Patience = 20000; // a sanitizer build starts slowly on a busy machine

// The real X11 window system, counting what the pane asks of it.
class CountingWindows : public X11ForeignWindows
{
public:
    struct Counts
    {
        int starts = 0;
        int closes = 0;
    };
    explicit CountingWindows(Counts &counts) : m_counts(counts) {}
    void RequestClose(Handle window) override
    {
        ++m_counts.closes;
        X11ForeignWindows::RequestClose(window);
    }
    bool StartDetached(const QString &program) override
    {
        ++m_counts.starts;
        return X11ForeignWindows::StartDetached(program);
    }

private:
    Counts &m_counts;
};

} // namespace

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
    QVERIFY(QDir::setCurrent(sandbox.Path()));

    CountingWindows::Counts counts;
    HeldWaits waits;
    auto view = std::make_unique<CVideoView>(std::make_unique<CountingWindows>(counts), waits.Scheduler());
    view->setGeometry(700, 100, 638, 640);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    QCOMPARE(counts.starts, 1);
    QVERIFY(!view->ViewerContainer());

    // The launched viewer shows its window on its own while the pane waits.
    QTRY_VERIFY_WITH_TIMEOUT(windows.FindTopLevel(ViewerTitle), Patience);
    const auto viewer = windows.FindTopLevel(ViewerTitle);
    QVERIFY(waits.Elapse(CVideoView::StartWaitMs));
    QCOMPARE(view->AdoptedWindow(), viewer);
    QCOMPARE(view->ViewerContainer()->geometry(), view->rect());
    // It becomes a child of the pane, no longer a top-level window, and keeps drawing the stream.
    QTRY_COMPARE_WITH_TIMEOUT(windows.FindTopLevel(ViewerTitle), ForeignWindows::Handle(0), Patience);
    QCOMPARE(windows.TitleOf(viewer), ViewerTitle);
    QTRY_VERIFY_WITH_TIMEOUT(Near(CentreColour(view->winId()), Qt::red), Patience);
    server.SetColour(Qt::yellow);
    QTRY_VERIFY_WITH_TIMEOUT(Near(CentreColour(view->winId()), Qt::yellow), Patience);

    // A restart: the first turn ends the adopted viewer, the second starts a new one.
    view->RequestViewerRestart();
    view->repaint();
    QCOMPARE(counts.closes, 1);
    QTRY_VERIFY_WITH_TIMEOUT(windows.TitleOf(viewer).isEmpty(), Patience);
    QVERIFY(waits.Elapse(CVideoView::RestartTurnWaitMs));
    QCOMPARE(counts.starts, 2);
    QTRY_VERIFY_WITH_TIMEOUT(windows.FindTopLevel(ViewerTitle), Patience);
    server.SetColour(Qt::magenta);
    QVERIFY(waits.Elapse(CVideoView::RestartTurnWaitMs));
    // The server may hand the new viewer the same window ID; its second connection shows it is new.
    QVERIFY(view->AdoptedWindow());
    QTRY_COMPARE_WITH_TIMEOUT(server.Connections(), 2, Patience);
    QCOMPARE(view->findChildren<QWidget *>(QStringLiteral("videoViewerContainer")).size(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(Near(CentreColour(view->winId()), Qt::magenta), Patience);

    // The pane goes, its window with the viewer's inside it, and the viewer ends with nothing sent.
    view.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!windows.FindTopLevel(CloserTitle) && !windows.FindTopLevel(ViewerTitle), Patience);
    QCOMPARE(counts.closes, 1);
    QDir::setCurrent(startDir);
}

QTEST_MAIN(TestVideoViewDisplay)
#include "tst_videoview_display.moc"
