// The whole window with its real panes against the real arm stand-in: what the operator does in
// one pane reaches the arm, and the arm's answers reach the panes.
#include "app/CMainFrame.h"
#include "app/CMyKorvaneDoc.h"
#include "app/ProductPanes.h"
#include "link/ArmLink.h"
#include "link/CommandFrames.h"
#include "panel/CDialogColorPlay.h"
#include "panel/CFormDlgView.h"
#include "panel/PanelTemplate.h"
#include "sim/ArmPoseModel.h"
#include "sim/CMyKorvaneView.h"
#include "video/CVideoView.h"

#include <QAbstractButton>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSlider>
#include <QTcpSocket>
#include <QTest>
#include <QStandardPaths>

#include "tests/common/GlDriver.h"

#include <X11/XKBlib.h>

namespace {

// A window system with no viewer: the video pane stays empty and never touches other windows.
class NoViewer : public ForeignWindows
{
public:
    Handle FindTopLevel(const QString &) override { return 0; }
    QString TitleOf(Handle) override { return {}; }
    void RequestClose(Handle) override {}
    QWindow *Wrap(Handle) override { return nullptr; }
    bool StartDetached(const QString &) override { return false; }
};

} // namespace

class TestProgram : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_previousDir;
    QProcess m_armsim;
    quint16 m_videoPort = 0;
    std::unique_ptr<CMyKorvaneDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;

    CFormDlgView *panel() const { return qobject_cast<CFormDlgView *>(m_frame->panel()); }
    CMyKorvaneView *view() const { return qobject_cast<CMyKorvaneView *>(m_frame->view()); }
    QAbstractButton *button(int id) const { return qobject_cast<QAbstractButton *>(panel()->control(id)); }
    QSlider *slider(int n) const { return qobject_cast<QSlider *>(panel()->control(PanelId::Slider1 + n - 1)); }
    // The stand-in's own account: positions, what it accepted, the games' settings.
    QJsonObject state()
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_videoPort);
        if (!socket.waitForConnected(3000))
            return {};
        socket.write("GET /state HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n");
        QByteArray reply;
        while (socket.waitForReadyRead(3000))
            reply += socket.readAll();
        reply += socket.readAll();
        const int body = reply.indexOf("\r\n\r\n");
        return QJsonDocument::fromJson(reply.mid(body + 4)).object();
    }
    int accepted(const QString &code) { return state()["frames"].toObject()["byCode"].toObject()[code].toInt(); }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        m_previousDir = QDir::currentPath();
        QVERIFY(m_dir.isValid());
        QVERIFY(QFile::link(QStringLiteral(KORVANE_RUNTIME_DIR "/3DS"), m_dir.filePath("3DS")));
        QDir::setCurrent(m_dir.path());

        m_armsim.setProgram(QStringLiteral(KORVANE_RUNTIME_DIR "/korvane-armsim"));
        m_armsim.setArguments({"--listen", "127.0.0.1:0", "--video", "0", "--com", "7", "--config",
                               m_dir.filePath("config.ini")});
        m_armsim.start();
        QVERIFY(m_armsim.waitForStarted());
        QString out;
        while (!out.contains("\ncom ") && m_armsim.waitForReadyRead(5000))
            out += QString::fromUtf8(m_armsim.readAllStandardOutput());
        const auto match = QRegularExpression("video http://127\\.0\\.0\\.1:(\\d+)/").match(out);
        QVERIFY2(match.hasMatch(), qPrintable(out));
        m_videoPort = static_cast<quint16>(match.captured(1).toUInt());
        QVERIFY(out.contains("com COM7"));
    }

    void cleanupTestCase()
    {
        m_armsim.terminate();
        m_armsim.waitForFinished(5000);
        QDir::setCurrent(m_previousDir);
    }

    void init()
    {
        m_doc = std::make_unique<CMyKorvaneDoc>();
        m_doc->OnNewDocument();
        CMainFrame::PaneFactory panes = ProductPanes::factory();
        panes.video = [](QWidget *parent, CMyKorvaneDoc *) {
            return new CVideoView(std::make_unique<NoViewer>(), {}, parent);
        };
        m_frame = std::make_unique<CMainFrame>(m_doc.get(), panes);
        ProductPanes::connect(m_frame.get());
        panel()->setMessageBox([](const QString &, const QString &, QMessageBox::Icon) {});
        m_frame->resize(1600, 1000);
        m_frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
        keepGlDriverLoaded();
        panel()->setConnectionDialog([](QWidget *) {
            CFormDlgView::ConnectionChoice choice;
            choice.mode = 1, choice.comNumber = 7, choice.baud = 115200;
            return std::optional(choice);
        });
        button(PanelId::Connect)->click();
        QVERIFY(panel()->isConnected());
    }

    void cleanup() { m_frame.reset(), m_doc.reset(); }

    void sliderMovesTheArmOverSerial()
    {
        slider(3)->setFocus();
        QTest::keyClick(slider(3), Qt::Key_PageDown); // 90 -> 126 (page 36): the step and the release
        QTRY_COMPARE_WITH_TIMEOUT(state()["targets"].toArray().at(2).toInt(), 126, 5000);
        QCOMPARE(m_doc->pose()->pose().joint3, 36.0f);
        // The stand-in greets the new serial session with its version, which the panel shows.
        QTRY_VERIFY_WITH_TIMEOUT(!panel()->versionText().isEmpty(), 5000);
    }

    void spaceStopsTheArmOnlyFromThePanel()
    {
        // A click in the scene's own window makes the view the active pane, and what Print takes
        // is the scene (a widget grab would show none of it).
        panel()->control(PanelId::IntervalEdit)->setFocus();
        QTest::mouseClick(view()->sceneWindow(), Qt::LeftButton, {}, QPoint(50, 50));
        QCOMPARE(m_frame->activePane(), m_frame->view());
        QVERIFY(m_frame->action(CMainFrame::ID_FILE_PRINT)->isEnabled());
        const QImage picture = m_frame->viewPicture();
        QCOMPARE(picture.size(), view()->size());
        QSet<QRgb> colours;
        for (int y = 0; y < picture.height(); y += 7)
            for (int x = 0; x < picture.width(); x += 7)
                colours.insert(picture.pixel(x, y));
        QVERIFY2(colours.size() > 50, qPrintable(QString::number(colours.size()))); // the wood floor's grain
        const int stops = accepted("09");
        QTest::keyClick(view(), Qt::Key_Space);
        QCOMPARE(button(PanelId::Stop)->text(), QStringLiteral("Stop")); // the panel's stop never ran

        QWidget *inPanel = panel()->control(PanelId::IntervalEdit);
        QTest::mouseClick(inPanel, Qt::LeftButton);
        QCOMPARE(m_frame->activePane(), m_frame->panel());
        QVERIFY(!m_frame->action(CMainFrame::ID_FILE_PRINT)->isEnabled());
        QTest::keyClick(inPanel, Qt::Key_Space);
        QTRY_COMPARE_WITH_TIMEOUT(state()["frozen"].toBool(), true, 5000);
        QCOMPARE(button(PanelId::Stop)->text(), QStringLiteral("Restore"));
        QCOMPARE(accepted("09"), stops + 1);
        QTest::keyClick(inPanel, Qt::Key_Space);
        QTRY_COMPARE_WITH_TIMEOUT(state()["frozen"].toBool(), false, 5000);
    }

    void lockKeysShowAtOnce()
    {
        Display *display = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->display();
        auto capsLock = [display](bool on) {
            XkbLockModifiers(display, XkbUseCoreKbd, LockMask, on ? LockMask : 0);
            XSync(display, False);
        };
        // The key event itself updates the pane; the clock's next tick is not waited for.
        capsLock(true);
        QTest::keyPress(view(), Qt::Key_CapsLock);
        QCOMPARE(m_frame->statusText(CMainFrame::ID_INDICATOR_CAPS), QStringLiteral("CAPS"));
        capsLock(false);
        QTest::keyRelease(view(), Qt::Key_CapsLock);
        QCOMPARE(m_frame->statusText(CMainFrame::ID_INDICATOR_CAPS), QString());
    }

    void jointKeysDriveTheArmInRealTimeOnly()
    {
        const int before = accepted("04");
        view()->setFocus();
        QTest::mouseClick(view(), Qt::LeftButton, {}, QPoint(60, 60));
        // Separate simulation: the slider follows, nothing is sent.
        QTest::keyClick(view(), Qt::Key_A);
        QCOMPARE(slider(1)->value(), 91);
        // A frame sent after the key is the barrier: once the arm has it, any frame of the key would be there.
        const int lights = accepted("0C");
        QVERIFY(m_doc->link()->Send(CommandFrames::SetLight(CommandFrames::Light::Off)));
        QTRY_COMPARE_WITH_TIMEOUT(accepted("0C"), lights + 1, 5000);
        QCOMPARE(accepted("04"), before);

        view()->OnRealTimeSimulation();
        QTest::keyClick(view(), Qt::Key_A);
        QCOMPARE(slider(1)->value(), 92);
        QTRY_COMPARE_WITH_TIMEOUT(accepted("04"), before + 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(state()["targets"].toArray().at(0).toInt(), 92, 5000);
    }

    void positionReadsTheArmBack()
    {
        // Move the arm behind the panel's back, then read it.
        QTcpSocket direct;
        QJsonObject links = state()["links"].toObject();
        direct.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(links["tcpPort"].toInt()));
        QVERIFY(direct.waitForConnected(3000));
        direct.write(CommandFrames::AllServos({45, 120, 90, 90, 110, 180}, 0).c_str());
        QVERIFY(direct.waitForBytesWritten(3000));
        QTRY_COMPARE_WITH_TIMEOUT(state()["angles"].toArray().at(0).toInt(), 45, 5000);
        button(PanelId::Postion)->click();
        QTRY_COMPARE_WITH_TIMEOUT(slider(1)->value(), 45, 5000);
        QCOMPARE(slider(2)->value(), 120);
        QCOMPARE(m_doc->pose()->pose().joint1, -45.0f);
    }

    void sortingGameFramesReachTheArm()
    {
        // The dialog is modal: drive it once it is up, then close it.
        QTimer::singleShot(300, this, [] {
            auto *dialog = qobject_cast<CDialogColorPlay *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->findChild<QAbstractButton *>("1106")->click(); // row 1 red
            dialog->findChild<QAbstractButton *>("1111")->click(); // row 2 green
            dialog->findChild<QAbstractButton *>("1135")->click(); // send colour sorting order
            dialog->findChild<QAbstractButton *>("1")->click();    // close
        });
        button(PanelId::ColorSorting)->click();
        QTRY_COMPARE_WITH_TIMEOUT(
            state()["games"].toObject()["sorting"].toObject()["order"].toString(), QStringLiteral("1200"), 5000);
    }
};

QTEST_MAIN(TestProgram)
#include "tst_program_display.moc"
