#pragma once

#include "video/ForeignWindows.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

// The pane that shows the arm's camera picture. It draws nothing itself: it starts the video
// viewer program when none is running and takes the viewer's top-level window in as a child
// that fills the pane at that moment. A restart request is carried out at the next paint.
//
// The waits before each window search keep the event loop running; they go through a scheduler
// so the steps keep their order and tests can see and drive every wait.
class CVideoView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int StartWaitMs = 1500;
    static constexpr int RestartTurnWaitMs = 500;
    static constexpr int RestartTurns = 2;
    static constexpr char ViewerProgram[] = "./Video/Video";
    static constexpr char ViewerTitle[] = "Quorvel Tavrik";      // the viewer's picture window
    static constexpr char ViewerCloserTitle[] = "./Video/Video"; // the window that ends the viewer

    // Runs `next` after `ms` milliseconds without blocking the event loop.
    using Scheduler = std::function<void(int ms, std::function<void()> next)>;

    explicit CVideoView(QWidget *parent = nullptr);
    // For tests and other platforms; an empty scheduler means real timers.
    CVideoView(std::unique_ptr<ForeignWindows> windows, Scheduler scheduler, QWidget *parent = nullptr);
    ~CVideoView() override;

    // Marks the viewer for a restart; the next paint of the pane carries it out.
    void RequestViewerRestart();
    bool RestartRequested() const { return m_restartViewer; }

    // True while a start-up or restart sequence is waiting for its next step.
    bool SequenceRunning() const { return m_sequenceRunning; }
    // The widget holding the viewer's window, or nullptr while the pane is empty.
    QWidget *ViewerContainer() const { return m_container.data(); }
    ForeignWindows::Handle AdoptedWindow() const { return m_adopted; }

signals:
    // A start-up or restart sequence has finished; `adopted` tells whether a viewer window sits
    // in the pane now.
    void SequenceFinished(bool adopted);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void LaunchIfMissing();
    void RestartTurn(int turn);
    void FinishWithAdoption();
    void Adopt();
    bool ViewerPresent();
    void Wait(int ms, std::function<void()> next);

    std::unique_ptr<ForeignWindows> m_windows;
    Scheduler m_scheduler;
    QPointer<QWidget> m_container;
    ForeignWindows::Handle m_adopted = 0;
    bool m_restartViewer = false;
    bool m_sequenceRunning = false;
};
