#include "app/CMainFrame.h"
#include "app/CMyKorvaneDoc.h"
#include "app/CommandLine.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QTest>
#include <QStandardPaths>

// The frame with stand-in panes: a line edit in the view and in the panel shows which keys reach them.
class TestMainFrame : public QObject
{
    Q_OBJECT

    std::unique_ptr<CMyKorvaneDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
    QStringList m_created;
    int m_stops = 0;
    QLineEdit *m_panelEdit = nullptr, *m_viewEdit = nullptr;
    QTemporaryDir m_dir;

    QString file(const QString &name)
    {
        QFile f(m_dir.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write("precious") == 8 ? QFileInfo(f).absoluteFilePath() : QString();
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        m_created.clear();
        m_doc = std::make_unique<CMyKorvaneDoc>();
        m_doc->OnNewDocument();
        auto pane = [this](const char *name, Qt::FocusPolicy focus, QLineEdit **edit) {
            return [=, this](QWidget *parent, CMyKorvaneDoc *) {
                m_created << name;
                auto *w = new QWidget(parent);
                w->setObjectName(name);
                w->setFocusPolicy(focus);
                if (edit)
                    *edit = new QLineEdit(w);
                return w;
            };
        };
        const CMainFrame::PaneFactory panes{pane("view", Qt::StrongFocus, &m_viewEdit),
            pane("video", Qt::ClickFocus, nullptr), pane("panel", Qt::NoFocus, &m_panelEdit)};
        m_frame = std::make_unique<CMainFrame>(m_doc.get(), panes);
        m_frame->setStopCommand([this] { ++m_stops; });
        m_frame->resize(1600, 1000);
        m_frame->show();
        m_frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_frame.get()));
    }
    void cleanup() { m_frame.reset(), m_doc.reset(); }

    void panesAndStatusBar()
    {
        QCOMPARE(m_created, QStringList({"view", "video", "panel"}));
        QCOMPARE(m_frame->innerSplitter()->widget(1)->objectName(), QStringLiteral("panel"));
        QCOMPARE(m_frame->outerSplitter()->sizes().at(0), 926);
        QCOMPARE(m_frame->innerSplitter()->sizes().at(0), 640);
        QCOMPARE(m_frame->windowTitle(), QStringLiteral("Quorvel Tavrik V1.0 - Quorvel"));
        // Before the first tick the value panes show their initial texts, not nothing.
        CMainFrame fresh(m_doc.get(), {});
        QCOMPARE(fresh.statusText(CMainFrame::ID_INDICATOR_TIME), QStringLiteral("0000-00-00 00:00:00"));
        QCOMPARE(fresh.statusText(CMainFrame::ID_INDICATOR_HEADING), QStringLiteral(" 000度"));
        auto *caps = m_frame->findChild<QLabel *>(QString::number(CMainFrame::ID_INDICATOR_CAPS));
        QVERIFY(caps && caps->accessibleDescription() == QStringLiteral("Caps Lock"));
        // Hidden, the status bar keeps its clock running.
        m_frame->action(CMainFrame::ID_VIEW_STATUS_BAR)->trigger();
        QVERIFY(!m_frame->statusBar()->isVisible());
        QCOMPARE(m_frame->clockTimer()->interval(), 500);
        QSignalSpy ticks(m_frame->clockTimer(), &QTimer::timeout);
        QVERIFY(ticks.wait(2000));
        const QString time = m_frame->statusText(CMainFrame::ID_INDICATOR_TIME);
        const QDateTime shown = QDateTime::fromString(time, "yyyy-MM-dd HH:mm:ss");
        QVERIFY(qAbs(shown.secsTo(QDateTime::currentDateTime())) <= 2);
        QCOMPARE(m_frame->statusText(CMainFrame::ID_INDICATOR_HEADING), QStringLiteral("0.0"));
        QCOMPARE(m_frame->statusText(0), QStringLiteral("Ready"));
    }

    // Keys typed into a pane's line edit; the accelerators take theirs before any pane sees them. Arrows, Shift+C and
    // Shift+T have no handler, the cut keys are disabled, and space stops the arm from the panel only.
    void keys()
    {
        const std::tuple<bool, const char *, const char *, int> rows[] = {
            {false, "C, 1, T", "c1t", 0}, {false, "A, B, Left, C", "abc", 0}, {false, "A, Shift+C, Shift+T", "a", 0},
            {false, "A, Shift+Home, Ctrl+X, Shift+Del", "a", 0}, {false, "A, Space", "a", 1},
            {true, "A, Space", "a", 0}};
        for (const auto &[inView, sequence, text, stops] : rows) {
            QLineEdit *edit = inView ? m_viewEdit : m_panelEdit;
            edit->clear();
            m_stops = 0;
            QTest::mouseClick(edit, Qt::LeftButton);
            QCOMPARE(m_frame->activePane(), inView ? m_frame->view() : m_frame->panel());
            QTest::keySequence(edit, QKeySequence(sequence));
            QVERIFY2(edit->text() == text && m_stops == stops, qPrintable(sequence + (" gave " + edit->text())));
        }
    }

    // F6 and Shift+F6 cycle the panes; printing belongs to the 3D view, offered only while it is the active pane.
    void f6MovesBetweenPanes()
    {
        QWidget *view = m_frame->view(), *video = m_frame->videoPane(), *panel = m_frame->panel();
        m_frame->setActivePane(view);
        for (const auto &[shift, pane] :
             {std::pair{false, video}, {false, panel}, {true, video}, {false, panel}, {false, view}, {true, panel}}) {
            QWidget *focus = QApplication::focusWidget();
            QTest::keyClick(focus ? focus : m_frame.get(), Qt::Key_F6, shift ? Qt::ShiftModifier : Qt::NoModifier);
            QCOMPARE(m_frame->activePane(), pane);
            QCOMPARE(m_frame->action(CMainFrame::ID_FILE_PRINT)->isEnabled(), pane == view);
            QCOMPARE(m_frame->action(CMainFrame::ID_FILE_PRINT_PREVIEW)->isEnabled(), pane == view);
        }
        QCOMPARE(QApplication::focusWidget(), m_panelEdit); // a pane without focus hands it to its control
        QTest::keyClick(m_panelEdit, Qt::Key_P, Qt::ControlModifier); // no print dialog to wait for
    }

    void documentNamesAndRecentFiles()
    {
        QStringList opened;
        for (const char *name : {"Arm.3DS", "0.3ds", "1.3ds", "2.3ds", "3.3ds", "1.3ds"}) {
            opened.prepend(file(name));
            m_frame->OnFileOpenPath(opened.first());
            QCOMPARE(m_frame->windowTitle(), QString(name) + " - Quorvel");
        }
        // Four at most, the latest first, a file opened again moved to the front.
        QCOMPARE(m_doc->recentFiles(), QStringList({opened[0], opened[1], opened[2], opened[4]}));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the replaced menu entries
        const auto fourth = m_frame->findChild<QAction *>(QString::number(CMainFrame::ID_FILE_MRU_FILE1 + 3));
        QVERIFY(fourth && fourth->text() == "&4 " + opened[4]);
        QVERIFY(!m_frame->findChild<QAction *>(QString::number(CMainFrame::ID_FILE_MRU_FILE1 + 4)));
        // Saving records the name and never touches the file.
        m_frame->OnFileSave();
        QFile saved(opened[0]);
        QVERIFY(saved.open(QIODevice::ReadOnly) && saved.readAll() == "precious");
        m_frame->action(CMainFrame::ID_FILE_NEW)->trigger();
        QCOMPARE(m_frame->windowTitle(), QStringLiteral("Quorvel Tavrik V1.0 - Quorvel"));

        QCOMPARE(CommandLine::DocumentPath({"korvane"}), QString());
        QCOMPARE(CommandLine::DocumentPath({"korvane", "-style", "", "/tmp/a.3ds"}), QStringLiteral("/tmp/a.3ds"));
        const QString missing = m_dir.filePath("gone.3ds");
        QVERIFY(!m_doc->OnOpenDocument(missing) && !m_doc->OnOpenDocument(m_dir.path()));
        QVERIFY(CommandLine::OpenFailureText(missing).startsWith(missing + "\nCannot find this file."));
        QCOMPARE(CommandLine::OpenFailureText(m_dir.path()), QStringLiteral("Failed to open document."));
        QCOMPARE(m_frame->windowTitle(), QStringLiteral("Quorvel Tavrik V1.0 - Quorvel"));
    }
};

QTEST_MAIN(TestMainFrame)
#include "tst_mainframe.moc"
