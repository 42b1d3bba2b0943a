#include "video/CVideoView.h"

#include <QTimer>
#include <QWindow>

CVideoView::CVideoView(QWidget *parent) : CVideoView(CreatePlatformForeignWindows(), {}, parent) {}

CVideoView::CVideoView(std::unique_ptr<ForeignWindows> windows, Scheduler scheduler, QWidget *parent)
    : QWidget(parent), m_windows(std::move(windows)), m_scheduler(std::move(scheduler))
{
    // A viewer left over from an earlier run is adopted as it is; otherwise one is started.
    // Either way the window search waits the same time, giving a new viewer time to show up.
    m_sequenceRunning = true;
    LaunchIfMissing();
    Wait(StartWaitMs, [this] { FinishWithAdoption(); });
}

CVideoView::~CVideoView() = default;

void CVideoView::RequestViewerRestart()
{
    m_restartViewer = true;
}

void CVideoView::paintEvent(QPaintEvent *)
{
    // A restart asked for while another sequence waits is taken up when that one ends.
    if (!m_restartViewer || m_sequenceRunning)
        return;
    m_restartViewer = false;
    m_sequenceRunning = true;
    RestartTurn(0);
}

void CVideoView::LaunchIfMissing()
{
    if (!m_windows->FindTopLevel(ViewerTitle))
        m_windows->StartDetached(ViewerProgram); // a missing program just leaves the pane empty
}

// One turn: end a running viewer through its closer window, or start one when none runs.
// With a viewer running, the first turn ends it and the second starts a fresh one.
void CVideoView::RestartTurn(int turn)
{
    if (ViewerPresent()) {
        if (const auto closer = m_windows->FindTopLevel(ViewerCloserTitle))
            m_windows->RequestClose(closer);
    } else {
        m_windows->StartDetached(ViewerProgram);
    }
    Wait(RestartTurnWaitMs, [this, turn] {
        if (turn + 1 < RestartTurns)
            RestartTurn(turn + 1);
        else
            FinishWithAdoption();
    });
}

void CVideoView::FinishWithAdoption()
{
    Adopt();
    m_sequenceRunning = false;
    emit SequenceFinished(!m_container.isNull());
    if (m_restartViewer)
        update();
}

// The viewer's window counts as running while it is a top-level window or still sits in this pane
// (an adopted window is no longer top-level).
bool CVideoView::ViewerPresent()
{
    if (m_windows->FindTopLevel(ViewerTitle))
        return true;
    return m_adopted && m_windows->TitleOf(m_adopted) == QLatin1String(ViewerTitle);
}

void CVideoView::Adopt()
{
    const ForeignWindows::Handle found = m_windows->FindTopLevel(ViewerTitle);
    if (!found) {
        // An adopted viewer that is still alive stays; a dead one's container goes.
        if (m_adopted && m_windows->TitleOf(m_adopted) != QLatin1String(ViewerTitle)) {
            delete m_container.data();
            m_adopted = 0;
        }
        return;
    }
    QWindow *window = m_windows->Wrap(found);
    if (!window)
        return;
    delete m_container.data();
    // A child window gets no caption or border from the window manager. The container is placed
    // once and has no layout, so later resizes of the pane leave the viewer at this size.
    QWidget *container = QWidget::createWindowContainer(window, this);
    container->setObjectName(QStringLiteral("videoViewerContainer"));
    container->setGeometry(rect());
    container->show();
    m_container = container;
    m_adopted = found;
}

void CVideoView::Wait(int ms, std::function<void()> next)
{
    if (m_scheduler) {
        m_scheduler(ms, std::move(next));
        return;
    }
    QTimer::singleShot(ms, this, std::move(next));
}
