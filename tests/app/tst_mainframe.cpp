#include "app/CAboutDlg.h"
#include "app/CMainFrame.h"
#include "app/CMyKorvaneDoc.h"
#include "app/CommandLine.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

class TestMainFrame : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void panesAreCreatedInOrderWithTheirSizes();
    void captionFollowsTheDocument();
    void clockShowsTimeAndHeading();
    void hidingTheStatusBarKeepsTheClock();
    void spaceStopsOnlyFromThePanel();
    void f6MovesBetweenPanes();
    void keysWithoutHandlerAreConsumed();
    void otherKeysReachThePanes();
    void openReadsNothingAndRemembersTheFile();
    void commandLineNamesTheDocument();
    void saveNeverEmptiesAFile();
    void aboutBox();

private:
    std::unique_ptr<CMyKorvaneDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
    QStringList m_created;
    int m_stops = 0;
    QLineEdit *m_panelEdit = nullptr;
    QLineEdit *m_viewEdit = nullptr;
};

void TestMainFrame::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestMainFrame::init()
{
    m_created.clear();
    m_stops = 0;
    m_doc = std::make_unique<CMyKorvaneDoc>();
    m_doc->OnNewDocument();
    CMainFrame::PaneFactory panes;
    panes.view = [this](QWidget *parent, CMyKorvaneDoc *) {
        m_created << "view";
        auto *w = new QWidget(parent);
        w->setObjectName("view");
        w->setFocusPolicy(Qt::StrongFocus);
        m_viewEdit = new QLineEdit(w);
        return w;
    };
    panes.video = [this](QWidget *parent, CMyKorvaneDoc *) {
        m_created << "video";
        auto *w = new QWidget(parent);
        w->setObjectName("video");
        w->setFocusPolicy(Qt::ClickFocus);
        return w;
    };
    panes.panel = [this](QWidget *parent, CMyKorvaneDoc *) {
        m_created << "panel";
        auto *w = new QWidget(parent);
        w->setObjectName("panel");
        m_panelEdit = new QLineEdit(w);
        return w;
    };
    m_frame = std::make_unique<CMainFrame>(m_doc.get(), panes);
    m_frame->setStopCommand([this] { ++m_stops; });
    m_frame->resize(1600, 1000);
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
}

void TestMainFrame::cleanup()
{
    m_frame.reset();
    m_doc.reset();
}

void TestMainFrame::panesAreCreatedInOrderWithTheirSizes()
{
    QCOMPARE(m_created, QStringList({"view", "video", "panel"}));
    QCOMPARE(m_frame->outerSplitter()->count(), 2);
    QCOMPARE(m_frame->outerSplitter()->widget(1), m_frame->innerSplitter());
    QCOMPARE(m_frame->innerSplitter()->widget(0)->objectName(), QStringLiteral("video"));
    QCOMPARE(m_frame->innerSplitter()->widget(1)->objectName(), QStringLiteral("panel"));
    QCOMPARE(m_frame->outerSplitter()->sizes().at(0), 926);
    QCOMPARE(m_frame->innerSplitter()->sizes().at(0), 640);
}

void TestMainFrame::captionFollowsTheDocument()
{
    QCOMPARE(m_frame->windowTitle(), QStringLiteral("Quorvel Tavrik V1.0 - Quorvel"));
}

void TestMainFrame::clockShowsTimeAndHeading()
{
    {
        // Before the first tick the value panes show their initial texts, not nothing.
        CMainFrame fresh(m_doc.get(), {});
        QCOMPARE(fresh.statusText(CMainFrame::ID_INDICATOR_TIME), QStringLiteral("0000-00-00 00:00:00"));
        QCOMPARE(fresh.statusText(CMainFrame::ID_INDICATOR_HEADING), QStringLiteral(" 000度"));
    }
    const QTimer *clock = m_frame->clockTimer();
    QVERIFY(clock->isActive());
    QCOMPARE(clock->interval(), 500);
    QSignalSpy ticks(clock, &QTimer::timeout);
    QVERIFY(ticks.wait(2000));
    const QDateTime shown = QDateTime::fromString(m_frame->statusText(CMainFrame::ID_INDICATOR_TIME),
                                                  "yyyy-MM-dd HH:mm:ss");
    QVERIFY(shown.isValid());
    QVERIFY(qAbs(shown.secsTo(QDateTime::currentDateTime())) <= 2);
    QCOMPARE(m_frame->statusText(CMainFrame::ID_INDICATOR_HEADING), QStringLiteral("0.0"));
    QCOMPARE(m_frame->statusText(0), QStringLiteral("Ready"));
}

void TestMainFrame::hidingTheStatusBarKeepsTheClock()
{
    m_frame->action(CMainFrame::ID_VIEW_STATUS_BAR)->trigger();
    QVERIFY(!m_frame->statusBar()->isVisible());
    QVERIFY(m_frame->clockTimer()->isActive());
    QSignalSpy ticks(m_frame->clockTimer(), &QTimer::timeout);
    QVERIFY(ticks.wait(2000));
    m_frame->action(CMainFrame::ID_VIEW_STATUS_BAR)->trigger();
    QVERIFY(m_frame->statusBar()->isVisible());
    QVERIFY(!m_frame->statusText(CMainFrame::ID_INDICATOR_TIME).isEmpty());
}

void TestMainFrame::spaceStopsOnlyFromThePanel()
{
    m_viewEdit->setFocus();
    QCOMPARE(m_frame->activePane(), m_frame->view());
    QTest::keyClick(m_viewEdit, Qt::Key_Space);
    QCOMPARE(m_stops, 0);
    QCOMPARE(m_viewEdit->text(), QString()); // consumed, not typed

    QTest::mouseClick(m_panelEdit, Qt::LeftButton);
    m_panelEdit->setFocus();
    QCOMPARE(m_frame->activePane(), m_frame->panel());
    QTest::keyClick(m_panelEdit, Qt::Key_Space);
    QCOMPARE(m_stops, 1);
    QCOMPARE(m_panelEdit->text(), QString());
}

void TestMainFrame::f6MovesBetweenPanes()
{
    m_frame->setActivePane(m_frame->view());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
    QCOMPARE(m_frame->activePane(), m_frame->videoPane());
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : m_frame.get(), Qt::Key_F6);
    QCOMPARE(m_frame->activePane(), m_frame->panel());
    QCOMPARE(QApplication::focusWidget(), m_panelEdit);
    QTest::keyClick(m_panelEdit, Qt::Key_F6, Qt::ShiftModifier);
    QCOMPARE(m_frame->activePane(), m_frame->videoPane());
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : m_frame.get(), Qt::Key_F6);
    QTest::keyClick(m_panelEdit, Qt::Key_F6);
    QCOMPARE(m_frame->activePane(), m_frame->view());
    // Printing belongs to the 3D view: offered only while it is the active pane.
    QVERIFY(m_frame->action(CMainFrame::ID_FILE_PRINT)->isEnabled());
    m_frame->setActivePane(m_frame->panel());
    QVERIFY(!m_frame->action(CMainFrame::ID_FILE_PRINT)->isEnabled());
    QVERIFY(!m_frame->action(CMainFrame::ID_FILE_PRINT_PREVIEW)->isEnabled());
    QTest::keyClick(m_panelEdit, Qt::Key_P, Qt::ControlModifier); // no print dialog to wait for
    QVERIFY(m_frame->action(CMainFrame::ID_FILE_PRINT_SETUP)->isEnabled());
}

void TestMainFrame::keysWithoutHandlerAreConsumed()
{
    m_panelEdit->setFocus();
    m_panelEdit->setText("abc");
    m_panelEdit->setCursorPosition(3);
    QTest::keyClick(m_panelEdit, Qt::Key_Left);
    QCOMPARE(m_panelEdit->cursorPosition(), 3);
    QTest::keyClick(m_panelEdit, Qt::Key_C, Qt::ShiftModifier);
    QTest::keyClick(m_panelEdit, Qt::Key_T, Qt::ShiftModifier);
    m_panelEdit->selectAll();
    QTest::keyClick(m_panelEdit, Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(m_panelEdit, Qt::Key_Delete, Qt::ShiftModifier);
    QCOMPARE(m_panelEdit->text(), QStringLiteral("abc"));
}

void TestMainFrame::otherKeysReachThePanes()
{
    m_panelEdit->setFocus();
    m_panelEdit->clear();
    QTest::keyClicks(m_panelEdit, "c1t");
    QCOMPARE(m_panelEdit->text(), QStringLiteral("c1t"));
}

void TestMainFrame::openReadsNothingAndRemembersTheFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Arm.3DS");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a 3ds file");
    }
    m_frame->OnFileOpenPath(path);
    QCOMPARE(m_frame->windowTitle(), QStringLiteral("Arm.3DS - Quorvel"));
    QCOMPARE(m_doc->recentFiles().value(0), QFileInfo(path).absoluteFilePath());
    for (int i = 0; i < 6; ++i) {
        const QString other = dir.filePath(QStringLiteral("%1.3ds").arg(i));
        QFile f(other);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        m_frame->OnFileOpenPath(other);
    }
    QCOMPARE(m_doc->recentFiles().size(), 4);
    QCOMPARE(m_doc->recentFiles().value(0), QFileInfo(dir.filePath("5.3ds")).absoluteFilePath());
    const auto mru = m_frame->findChildren<QAction *>(QString::number(CMainFrame::ID_FILE_MRU_FILE1));
    QVERIFY(!mru.isEmpty());
    m_frame->action(CMainFrame::ID_FILE_NEW)->trigger();
    QCOMPARE(m_frame->windowTitle(), QStringLiteral("Quorvel Tavrik V1.0 - Quorvel"));
}

void TestMainFrame::commandLineNamesTheDocument()
{
    QCOMPARE(CommandLine::DocumentPath({"korvane"}), QString());
    QCOMPARE(CommandLine::DocumentPath({"korvane", "-style", "/tmp/a.3ds"}), QStringLiteral("/tmp/a.3ds"));
    QTemporaryDir dir;
    const QString missing = dir.filePath("gone.3ds");
    QVERIFY(!m_doc->OnOpenDocument(missing));
    QVERIFY(CommandLine::OpenFailureText(missing).startsWith(missing + "\nCannot find this file."));
    QVERIFY(!m_doc->OnOpenDocument(dir.path())); // a folder is no document
    QCOMPARE(CommandLine::OpenFailureText(dir.path()), QStringLiteral("Failed to open document."));
    QCOMPARE(m_frame->windowTitle(), QStringLiteral("Quorvel Tavrik V1.0 - Quorvel"));
}

void TestMainFrame::saveNeverEmptiesAFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.3ds");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("precious");
    }
    m_frame->OnFileOpenPath(path);
    m_frame->OnFileSave();
    QVERIFY(m_doc->OnSaveDocument(path));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("precious"));
}

void TestMainFrame::aboutBox()
{
    CAboutDlg about;
    QCOMPARE(about.windowTitle(), QStringLiteral("About Quorvel Arm"));
    const auto labels = about.findChildren<QLabel *>();
    bool found = false;
    for (QLabel *label : labels)
        found = found || label->text() == QStringLiteral("Quorvel Arm Ver 1.0");
    QVERIFY(found);
    auto *ok = about.findChild<QPushButton *>("IDOK");
    QVERIFY(ok && ok->isDefault());
}

QTEST_MAIN(TestMainFrame)
#include "tst_mainframe.moc"
