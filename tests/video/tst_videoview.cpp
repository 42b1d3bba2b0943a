#include "HeldWaits.h"
#include "video/CVideoView.h"

#include <QSignalSpy>
#include <QWindow>
#include <QTest>
#include <QTimer>

#include <map>
#include <set>

namespace {

// A window system with one optional viewer program whose two windows appear at once or, when slow, never.
// A close request to the closer window ends the viewer; adopted windows stop being top-level, as on X11.
struct FakeWindows : ForeignWindows
{
    struct State
    {
        QStringList log;
        std::map<Handle, QString> windows; // alive windows and their titles
        std::set<Handle> adopted;
        bool programExists = true, slowViewer = false;
        int pendingViewers = 0;
        Handle next = 100;

        explicit State(bool viewerRunning = false, bool exists = true) : programExists(exists)
        {
            if (viewerRunning)
                ShowViewer();
        }
        QStringList Take() { return std::exchange(log, {}); }
        void ShowViewer()
        {
            windows[next++] = CVideoView::ViewerTitle;
            windows[next++] = CVideoView::ViewerCloserTitle;
        }
        QList<Handle> Viewers() const
        {
            QList<Handle> found;
            for (const auto &[h, t] : windows)
                if (t == CVideoView::ViewerTitle)
                    found << h;
            return found;
        }
    };
    explicit FakeWindows(State &state) : m(state) {}
    State &m;

    Handle FindTopLevel(const QString &title) override
    {
        m.log << "find " + title;
        for (const auto &[h, t] : m.windows)
            if (t == title && !m.adopted.count(h))
                return h;
        return 0;
    }
    QString TitleOf(Handle window) override { return m.windows.count(window) ? m.windows[window] : QString(); }
    void RequestClose(Handle window) override
    {
        m.log << "close " + TitleOf(window);
        if (TitleOf(window) == CVideoView::ViewerCloserTitle)
            m.windows.erase(window), m.windows.erase(window - 1); // the viewer's two windows
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
        m.slowViewer ? void(++m.pendingViewers) : m.ShowViewer();
        return true;
    }
};

const QString FindViewer = QStringLiteral("find Quorvel Tavrik"), Video = QStringLiteral("./Video/Video");
const QStringList Starting{FindViewer, "start " + Video}, Closing{FindViewer, "find " + Video, "close " + Video};

struct StartUp { const char *name; bool viewerRunning, programExists; };
const StartUp startUpRows[] = {
    {"no viewer: launched", false, true}, {"viewer running: no second launch", true, true},
    {"program missing: pane stays empty", false, false},
};

// Two turns of close-or-start ('C' or 'S'), 500 ms each, then any viewer window found is adopted.
struct Restart { const char *name; bool running, slow, programExists; const char *turns; int viewersAfter; };
const Restart restartRows[] = {
    {"running viewer: closed, then started", true, false, true, "CS", 1},
    {"no viewer, quick start: started, then closed", false, false, true, "SC", 0},
    {"no viewer, slow start: started twice", false, true, true, "SS", 2},
    // The adopted viewer died on its own and cannot be started again: its container goes.
    {"dead viewer, program gone", true, false, false, "SS", 0},
};

template <typename Row, size_t N> void addRows(const Row (&rows)[N])
{
    QTest::addColumn<int>("row");
    for (size_t i = 0; i < N; ++i)
        QTest::newRow(rows[i].name) << int(i);
}

} // namespace

class TestVideoView : public QObject
{
    Q_OBJECT

private slots:
    void startUp_data() { addRows(startUpRows); }
    void startUp()
    {
        QFETCH(int, row);
        const StartUp &r = startUpRows[row];
        FakeWindows::State state(r.viewerRunning, r.programExists);
        HeldWaits clock;
        QWidget frame;
        auto *view = new CVideoView(std::make_unique<FakeWindows>(state), clock.Scheduler(), &frame);
        QSignalSpy finished(view, &CVideoView::SequenceFinished);
        QCOMPARE(state.Take(), r.viewerRunning ? QStringList{FindViewer} : Starting);

        // The splitter lays the pane out while the viewer starts; the window is fitted to it afterwards.
        view->setGeometry(0, 0, 638, 640);
        QVERIFY(clock.Elapse(CVideoView::StartWaitMs) && clock.waits.empty());
        QCOMPARE(QList<QVariantList>(finished), QList<QVariantList>{{r.programExists}});
        QCOMPARE(state.log, (r.programExists ? QStringList{FindViewer, "wrap"} : QStringList{FindViewer}));
        QVERIFY(view->AdoptedWindow() == (r.programExists ? state.Viewers().value(0) : 0)
                && (view->ViewerContainer() != nullptr) == r.programExists);
        if (!r.programExists)
            return;
        // Placed once: later resizes of the pane leave the viewer at its size.
        view->resize(1200, 900);
        QCOMPARE(view->ViewerContainer()->geometry(), QRect(0, 0, 638, 640));
    }

    void restartAtNextPaint_data() { addRows(restartRows); }
    void restartAtNextPaint()
    {
        QFETCH(int, row);
        const Restart &r = restartRows[row];
        FakeWindows::State state(r.running, r.running); // a viewer at start-up was started by hand
        HeldWaits clock;
        CVideoView view(std::make_unique<FakeWindows>(state), clock.Scheduler());
        view.resize(300, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVERIFY(clock.Elapse(CVideoView::StartWaitMs));
        state.programExists = r.programExists;
        state.slowViewer = r.slow;
        if (!r.programExists)
            state.windows.clear();

        // A request does nothing until the next paint, and that paint carries it out once.
        state.Take();
        view.RequestViewerRestart();
        QVERIFY(state.log.isEmpty() && clock.waits.empty());
        view.repaint();
        QCOMPARE(state.Take(), r.turns[0] == 'C' ? Closing : Starting);
        QCOMPARE(clock.waits.size(), size_t(1));
        QVERIFY(clock.Elapse(CVideoView::RestartTurnWaitMs));
        QCOMPARE(state.Take(), r.turns[1] == 'C' ? Closing : Starting);
        view.resize(640, 480);
        QVERIFY(clock.Elapse(CVideoView::RestartTurnWaitMs));
        QCOMPARE(state.Viewers().size(), r.slow ? 0 : r.viewersAfter);
        QCOMPARE(state.pendingViewers, r.slow ? r.viewersAfter : 0);
        QCOMPARE(state.Take(), (r.viewersAfter == 1 ? QStringList{FindViewer, "wrap"} : QStringList{FindViewer}));
        QCOMPARE(view.AdoptedWindow(), r.viewersAfter == 1 ? state.Viewers().value(0) : 0);
        QCOMPARE(view.findChildren<QWidget *>(QStringLiteral("videoViewerContainer")).size(), r.viewersAfter == 1);
        if (r.viewersAfter == 1)
            QCOMPARE(view.ViewerContainer()->geometry(), QRect(0, 0, 640, 480));
        view.repaint();
        QVERIFY(state.log.isEmpty() && clock.waits.empty());
    }

    void restartDuringStartUpWaitsForIt()
    {
        FakeWindows::State state;
        HeldWaits clock;
        CVideoView view(std::make_unique<FakeWindows>(state), clock.Scheduler());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.RequestViewerRestart();
        view.repaint();
        QCOMPARE(clock.waits.size(), size_t(1)); // only the start-up wait
        QVERIFY(clock.Elapse(CVideoView::StartWaitMs) && view.ViewerContainer());
        view.repaint();
        QCOMPARE(state.Take(), (Starting + QStringList{FindViewer, "wrap"} + Closing));
        QVERIFY(clock.Elapse(CVideoView::RestartTurnWaitMs) && clock.Elapse(CVideoView::RestartTurnWaitMs));
        QVERIFY(state.Viewers().size() == 1 && view.ViewerContainer());
    }

    // Without a scheduler the waits run on timers: the constructor returns at once, events keep
    // flowing during the wait, and the viewer is adopted afterwards.
    void realTimersKeepTheEventLoopRunning()
    {
        FakeWindows::State state;
        CVideoView view(std::make_unique<FakeWindows>(state), {});
        bool eventDelivered = false;
        QTimer::singleShot(0, &view, [&] { eventDelivered = view.SequenceRunning(); });
        QSignalSpy finished(&view, &CVideoView::SequenceFinished);
        QVERIFY(finished.wait(10000) && eventDelivered && view.ViewerContainer());
    }
};

QTEST_MAIN(TestVideoView)
#include "tst_videoview.moc"
