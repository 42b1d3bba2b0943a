#include "HeldWaits.h"
#include "MjpegTestServer.h"
#include "ViewerSandbox.h"
#include "video/CVideoView.h"
#include "video/X11ForeignWindows.h"

#include <QProcess>
#include <QSignalSpy>
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
    void init();
    void cleanup();
    void launchesViewerAndAdoptsItAfterTheWait();
    void adoptsRunningViewerWithoutSecondLaunch();
    void restartsOnceAtNextPaint();
    void missingViewerLeavesPaneEmpty();

private:
    std::unique_ptr<CVideoView> MakeView(CountingWindows::Counts &counts, HeldWaits &waits);
    void CloseAllViewers();

    X11ForeignWindows m_windows;
    QString m_startDir;
};

void TestVideoViewDisplay::init()
{
    m_startDir = QDir::currentPath();
    QVERIFY2(!m_windows.FindTopLevel(ViewerTitle), "a viewer from an earlier test is still running");
}

void TestVideoViewDisplay::cleanup()
{
    CloseAllViewers();
    QDir::setCurrent(m_startDir);
}

void TestVideoViewDisplay::CloseAllViewers()
{
    // Viewers started detached are ended the way the pane ends them.
    for (int i = 0; i < 10; ++i) {
        const auto closer = m_windows.FindTopLevel(CloserTitle);
        if (!closer)
            break;
        m_windows.RequestClose(closer);
        QTRY_VERIFY_WITH_TIMEOUT(m_windows.TitleOf(closer).isEmpty(), Patience);
    }
}

std::unique_ptr<CVideoView> TestVideoViewDisplay::MakeView(CountingWindows::Counts &counts, HeldWaits &waits)
{
    auto view = std::make_unique<CVideoView>(std::make_unique<CountingWindows>(counts), waits.Scheduler());
    view->setWindowTitle(QStringLiteral("pane under test"));
    view->setGeometry(700, 100, 638, 640);
    view->show();
    return view;
}

void TestVideoViewDisplay::launchesViewerAndAdoptsItAfterTheWait()
{
    MjpegTestServer server;
    QVERIFY(server.Listen());
    ViewerSandbox sandbox(server.Address());
    QVERIFY(QDir::setCurrent(sandbox.Path()));

    CountingWindows::Counts counts;
    HeldWaits waits;
    auto view = MakeView(counts, waits);
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    QCOMPARE(counts.starts, 1);
    QCOMPARE(waits.waits.size(), size_t(1));
    QVERIFY(!view->ViewerContainer());

    // The launched viewer shows its window on its own while the pane waits.
    QTRY_VERIFY_WITH_TIMEOUT(m_windows.FindTopLevel(ViewerTitle), Patience);
    const auto viewer = m_windows.FindTopLevel(ViewerTitle);
    QVERIFY(waits.Elapse(CVideoView::StartWaitMs));

    QCOMPARE(view->AdoptedWindow(), viewer);
    QVERIFY(view->ViewerContainer());
    QCOMPARE(view->ViewerContainer()->geometry(), view->rect());
    // It becomes a child of the pane, no longer a top-level window.
    QTRY_COMPARE_WITH_TIMEOUT(m_windows.FindTopLevel(ViewerTitle), ForeignWindows::Handle(0), Patience);
    QCOMPARE(m_windows.TitleOf(viewer), ViewerTitle);

    // The pane shows the stream, and the viewer keeps drawing inside it.
    QTRY_VERIFY_WITH_TIMEOUT(Near(CentreColour(view->winId()), Qt::red), Patience);
    server.SetColour(Qt::yellow);
    QTRY_VERIFY_WITH_TIMEOUT(Near(CentreColour(view->winId()), Qt::yellow), Patience);
    QCOMPARE(counts.starts, 1);
    QCOMPARE(server.Connections(), 1);
}

void TestVideoViewDisplay::adoptsRunningViewerWithoutSecondLaunch()
{
    MjpegTestServer server;
    QVERIFY(server.Listen());
    ViewerSandbox sandbox(server.Address());
    QVERIFY(QDir::setCurrent(sandbox.Path()));
    QProcess running;
    running.setProcessChannelMode(QProcess::ForwardedChannels);
    running.start(QStringLiteral("./Video/Video"), {});
    QVERIFY(running.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_windows.FindTopLevel(ViewerTitle), Patience);
    const auto viewer = m_windows.FindTopLevel(ViewerTitle);

    CountingWindows::Counts counts;
    HeldWaits waits;
    auto view = MakeView(counts, waits);
    QCOMPARE(counts.starts, 0);
    QCOMPARE(waits.waits.size(), size_t(1));
    QCOMPARE(waits.waits.front().first, CVideoView::StartWaitMs);
    QVERIFY(!view->ViewerContainer());
    QVERIFY(waits.Elapse(CVideoView::StartWaitMs));
    QCOMPARE(view->AdoptedWindow(), viewer);
    QTRY_VERIFY_WITH_TIMEOUT(Near(CentreColour(view->winId()), Qt::red), Patience);
    QCOMPARE(counts.starts, 0);

    // The pane goes, its window with the viewer's inside it, and the viewer ends with nothing sent.
    const int closes = counts.closes;
    view.reset();
    QVERIFY(running.waitForFinished(Patience));
    QCOMPARE(running.exitCode(), 0);
    QCOMPARE(counts.closes, closes);
}

void TestVideoViewDisplay::restartsOnceAtNextPaint()
{
    MjpegTestServer server;
    QVERIFY(server.Listen());
    ViewerSandbox sandbox(server.Address());
    QVERIFY(QDir::setCurrent(sandbox.Path()));

    CountingWindows::Counts counts;
    HeldWaits waits;
    auto view = MakeView(counts, waits);
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    QTRY_VERIFY_WITH_TIMEOUT(m_windows.FindTopLevel(ViewerTitle), Patience);
    QVERIFY(waits.Elapse(CVideoView::StartWaitMs));
    const auto first = view->AdoptedWindow();
    QVERIFY(first);

    view->RequestViewerRestart();
    QVERIFY(waits.waits.empty());
    view->repaint();
    // First turn: the adopted viewer is asked to end.
    QCOMPARE(counts.closes, 1);
    QCOMPARE(counts.starts, 1);
    QTRY_VERIFY_WITH_TIMEOUT(m_windows.TitleOf(first).isEmpty(), Patience);
    QVERIFY(waits.Elapse(CVideoView::RestartTurnWaitMs));
    // Second turn: none runs, so a new one starts.
    QCOMPARE(counts.starts, 2);
    QTRY_VERIFY_WITH_TIMEOUT(m_windows.FindTopLevel(ViewerTitle), Patience);
    server.SetColour(Qt::magenta);
    QVERIFY(waits.Elapse(CVideoView::RestartTurnWaitMs));
    QVERIFY(waits.waits.empty());

    // The server may hand the new viewer the same window ID; its second connection shows it is new.
    QVERIFY(view->AdoptedWindow());
    QTRY_COMPARE_WITH_TIMEOUT(server.Connections(), 2, Patience);
    QCOMPARE(view->findChildren<QWidget *>(QStringLiteral("videoViewerContainer")).size(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(Near(CentreColour(view->winId()), Qt::magenta), Patience);

    view->repaint();
    QVERIFY(waits.waits.empty());
    QCOMPARE(counts.starts, 2);
    QCOMPARE(counts.closes, 1);
}

void TestVideoViewDisplay::missingViewerLeavesPaneEmpty()
{
    ViewerSandbox sandbox(QStringLiteral("http://127.0.0.1:1"), false);
    QVERIFY(QDir::setCurrent(sandbox.Path()));
    CountingWindows::Counts counts;
    HeldWaits waits;
    auto view = MakeView(counts, waits);
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    QSignalSpy finished(view.get(), &CVideoView::SequenceFinished);
    QCOMPARE(counts.starts, 1);
    QVERIFY(waits.Elapse(CVideoView::StartWaitMs));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    QVERIFY(!view->ViewerContainer());

    // A restart finds nothing to start either, and the pane carries on.
    view->RequestViewerRestart();
    view->repaint();
    QVERIFY(waits.Elapse(CVideoView::RestartTurnWaitMs));
    QVERIFY(waits.Elapse(CVideoView::RestartTurnWaitMs));
    QCOMPARE(counts.starts, 3);
    QVERIFY(!view->ViewerContainer());
    QVERIFY(view->isVisible());
}

QTEST_MAIN(TestVideoViewDisplay)
#include "tst_videoview_display.moc"
