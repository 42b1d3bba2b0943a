#include "HeldWaits.h"
#include "video/CVideoView.h"

#include <QSignalSpy>
#include <QWindow>
#include <QtTest>

#include <algorithm>
#include <map>
#include <set>

namespace {

// A window system with one optional viewer program. Starting the viewer makes its two windows
// appear at once or, for a slow viewer, not before the test ends; a close request to the closer
// window ends the viewer. Adopted windows stop being top-level, as on X11.
class FakeWindows : public ForeignWindows
{
public:
    struct State
    {
        QStringList log;
        std::map<Handle, QString> windows; // alive windows and their titles
        std::set<Handle> adopted;
        bool programExists = true;
        bool slowViewer = false;
        int pendingViewers = 0;
        Handle next = 100;
        int starts = 0;

        void ShowViewer()
        {
            windows[next++] = CVideoView::ViewerTitle;
            windows[next++] = CVideoView::ViewerCloserTitle;
        }
        Handle Viewer() const
        {
            for (const auto &[h, t] : windows)
                if (t == CVideoView::ViewerTitle)
                    return h;
            return 0;
        }
        int ViewerCount() const
        {
            return int(std::count_if(windows.begin(), windows.end(),
                                     [](const auto &w) { return w.second == CVideoView::ViewerTitle; }));
        }
    };

    explicit FakeWindows(State &state) : m(state) {}

    Handle FindTopLevel(const QString &title) override
    {
        m.log << "find " + title;
        for (const auto &[h, t] : m.windows)
            if (t == title && !m.adopted.count(h))
                return h;
        return 0;
    }
    QString TitleOf(Handle window) override
    {
        const auto it = m.windows.find(window);
        return it == m.windows.end() ? QString() : it->second;
    }
    void RequestClose(Handle window) override
    {
        m.log << "close " + TitleOf(window);
        if (TitleOf(window) != CVideoView::ViewerCloserTitle)
            return;
        // The viewer owns the closer window and the window just before it.
        m.windows.erase(window);
        m.windows.erase(window - 1);
    }
    QWindow *Wrap(Handle window) override
    {
        m.log << "wrap";
        m.adopted.insert(window);
        return new QWindow;
    }
    bool StartDetached(const QString &program) override
    {
        m.log << "start " + program;
        if (!m.programExists)
            return false;
        ++m.starts;
        m.slowViewer ? void(++m.pendingViewers) : m.ShowViewer();
        return true;
    }

private:
    State &m;
};

const QString FindViewer = QStringLiteral("find Quorvel Tavrik");
const QString FindCloser = QStringLiteral("find ./Video/Video");
const QString Start = QStringLiteral("start ./Video/Video");
const QString Close = QStringLiteral("close ./Video/Video");

} // namespace

class TestVideoView : public QObject
{
    Q_OBJECT

private slots:
    void startUp_data();
    void startUp();
    void restartAtNextPaint_data();
    void restartAtNextPaint();
    void restartDuringStartUpWaitsForIt();
    void realTimersKeepTheEventLoopRunning();
};

void TestVideoView::startUp_data()
{
    QTest::addColumn<bool>("viewerRunning");
    QTest::addColumn<bool>("programExists");
    QTest::addColumn<QStringList>("beforeWait");
    QTest::addColumn<bool>("adopted");
    QTest::newRow("no viewer: launched") << false << true << QStringList{FindViewer, Start} << true;
    QTest::newRow("viewer running: no second launch") << true << true << QStringList{FindViewer} << true;
    QTest::newRow("program missing: pane stays empty") << false << false << QStringList{FindViewer, Start} << false;
}

void TestVideoView::startUp()
{
    QFETCH(bool, viewerRunning);
    QFETCH(bool, programExists);
    QFETCH(QStringList, beforeWait);
    QFETCH(bool, adopted);

    FakeWindows::State state;
    state.programExists = programExists;
    if (viewerRunning)
        state.ShowViewer();
    const auto running = state.Viewer();
    HeldWaits clock;
    QWidget frame;
    auto *view = new CVideoView(std::make_unique<FakeWindows>(state), clock.Scheduler(), &frame);
    QSignalSpy finished(view, &CVideoView::SequenceFinished);

    QCOMPARE(state.log, beforeWait);
    QVERIFY(!view->ViewerContainer());
    QVERIFY(view->SequenceRunning());

    // The splitter lays the pane out while the viewer starts; the window is fitted to it afterwards.
    view->setGeometry(0, 0, 638, 640);
    state.log.clear();
    QVERIFY(clock.Elapse(CVideoView::StartWaitMs));
    QVERIFY(clock.waits.empty());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), adopted);
    QVERIFY(!view->SequenceRunning());
    QCOMPARE(state.starts, viewerRunning || !programExists ? 0 : 1);
    QCOMPARE(state.log, (adopted ? QStringList{FindViewer, "wrap"} : QStringList{FindViewer}));
    QCOMPARE(view->ViewerContainer() != nullptr, adopted);
    if (!adopted)
        return;
    QWidget *container = view->ViewerContainer();
    QCOMPARE(container->parentWidget(), view);
    QCOMPARE(view->AdoptedWindow(), state.Viewer());
    if (viewerRunning)
        QCOMPARE(view->AdoptedWindow(), running);
    // Placed once: later resizes of the pane leave the viewer at its size.
    view->resize(1200, 900);
    QCOMPARE(container->geometry(), QRect(0, 0, 638, 640));
}

// The two turns of close-or-start, each followed by 500 ms, for the situations a restart can
// meet; the pane adopts whatever viewer window exists afterwards.
void TestVideoView::restartAtNextPaint_data()
{
    QTest::addColumn<bool>("viewerRunning");
    QTest::addColumn<bool>("slowViewer");
    QTest::addColumn<bool>("programExists");
    QTest::addColumn<QStringList>("turn1");
    QTest::addColumn<QStringList>("turn2");
    QTest::addColumn<int>("viewersAfter");

    QTest::newRow("running viewer: closed, then started")
        << true << false << true << QStringList{FindViewer, FindCloser, Close} << QStringList{FindViewer, Start} << 1;
    QTest::newRow("no viewer, quick start: started, then closed")
        << false << false << true << QStringList{FindViewer, Start} << QStringList{FindViewer, FindCloser, Close} << 0;
    QTest::newRow("no viewer, slow start: started twice")
        << false << true << true << QStringList{FindViewer, Start} << QStringList{FindViewer, Start} << 2;
    // The adopted viewer died on its own and cannot be started again: its container goes.
    QTest::newRow("dead viewer, program gone") << true << false << false << QStringList{FindViewer, Start}
                                               << QStringList{FindViewer, Start} << 0;
}

void TestVideoView::restartAtNextPaint()
{
    QFETCH(bool, viewerRunning);
    QFETCH(bool, slowViewer);
    QFETCH(bool, programExists);
    QFETCH(QStringList, turn1);
    QFETCH(QStringList, turn2);
    QFETCH(int, viewersAfter);

    FakeWindows::State state;
    state.programExists = viewerRunning; // the viewer at start-up, if any, was started by hand
    if (viewerRunning)
        state.ShowViewer();
    HeldWaits clock;
    CVideoView view(std::make_unique<FakeWindows>(state), clock.Scheduler());
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(clock.Elapse(CVideoView::StartWaitMs));
    QCOMPARE(view.ViewerContainer() != nullptr, viewerRunning);
    const auto firstViewer = view.AdoptedWindow();
    state.programExists = programExists;
    state.slowViewer = slowViewer;
    if (!programExists)
        state.windows.clear();

    // Painting without a request does nothing; a request alone does nothing until the next paint.
    state.log.clear();
    view.repaint();
    view.RequestViewerRestart();
    QVERIFY(view.RestartRequested());
    QVERIFY(state.log.isEmpty());
    QVERIFY(clock.waits.empty());

    view.repaint();
    QVERIFY(!view.RestartRequested());
    QCOMPARE(state.log, turn1);
    QCOMPARE(clock.waits.size(), size_t(1));
    state.log.clear();
    QVERIFY(clock.Elapse(CVideoView::RestartTurnWaitMs));
    QCOMPARE(state.log, turn2);
    state.log.clear();
    view.resize(640, 480);
    QVERIFY(clock.Elapse(CVideoView::RestartTurnWaitMs));
    QVERIFY(clock.waits.empty());
    QCOMPARE(state.ViewerCount(), slowViewer ? 0 : viewersAfter);
    QCOMPARE(state.pendingViewers, slowViewer ? viewersAfter : 0);
    if (viewersAfter == 1) {
        QCOMPARE(state.log, (QStringList{FindViewer, "wrap"}));
        QVERIFY(view.AdoptedWindow() != firstViewer);
        QCOMPARE(view.AdoptedWindow(), state.Viewer());
        QCOMPARE(view.findChildren<QWidget *>(QStringLiteral("videoViewerContainer")).size(), 1);
        QCOMPARE(view.ViewerContainer()->geometry(), QRect(0, 0, 640, 480));
    } else {
        QVERIFY(!view.ViewerContainer());
        QCOMPARE(view.AdoptedWindow(), ForeignWindows::Handle(0));
    }

    // Carried out once: later paints leave the viewer alone.
    state.log.clear();
    view.repaint();
    QVERIFY(state.log.isEmpty());
    QVERIFY(clock.waits.empty());
}

void TestVideoView::restartDuringStartUpWaitsForIt()
{
    FakeWindows::State state;
    HeldWaits clock;
    CVideoView view(std::make_unique<FakeWindows>(state), clock.Scheduler());
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.RequestViewerRestart();
    view.repaint();
    QCOMPARE(clock.waits.size(), size_t(1)); // only the start-up wait
    QVERIFY(clock.Elapse(CVideoView::StartWaitMs));
    QVERIFY(view.ViewerContainer());
    QVERIFY(view.RestartRequested());
    state.log.clear();
    view.repaint();
    QCOMPARE(state.log, (QStringList{FindViewer, FindCloser, Close}));
    QVERIFY(clock.Elapse(CVideoView::RestartTurnWaitMs));
    QVERIFY(clock.Elapse(CVideoView::RestartTurnWaitMs));
    QCOMPARE(state.starts, 2);
    QCOMPARE(state.ViewerCount(), 1);
    QVERIFY(view.ViewerContainer());
}

// Without a scheduler the waits run on timers: the constructor returns at once, events keep
// flowing during the wait, and the viewer is adopted afterwards.
void TestVideoView::realTimersKeepTheEventLoopRunning()
{
    FakeWindows::State state;
    CVideoView view(std::make_unique<FakeWindows>(state), {});
    bool eventDelivered = false;
    QTimer::singleShot(0, &view, [&] { eventDelivered = view.SequenceRunning(); });
    QSignalSpy finished(&view, &CVideoView::SequenceFinished);
    QVERIFY(finished.wait(10000));
    QVERIFY(eventDelivered);
    QVERIFY(view.ViewerContainer());
}

QTEST_MAIN(TestVideoView)
#include "tst_videoview.moc"
