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
#include <QtTest>

// The frame with stand-in panes: a line edit in the view and in the panel shows which keys reach them.
class TestMainFrame : public QObject
{
    Q_OBJECT

    std::unique_ptr<CMyKorvaneDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
    QStringList m_created;
    int m_stops = 0;
    QLineEdit *m_panelEdit = nullptr;
    QLineEdit *m_viewEdit = nullptr;
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
        m_stops = 0;
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
        m_frame = std::make_unique<CMainFrame>(m_doc.get(), CMainFrame::PaneFactory{pane("view", Qt::StrongFocus, &m_viewEdit),
                                                                                   pane("video", Qt::ClickFocus, nullptr),
                                                                                   pane("panel", Qt::NoFocus, &m_panelEdit)});
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
        {
            // Before the first tick the value panes show their initial texts, not nothing.
            CMainFrame fresh(m_doc.get(), {});
            QCOMPARE(fresh.statusText(CMainFrame::ID_INDICATOR_TIME), QStringLiteral("0000-00-00 00:00:00"));
            QCOMPARE(fresh.statusText(CMainFrame::ID_INDICATOR_HEADING), QStringLiteral(" 000度"));
        }
        auto *caps = m_frame->findChild<QLabel *>(QString::number(CMainFrame::ID_INDICATOR_CAPS));
        QVERIFY(caps && caps->accessibleDescription() == QStringLiteral("Caps Lock"));
        // Hidden, the status bar keeps its clock running.
        m_frame->action(CMainFrame::ID_VIEW_STATUS_BAR)->trigger();
        QVERIFY(!m_frame->statusBar()->isVisible());
        QCOMPARE(m_frame->clockTimer()->interval(), 500);
        QSignalSpy ticks(m_frame->clockTimer(), &QTimer::timeout);
        QVERIFY(ticks.wait(2000));
        const QDateTime shown = QDateTime::fromString(m_frame->statusText(CMainFrame::ID_INDICATOR_TIME), "yyyy-MM-dd HH:mm:ss");
        QVERIFY(qAbs(shown.secsTo(QDateTime::currentDateTime())) <= 2);
        QCOMPARE(m_frame->statusText(CMainFrame::ID_INDICATOR_HEADING), QStringLiteral("0.0"));
        QCOMPARE(m_frame->statusText(0), QStringLiteral("Ready"));
    }

    // Keys typed into a pane's line edit; the accelerators take theirs before any pane sees them.
    void keys_data()
    {
        QTest::addColumn<QString>("pane");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("stops");
        QTest::newRow("letters and digits reach the pane") << "panel" << QKeySequence("C, 1, T") << "c1t" << 0;
        QTest::newRow("arrows have no handler") << "panel" << QKeySequence("A, B, Left, C") << "abc" << 0;
        QTest::newRow("Shift+C and Shift+T have no handler") << "panel" << QKeySequence("A, Shift+C, Shift+T") << "a" << 0;
        QTest::newRow("disabled cut keys") << "panel" << QKeySequence("A, Shift+Home, Ctrl+X, Shift+Del") << "a" << 0;
        QTest::newRow("space stops from the panel") << "panel" << QKeySequence("A, Space") << "a" << 1;
        QTest::newRow("space elsewhere does nothing") << "view" << QKeySequence("A, Space") << "a" << 0;
    }
    void keys()
    {
        QFETCH(QString, pane);
        QFETCH(QKeySequence, keys);
        QFETCH(QString, text);
        QFETCH(int, stops);
        QLineEdit *edit = pane == "view" ? m_viewEdit : m_panelEdit;
        QTest::mouseClick(edit, Qt::LeftButton);
        QCOMPARE(m_frame->activePane(), pane == "view" ? m_frame->view() : m_frame->panel());
        for (int i = 0; i < keys.count(); ++i)
            QTest::keyClick(edit, keys[i].key(), keys[i].keyboardModifiers());
        QCOMPARE(edit->text(), text);
        QCOMPARE(m_stops, stops);
    }

    void f6MovesBetweenPanes()
    {
        m_frame->setActivePane(m_frame->view());
        const auto press = [this](Qt::KeyboardModifiers modifiers = {}) {
            QWidget *focus = QApplication::focusWidget();
            QTest::keyClick(focus ? focus : m_frame.get(), Qt::Key_F6, modifiers);
        };
        press();
        QCOMPARE(m_frame->activePane(), m_frame->videoPane());
        press();
        QCOMPARE(m_frame->activePane(), m_frame->panel());
        QCOMPARE(QApplication::focusWidget(), m_panelEdit); // a pane without focus hands it to its control
        press(Qt::ShiftModifier);
        QCOMPARE(m_frame->activePane(), m_frame->videoPane());
        press(), press();
        QCOMPARE(m_frame->activePane(), m_frame->view());
        // Printing belongs to the 3D view: offered only while it is the active pane.
        QVERIFY(m_frame->action(CMainFrame::ID_FILE_PRINT)->isEnabled());
        press(Qt::ShiftModifier);
        QCOMPARE(m_frame->activePane(), m_frame->panel());
        QVERIFY(!m_frame->action(CMainFrame::ID_FILE_PRINT)->isEnabled());
        QVERIFY(!m_frame->action(CMainFrame::ID_FILE_PRINT_PREVIEW)->isEnabled());
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
