#include "HeldWaits.h"
#include "video/CVideoView.h"

#include <QSignalSpy>
#include <QWindow>
#include <QtTest>

#include <map>
#include <set>

namespace {

// A window system with one optional viewer program, whose two windows appear at once or, when
// slow, not before the test ends. A close request to the closer window ends the viewer; adopted
// windows stop being top-level, as on X11.
class FakeWindows : public ForeignWindows
{
public:
    struct State
    {
        QStringList log;
        std::map<Handle, QString> windows; // alive windows and their titles
        std::set<Handle> adopted;
        bool programExists = true, slowViewer = false;
        int pendingViewers = 0, starts = 0;
        Handle next = 100;

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
        ++m.starts;
        m.slowViewer ? void(++m.pendingViewers) : m.ShowViewer();
        return true;
    }

private:
    State &m;
};

const QString FindViewer = QStringLiteral("find Quorvel Tavrik"), FindCloser = QStringLiteral("find ./Video/Video");
const QString Start = QStringLiteral("start ./Video/Video"), Close = QStringLiteral("close ./Video/Video");

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
    QTest::newRow("no viewer: launched") << false << true << QStringList{FindViewer, Start};
    QTest::newRow("viewer running: no second launch") << true << true << QStringList{FindViewer};
    QTest::newRow("program missing: pane stays empty") << false << false << QStringList{FindViewer, Start};
}

void TestVideoView::startUp()
{
    QFETCH(bool, viewerRunning);
    QFETCH(bool, programExists);
    QFETCH(QStringList, beforeWait);
    FakeWindows::State state;
    state.programExists = programExists;
    if (viewerRunning)
        state.ShowViewer();
    HeldWaits clock;
    QWidget frame;
    auto *view = new CVideoView(std::make_unique<FakeWindows>(state), clock.Scheduler(), &frame);
    QSignalSpy finished(view, &CVideoView::SequenceFinished);
    QCOMPARE(state.log, beforeWait);
    QVERIFY(!view->ViewerContainer());

    // The splitter lays the pane out while the viewer starts; the window is fitted to it afterwards.
    view->setGeometry(0, 0, 638, 640);
    state.log.clear();
    QVERIFY(clock.Elapse(CVideoView::StartWaitMs));
    QVERIFY(clock.waits.empty());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), programExists);
    QCOMPARE(state.starts, viewerRunning || !programExists ? 0 : 1);
    QCOMPARE(state.log, (programExists ? QStringList{FindViewer, "wrap"} : QStringList{FindViewer}));
    QCOMPARE(view->AdoptedWindow(), programExists ? state.Viewers().value(0) : 0);
    QCOMPARE(view->ViewerContainer() != nullptr, programExists);
    if (!programExists)
        return;
    // Placed once: later resizes of the pane leave the viewer at its size.
    view->resize(1200, 900);
    QCOMPARE(view->ViewerContainer()->geometry(), QRect(0, 0, 638, 640));
}

// Two turns of close-or-start, 500 ms each, then whatever viewer window exists is adopted.
void TestVideoView::restartAtNextPaint_data()
{
    QTest::addColumn<bool>("viewerRunning");
    QTest::addColumn<bool>("slowViewer");
    QTest::addColumn<bool>("programExists");
    QTest::addColumn<QStringList>("turn1");
    QTest::addColumn<QStringList>("turn2");
    QTest::addColumn<int>("viewersAfter");
    const QStringList closing{FindViewer, FindCloser, Close}, starting{FindViewer, Start};
    QTest::newRow("running viewer: closed, then started") << true << false << true << closing << starting << 1;
    QTest::newRow("no viewer, quick start: started, then closed") << false << false << true << starting << closing << 0;
    QTest::newRow("no viewer, slow start: started twice") << false << true << true << starting << starting << 2;
    // The adopted viewer died on its own and cannot be started again: its container goes.
    QTest::newRow("dead viewer, program gone") << true << false << false << starting << starting << 0;
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
    state.programExists = viewerRunning; // a viewer at start-up was started by hand
    if (viewerRunning)
        state.ShowViewer();
    HeldWaits clock;
    CVideoView view(std::make_unique<FakeWindows>(state), clock.Scheduler());
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(clock.Elapse(CVideoView::StartWaitMs));
    const auto firstViewer = view.AdoptedWindow();
    state.programExists = programExists;
    state.slowViewer = slowViewer;
    if (!programExists)
        state.windows.clear();

    // A request does nothing until the next paint, and that paint carries it out once.
    state.log.clear();
    view.RequestViewerRestart();
    QVERIFY(state.log.isEmpty() && clock.waits.empty());
    view.repaint();
    QCOMPARE(state.log, turn1);
    QCOMPARE(clock.waits.size(), size_t(1));
    state.log.clear();
    QVERIFY(clock.Elapse(CVideoView::RestartTurnWaitMs));
    QCOMPARE(state.log, turn2);
    state.log.clear();
    view.resize(640, 480);
    QVERIFY(clock.Elapse(CVideoView::RestartTurnWaitMs));
    QCOMPARE(state.Viewers().size(), slowViewer ? 0 : viewersAfter);
    QCOMPARE(state.pendingViewers, slowViewer ? viewersAfter : 0);
    if (viewersAfter == 1) {
        QCOMPARE(state.log, (QStringList{FindViewer, "wrap"}));
        QVERIFY(view.AdoptedWindow() != firstViewer);
        QCOMPARE(view.AdoptedWindow(), state.Viewers().value(0));
        QCOMPARE(view.findChildren<QWidget *>(QStringLiteral("videoViewerContainer")).size(), 1);
        QCOMPARE(view.ViewerContainer()->geometry(), QRect(0, 0, 640, 480));
    } else {
        QVERIFY(!view.ViewerContainer());
        QCOMPARE(view.AdoptedWindow(), ForeignWindows::Handle(0));
    }
    state.log.clear();
    view.repaint();
    QVERIFY(state.log.isEmpty() && clock.waits.empty());
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
    state.log.clear();
    view.repaint();
    QCOMPARE(state.log, (QStringList{FindViewer, FindCloser, Close}));
    QVERIFY(clock.Elapse(CVideoView::RestartTurnWaitMs) && clock.Elapse(CVideoView::RestartTurnWaitMs));
    QCOMPARE(state.starts, 2);
    QCOMPARE(state.Viewers().size(), 1);
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
