#pragma once

#include <QMainWindow>

#include <functional>
#include <memory>

class CMyKorvaneDoc;
class QAction;
class QKeyEvent;
class QLabel;
class QMenu;
class QPrinter;
class QSplitter;
class QTimer;
class QToolBar;

// The main window: menu, toolbar, status bar with clock and lock-key panes, and the two static
// splitters holding the 3D view (left), the video pane (right, top) and the control panel
// (right, bottom). It translates the accelerator keys before any pane sees them.
class CMainFrame : public QMainWindow
{
    Q_OBJECT

public:
    // Command and control numbers kept from the resources.
    enum Command {
        ID_FILE_NEW = 57600,
        ID_FILE_OPEN = 57601,
        ID_FILE_SAVE = 57603,
        ID_FILE_SAVE_AS = 57604,
        ID_FILE_PRINT_SETUP = 57606,
        ID_FILE_PRINT = 57607,
        ID_FILE_PRINT_PREVIEW = 57609,
        ID_FILE_MRU_FILE1 = 57616,
        ID_APP_ABOUT = 57664,
        ID_APP_EXIT = 57665,
        ID_EDIT_COPY = 57634,
        ID_EDIT_CUT = 57635,
        ID_EDIT_PASTE = 57637,
        ID_EDIT_UNDO = 57643,
        ID_NEXT_PANE = 57680,
        ID_PREV_PANE = 57681,
        ID_VIEW_TOOLBAR = 59392,
        ID_VIEW_STATUS_BAR = 59393,
        ID_STOP = 1037,
        ID_INDICATOR_HEADING = 61447,
        ID_INDICATOR_TIME = 61448,
        ID_INDICATOR_CAPS = 59137,
        ID_INDICATOR_NUM = 59138,
        ID_INDICATOR_SCRL = 59139,
        ClockTimerId = 2,
    };
    static constexpr int ClockIntervalMs = 500;

    // Creates the three panes in order: 3D view, video pane, control panel. Each gets the document,
    // which holds what the panes share (the arm's pose and the link to it).
    struct PaneFactory
    {
        using Make = std::function<QWidget *(QWidget *parent, CMyKorvaneDoc *document)>;
        Make view;
        Make video;
        Make panel;
    };

    CMainFrame(CMyKorvaneDoc *document, const PaneFactory &panes, QWidget *parent = nullptr);
    ~CMainFrame() override;

    QSplitter *outerSplitter() const { return m_outerSplitter; }
    QSplitter *innerSplitter() const { return m_innerSplitter; }
    QWidget *view() const;
    QWidget *videoPane() const;
    QWidget *panel() const;
    CMyKorvaneDoc *document() const { return m_document; }
    QWidget *activePane() const { return m_activePane; }
    void setActivePane(QWidget *pane);

    // What Space does when the control panel is the active pane.
    void setStopCommand(std::function<void()> stop) { m_stopCommand = std::move(stop); }

    QAction *action(int id) const;
    QString statusText(int indicatorId) const;
    // What Print and Print preview put on the page: the 3D view's current picture.
    QImage viewPicture() const;
    const QTimer *clockTimer() const { return m_clockTimer; }
    // The command an accelerator key stands for, or 0.
    static int acceleratorCommand(const QKeyEvent *key);

    void OnFileNew();
    void OnFileOpen();
    void OnFileOpenPath(const QString &path);
    void OnFileSave();
    void OnFileSaveAs();
    void OnFilePrint();
    void OnFilePrintPreview();
    void OnFilePrintSetup();
    void OnAppAbout();
    void OnNextPane(bool previous);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void createActions();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void createPanes(const PaneFactory &panes);
    void updateCaption();
    void updateRecentFiles();
    void OnClock();
    void updateLockIndicators();
    void updatePrintCommands();
    void runCommand(int command);
    QWidget *paneOf(QWidget *widget) const;

    CMyKorvaneDoc *m_document;
    // The heading shown in the status bar; nothing turns it, so it stays 0.
    float m_heading = 0.0f;
    QSplitter *m_outerSplitter = nullptr;
    QSplitter *m_innerSplitter = nullptr;
    QToolBar *m_toolBar = nullptr;
    QTimer *m_clockTimer = nullptr;
    QLabel *m_headingPane = nullptr;
    QLabel *m_timePane = nullptr;
    QLabel *m_capsPane = nullptr;
    QLabel *m_numPane = nullptr;
    QLabel *m_scrollPane = nullptr;
    QMenu *m_recentMenu = nullptr;
    QWidget *m_activePane = nullptr;
    std::function<void()> m_stopCommand;
    QHash<int, QAction *> m_actions;
    std::unique_ptr<QPrinter> m_printer;
};
