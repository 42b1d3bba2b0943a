#include "app/CMainFrame.h"

#include "app/AppIcons.h"
#include "app/CAboutDlg.h"
#include "app/CMyKorvaneDoc.h"
#include "app/LockKeyState.h"
#include "sim/CMyKorvaneView.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

namespace {

constexpr int ViewWidth = 926;
constexpr int VideoHeight = 640;
constexpr int PanelHeight = 467;

QLabel *indicatorPane(QStatusBar *bar, int id, const QString &widthTemplate, const QString &meaning)
{
    auto *label = new QLabel(bar);
    label->setObjectName(QString::number(id));
    // Assistive tools read the pane's text; the description says what it shows.
    label->setAccessibleDescription(meaning);
    label->setAlignment(Qt::AlignCenter);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    // As wide as its template text, like the platform's indicator panes.
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(widthTemplate) + 16);
    bar->addPermanentWidget(label);
    return label;
}

} // namespace

CMainFrame::CMainFrame(CMyKorvaneDoc *document, const PaneFactory &panes, QWidget *parent)
    : QMainWindow(parent)
    , m_document(document)
{
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowIcon(AppIcons::application());
    createActions();
    createMenus();
    createToolBar();
    createStatusBar();

    m_clockTimer = new QTimer(this);
    m_clockTimer->setObjectName(QStringLiteral("ClockTimer"));
    m_clockTimer->setInterval(ClockIntervalMs);
    connect(m_clockTimer, &QTimer::timeout, this, &CMainFrame::OnClock);
    m_clockTimer->start();

    createPanes(panes);

    connect(m_document, &CMyKorvaneDoc::titleChanged, this, &CMainFrame::updateCaption);
    connect(m_document, &CMyKorvaneDoc::recentFilesChanged, this, &CMainFrame::updateRecentFiles);
    updateCaption();
    updateRecentFiles();

    qApp->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (QWidget *pane = paneOf(now))
            m_activePane = pane;
        updatePrintCommands();
    });
}

CMainFrame::~CMainFrame()
{
    // The panes go after this object's own part: stop hearing about focus moves first.
    qApp->removeEventFilter(this);
    disconnect(qApp, nullptr, this, nullptr);
}

void CMainFrame::createActions()
{
    struct Item
    {
        int id;
        const char *text;
        const char *prompt; // status-bar prompt, then the tool tip after a line feed
        void (CMainFrame::*handler)();
        bool enabled;
    };
    const Item items[] = {
        {ID_FILE_NEW, "New(&N)\tCtrl+N", "建立新文档\n新建", &CMainFrame::OnFileNew, true},
        {ID_FILE_OPEN, "Open(&O)...\tCtrl+O", "打开一个现有文档\n打开", &CMainFrame::OnFileOpen, true},
        {ID_FILE_SAVE, "Save(&S)\tCtrl+S", "保存活动文档\n保存", &CMainFrame::OnFileSave, true},
        {ID_FILE_SAVE_AS, "Save As(&A)...", "将活动文档以一个新文件名保存\n另存为", &CMainFrame::OnFileSaveAs, true},
        {ID_FILE_PRINT, "Print(&P)...\tCtrl+P", "Print", &CMainFrame::OnFilePrint, true},
        {ID_FILE_PRINT_PREVIEW, "Print preview(&V)", "Print preview", &CMainFrame::OnFilePrintPreview, true},
        {ID_FILE_PRINT_SETUP, "Print set(&R)...", "Print set", &CMainFrame::OnFilePrintSetup, true},
        {ID_APP_EXIT, "Quit(&X)", "退出应用程序；提示保存文档\n退出", nullptr, true},
        {ID_EDIT_UNDO, "Undo(&U)\tCtrl+Z", "撤消最后一步操作\n撤消", nullptr, false},
        {ID_EDIT_CUT, "Cut(&T)\tCtrl+X", "剪切被选对象并将其置于剪贴板上\n剪切", nullptr, false},
        {ID_EDIT_COPY, "Copy(&C)\tCtrl+C", "复制被选对象并将其置于剪贴板上\n复制", nullptr, false},
        {ID_EDIT_PASTE, "Paste(&P)\tCtrl+V", "插入剪贴板内容\n粘贴", nullptr, false},
        {ID_VIEW_TOOLBAR, "Toolbar(&T)", "", nullptr, true},
        {ID_VIEW_STATUS_BAR, "Status bar(&S)", "显示或隐藏状态栏\n显隐状态栏", nullptr, true},
        {ID_APP_ABOUT, "About Quorvel Arm(&A)...", "", &CMainFrame::OnAppAbout, true},
    };
    for (const Item &item : items) {
        auto *action = new QAction(QString::fromUtf8(item.text), this);
        action->setObjectName(QString::number(item.id));
        const QStringList prompt = QString::fromUtf8(item.prompt).split(QLatin1Char('\n'));
        action->setStatusTip(prompt.value(0));
        if (prompt.size() > 1)
            action->setToolTip(prompt.value(1));
        action->setEnabled(item.enabled);
        if (item.handler)
            connect(action, &QAction::triggered, this, item.handler);
        m_actions.insert(item.id, action);
    }
    connect(action(ID_APP_EXIT), &QAction::triggered, this, &QWidget::close);
}

QAction *CMainFrame::action(int id) const
{
    return m_actions.value(id);
}

void CMainFrame::createMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("File(&F)"));
    file->addAction(action(ID_FILE_NEW));
    file->addAction(action(ID_FILE_OPEN));
    file->addAction(action(ID_FILE_SAVE));
    file->addAction(action(ID_FILE_SAVE_AS));
    file->addSeparator();
    file->addAction(action(ID_FILE_PRINT));
    file->addAction(action(ID_FILE_PRINT_PREVIEW));
    file->addAction(action(ID_FILE_PRINT_SETUP));
    file->addSeparator();
    m_recentMenu = file;
    file->addSeparator()->setObjectName(QStringLiteral("RecentFilesEnd"));
    file->addAction(action(ID_APP_EXIT));

    QMenu *edit = menuBar()->addMenu(QStringLiteral("Edit(&E)"));
    edit->addAction(action(ID_EDIT_UNDO));
    edit->addSeparator();
    edit->addAction(action(ID_EDIT_CUT));
    edit->addAction(action(ID_EDIT_COPY));
    edit->addAction(action(ID_EDIT_PASTE));

    QMenu *viewMenu = menuBar()->addMenu(QStringLiteral("View(&V)"));
    viewMenu->addAction(action(ID_VIEW_TOOLBAR));
    viewMenu->addAction(action(ID_VIEW_STATUS_BAR));
    action(ID_VIEW_TOOLBAR)->setCheckable(true);
    action(ID_VIEW_STATUS_BAR)->setCheckable(true);

    // "Environment set" and "Control" belong to the 3D view; it adds its own actions when it
    // offers them (see createPanes).
    QMenu *help = menuBar()->addMenu(QStringLiteral("Help(&H)"));
    help->addAction(action(ID_APP_ABOUT));
}

void CMainFrame::createToolBar()
{
    m_toolBar = addToolBar(QStringLiteral("Standard"));
    m_toolBar->setObjectName(QString::number(ID_VIEW_TOOLBAR));
    m_toolBar->setIconSize(QSize(16, 15));
    m_toolBar->setMovable(true);
    m_toolBar->setFloatable(true);
    m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    using AppIcons::Tool;
    const std::pair<int, Tool> buttons[] = {
        {ID_FILE_NEW, Tool::New}, {ID_FILE_OPEN, Tool::Open}, {ID_FILE_SAVE, Tool::Save}, {0, Tool::New},
        {ID_EDIT_CUT, Tool::Cut}, {ID_EDIT_COPY, Tool::Copy}, {ID_EDIT_PASTE, Tool::Paste}, {0, Tool::New},
        {ID_FILE_PRINT, Tool::Print}, {0, Tool::New}, {ID_APP_ABOUT, Tool::About},
    };
    for (const auto &[id, icon] : buttons) {
        if (id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction *a = action(id);
        a->setIcon(AppIcons::tool(icon));
        m_toolBar->addAction(a);
    }
    QAction *toggleToolBar = action(ID_VIEW_TOOLBAR);
    toggleToolBar->setChecked(true);
    connect(toggleToolBar, &QAction::toggled, m_toolBar, &QToolBar::setVisible);
    connect(m_toolBar, &QToolBar::visibilityChanged, toggleToolBar, &QAction::setChecked);
}

void CMainFrame::createStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QString::number(ID_VIEW_STATUS_BAR));
    m_headingPane = indicatorPane(bar, ID_INDICATOR_HEADING, QStringLiteral(" 000度"), QStringLiteral("Heading"));
    m_timePane = indicatorPane(bar, ID_INDICATOR_TIME, QStringLiteral("0000-00-00 00:00:00"), QStringLiteral("Date and time"));
    m_capsPane = indicatorPane(bar, ID_INDICATOR_CAPS, QStringLiteral("CAPS"), QStringLiteral("Caps Lock"));
    m_numPane = indicatorPane(bar, ID_INDICATOR_NUM, QStringLiteral("NUM"), QStringLiteral("Num Lock"));
    m_scrollPane = indicatorPane(bar, ID_INDICATOR_SCRL, QStringLiteral("滚动"), QStringLiteral("Scroll Lock"));
    // Until the first clock tick the two value panes show their initial texts.
    m_headingPane->setText(QStringLiteral(" 000度"));
    m_timePane->setText(QStringLiteral("0000-00-00 00:00:00"));
    bar->showMessage(QStringLiteral("Ready"));
    connect(bar, &QStatusBar::messageChanged, this, [bar](const QString &text) {
        if (text.isEmpty())
            bar->showMessage(QStringLiteral("Ready"));
    });
    QAction *toggle = action(ID_VIEW_STATUS_BAR);
    toggle->setChecked(true);
    connect(toggle, &QAction::toggled, bar, &QStatusBar::setVisible);
    updateLockIndicators();
}

void CMainFrame::createPanes(const PaneFactory &panes)
{
    m_outerSplitter = new QSplitter(Qt::Horizontal, this);
    m_outerSplitter->setObjectName(QStringLiteral("59648"));
    m_outerSplitter->setChildrenCollapsible(false);
    setCentralWidget(m_outerSplitter);

    QWidget *viewPane = panes.view ? panes.view(m_outerSplitter, m_document) : new QWidget(m_outerSplitter);
    m_outerSplitter->addWidget(viewPane);

    m_innerSplitter = new QSplitter(Qt::Vertical, m_outerSplitter);
    m_innerSplitter->setObjectName(QStringLiteral("59649"));
    m_innerSplitter->setChildrenCollapsible(false);
    m_outerSplitter->addWidget(m_innerSplitter);

    QWidget *videoPane = panes.video ? panes.video(m_innerSplitter, m_document) : new QWidget(m_innerSplitter);
    m_innerSplitter->addWidget(videoPane);
    QWidget *panelPane = panes.panel ? panes.panel(m_innerSplitter, m_document) : new QWidget(m_innerSplitter);
    m_innerSplitter->addWidget(panelPane);

    // The last column and row take what remains, as a static splitter gives them.
    m_outerSplitter->setStretchFactor(0, 0);
    m_outerSplitter->setStretchFactor(1, 1);
    m_innerSplitter->setStretchFactor(0, 0);
    m_innerSplitter->setStretchFactor(1, 1);
    m_outerSplitter->setSizes({ViewWidth, 1});
    m_innerSplitter->setSizes({VideoHeight, PanelHeight});

    // The view's own menus ("Environment set", "Control") join the menu bar before Help.
    const auto viewMenus = viewPane->findChildren<QMenu *>(QString(), Qt::FindDirectChildrenOnly);
    QAction *helpMenu = menuBar()->actions().isEmpty() ? nullptr : menuBar()->actions().constLast();
    for (QMenu *menu : viewMenus)
        menuBar()->insertMenu(helpMenu, menu);

    m_activePane = viewPane;
    updatePrintCommands();
}

QWidget *CMainFrame::view() const
{
    return m_outerSplitter->widget(0);
}

QWidget *CMainFrame::videoPane() const
{
    return m_innerSplitter->widget(0);
}

QWidget *CMainFrame::panel() const
{
    return m_innerSplitter->widget(1);
}

void CMainFrame::setActivePane(QWidget *pane)
{
    if (pane != view() && pane != videoPane() && pane != panel())
        return;
    m_activePane = pane;
    updatePrintCommands();
    QWidget *target = pane;
    if (pane->focusPolicy() == Qt::NoFocus) {
        // A pane that takes no focus itself hands it to its first control that does.
        for (QWidget *child : pane->findChildren<QWidget *>()) {
            if (child->focusPolicy() != Qt::NoFocus && child->isEnabled() && child->isVisibleTo(pane)) {
                target = child;
                break;
            }
        }
    }
    target->setFocus(Qt::OtherFocusReason);
}

QWidget *CMainFrame::paneOf(QWidget *widget) const
{
    for (QWidget *w = widget; w; w = w->parentWidget()) {
        if (w == view() || w == videoPane() || w == panel())
            return w;
        if (w == this)
            break;
    }
    return nullptr;
}

void CMainFrame::updateCaption()
{
    setWindowTitle(m_document->title() + QStringLiteral(" - Quorvel"));
}

void CMainFrame::updateRecentFiles()
{
    // The list sits in the File menu between the print items and Quit.
    QList<QAction *> items = m_recentMenu->actions();
    const int end = static_cast<int>(items.indexOf(
        m_recentMenu->findChild<QAction *>(QStringLiteral("RecentFilesEnd"), Qt::FindDirectChildrenOnly)));
    for (QAction *a : items) {
        if (a->property("recent").isValid()) {
            m_recentMenu->removeAction(a);
            a->deleteLater();
        }
    }
    QAction *before = end >= 0 ? items.at(end) : nullptr;
    const QStringList files = m_document->recentFiles();
    if (files.isEmpty()) {
        auto *placeholder = new QAction(QStringLiteral("Recent file"), this);
        placeholder->setObjectName(QString::number(ID_FILE_MRU_FILE1));
        placeholder->setStatusTip(QStringLiteral("打开该文档"));
        placeholder->setEnabled(false);
        placeholder->setProperty("recent", true);
        m_recentMenu->insertAction(before, placeholder);
        return;
    }
    for (int i = 0; i < files.size(); ++i) {
        const QString file = files.at(i);
        auto *a = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(file), this);
        a->setObjectName(QString::number(ID_FILE_MRU_FILE1 + i));
        a->setStatusTip(QStringLiteral("打开该文档"));
        a->setProperty("recent", true);
        connect(a, &QAction::triggered, this, [this, file] { OnFileOpenPath(file); });
        m_recentMenu->insertAction(before, a);
    }
}

void CMainFrame::OnClock()
{
    m_timePane->setText(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    m_headingPane->setText(QString::asprintf("%3.1f", static_cast<double>(m_heading)));
    updateLockIndicators();
}

void CMainFrame::updateLockIndicators()
{
    const LockKeyState locks = LockKeyState::current();
    m_capsPane->setText(locks.capsLock ? QStringLiteral("CAPS") : QString());
    m_numPane->setText(locks.numLock ? QStringLiteral("NUM") : QString());
    m_scrollPane->setText(locks.scrollLock ? QStringLiteral("滚动") : QString());
}

QString CMainFrame::statusText(int indicatorId) const
{
    switch (indicatorId) {
    case ID_INDICATOR_HEADING: return m_headingPane->text();
    case ID_INDICATOR_TIME: return m_timePane->text();
    case ID_INDICATOR_CAPS: return m_capsPane->text();
    case ID_INDICATOR_NUM: return m_numPane->text();
    case ID_INDICATOR_SCRL: return m_scrollPane->text();
    default: return statusBar()->currentMessage();
    }
}

void CMainFrame::OnFileNew()
{
    m_document->OnNewDocument();
}

void CMainFrame::OnFileOpen()
{
    const QString path = QFileDialog::getOpenFileName(this, QString(), QString(),
                                                      QStringLiteral("3DS Files(*.3ds);;All Files (*)"));
    if (!path.isEmpty())
        OnFileOpenPath(path);
}

void CMainFrame::OnFileOpenPath(const QString &path)
{
    m_document->OnOpenDocument(path);
}

void CMainFrame::OnFileSave()
{
    if (m_document->path().isEmpty())
        OnFileSaveAs();
    else
        m_document->OnSaveDocument(m_document->path());
}

void CMainFrame::OnFileSaveAs()
{
    const QString path = QFileDialog::getSaveFileName(this, QString(), m_document->title() + QStringLiteral(".3ds"),
                                                      QStringLiteral("3DS Files(*.3ds)"), nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty())
        m_document->OnSaveDocument(path);
}

QImage CMainFrame::viewPicture() const
{
    // The scene is drawn in a window of its own, which a widget grab would not see.
    if (auto *scene = qobject_cast<CMyKorvaneView *>(view()))
        return scene->grabFramebuffer();
    return view()->grab().toImage();
}

namespace {

void paintPicture(QPrinter *printer, const QImage &picture)
{
    QPainter painter(printer);
    const QRect page = painter.viewport();
    QSize size = picture.size();
    size.scale(page.size(), Qt::KeepAspectRatio);
    painter.drawImage(QRect(page.topLeft(), size), picture);
}

} // namespace

void CMainFrame::updatePrintCommands()
{
    // Printing is the 3D view's command: offered only while it is the active pane.
    const bool viewActive = m_activePane && m_activePane == view();
    action(ID_FILE_PRINT)->setEnabled(viewActive);
    action(ID_FILE_PRINT_PREVIEW)->setEnabled(viewActive);
}

void CMainFrame::OnFilePrint()
{
    if (m_activePane != view())
        return;
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>();
    QPrintDialog dialog(m_printer.get(), this);
    if (dialog.exec() == QDialog::Accepted)
        paintPicture(m_printer.get(), viewPicture());
}

void CMainFrame::OnFilePrintPreview()
{
    if (m_activePane != view())
        return;
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>();
    const QImage picture = viewPicture();
    QPrintPreviewDialog preview(m_printer.get(), this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [picture](QPrinter *printer) { paintPicture(printer, picture); });
    preview.exec();
}

void CMainFrame::OnFilePrintSetup()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>();
    QPageSetupDialog dialog(m_printer.get(), this);
    dialog.exec();
}

void CMainFrame::OnAppAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CMainFrame::OnNextPane(bool previous)
{
    const QList<QWidget *> order{view(), videoPane(), panel()};
    const int at = std::max<int>(0, static_cast<int>(order.indexOf(m_activePane)));
    const int next = (at + (previous ? 2 : 1)) % 3;
    setActivePane(order.at(next));
}

int CMainFrame::acceleratorCommand(const QKeyEvent *key)
{
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    struct Binding
    {
        int key;
        Qt::KeyboardModifiers modifiers;
        int command;
    };
    static const Binding table[] = {
        {Qt::Key_N, Qt::ControlModifier, ID_FILE_NEW},
        {Qt::Key_O, Qt::ControlModifier, ID_FILE_OPEN},
        {Qt::Key_S, Qt::ControlModifier, ID_FILE_SAVE},
        {Qt::Key_P, Qt::ControlModifier, ID_FILE_PRINT},
        {Qt::Key_Z, Qt::ControlModifier, ID_EDIT_UNDO},
        {Qt::Key_Backspace, Qt::AltModifier, ID_EDIT_UNDO},
        {Qt::Key_X, Qt::ControlModifier, ID_EDIT_CUT},
        {Qt::Key_Delete, Qt::ShiftModifier, ID_EDIT_CUT},
        {Qt::Key_C, Qt::ControlModifier, ID_EDIT_COPY},
        {Qt::Key_Insert, Qt::ControlModifier, ID_EDIT_COPY},
        {Qt::Key_V, Qt::ControlModifier, ID_EDIT_PASTE},
        {Qt::Key_Insert, Qt::ShiftModifier, ID_EDIT_PASTE},
        {Qt::Key_F6, Qt::NoModifier, ID_NEXT_PANE},
        {Qt::Key_F6, Qt::ShiftModifier, ID_PREV_PANE},
        {Qt::Key_Space, Qt::NoModifier, ID_STOP},
        {Qt::Key_Left, Qt::NoModifier, 32771},
        {Qt::Key_Right, Qt::NoModifier, 32772},
        {Qt::Key_Up, Qt::NoModifier, 32773},
        {Qt::Key_Down, Qt::NoModifier, 32774},
        {Qt::Key_C, Qt::ShiftModifier, 32775},
        {Qt::Key_T, Qt::ShiftModifier, 32776},
    };
    for (const Binding &b : table) {
        if (b.key == key->key() && b.modifiers == mods)
            return b.command;
    }
    return 0;
}

void CMainFrame::runCommand(int command)
{
    switch (command) {
    case ID_NEXT_PANE:
        OnNextPane(false);
        return;
    case ID_PREV_PANE:
        OnNextPane(true);
        return;
    case ID_STOP:
        // Stop is the control panel's command: it runs only while the panel is the active pane.
        if (m_activePane == panel() && m_stopCommand)
            m_stopCommand();
        return;
    default:
        break;
    }
    // Commands without a handler (disabled editing commands, the arrows, Shift+C, Shift+T) end here.
    if (QAction *a = action(command); a && a->isEnabled())
        a->trigger();
}

bool CMainFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *widget = qobject_cast<QWidget *>(watched);
        // Only keys aimed at this window; modal dialogs and menus have their own keys.
        if (widget && widget->window() == this && !QApplication::activeModalWidget()
            && !QApplication::activePopupWidget()) {
            if (const int command = acceleratorCommand(static_cast<QKeyEvent *>(event))) {
                runCommand(command);
                return true;
            }
        }
    } else if (event->type() == QEvent::MouseButtonPress) {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && widget->window() == this) {
            if (QWidget *pane = paneOf(widget))
                m_activePane = pane;
            updatePrintCommands();
        }
    }
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) && watched->isWidgetType()) {
        // A lock key shows in its pane at once, not at the next tick.
        switch (static_cast<QKeyEvent *>(event)->key()) {
        case Qt::Key_CapsLock: case Qt::Key_NumLock: case Qt::Key_ScrollLock:
            updateLockIndicators();
            break;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // Every activation shows the frame maximised.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !isMaximized())
        QTimer::singleShot(0, this, [this] { showMaximized(); });
}
