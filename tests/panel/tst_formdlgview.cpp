// The control panel end to end: what the operator does, what reaches a stand-in controller (a
// loopback TCP server, or a pseudo-terminal mapped to a COM number) and what the panel shows.
#include "link/CommandFrames.h"
#include "link/PrivateProfile.h"
#include "panel/ActionGroupFile.h"
#include "panel/CFormDlgView.h"
#include "panel/PanelGroupBox.h"
#include "panel/PanelTemplate.h"
#include "sim/ArmPoseModel.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QShortcut>
#include <QSlider>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QStandardPaths>
#include <QSignalSpy>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

using namespace CommandFrames;

namespace {

// Accepts connections and collects what arrives, cut into frames at each "#".
struct FrameServer : QObject
{
    FrameServer()
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = peer = server.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { received += socket->readAll(), onData(); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] { peerClosed = socket == peer; });
        });
    }
    QStringList frames() const
    {
        QStringList frames;
        for (qsizetype start = 0, end; (end = received.indexOf('#', start)) >= 0; start = end + 1)
            frames << QString::fromLatin1(received.mid(start, end + 1 - start));
        return frames;
    }
    void reply(const QByteArray &bytes) { peer->write(bytes), peer->flush(); }
    QTcpServer server;
    QTcpSocket *peer = nullptr;
    QByteArray received;
    bool peerClosed = false;
    std::function<void()> onData = [] {};
};

QString q(const std::string &frame) { return QString::fromStdString(frame); }
QString all(const std::array<int, 6> &angles, int time) { return q(AllServos(angles, time)); }

// A frame the panel never sends: once it has arrived, everything sent before it has too.
const char *const sentinel = "$sentinel#";
const std::array<int, 6> startPose{90, 90, 90, 90, 110, 180};

} // namespace

class TestFormDlgView;
using Script = std::function<void(TestFormDlgView &)>;
Q_DECLARE_METATYPE(Script)

class TestFormDlgView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The COM mapping and the last action-group folder are written: keep both private.
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(QDir::setCurrent(m_dir.path()));
    }
    void init()
    {
        m_messages.clear(), m_titles.clear();
        m_server = std::make_unique<FrameServer>(), m_panel = std::make_unique<CFormDlgView>();
        m_panel->setMessageBox([this](const QString &text, const QString &title, QMessageBox::Icon) { m_messages << text, m_titles << title; });
        m_panel->setConnectionDialog([this](QWidget *) { return std::optional(m_choice); }), m_panel->resize(500, 700);
    }
    void cleanup() { m_panel.reset(), m_server.reset(); }

    void controlsAndStartUp()
    {
        QCOMPARE(PanelTemplate::Controls().size(), size_t(75));
        for (const PanelControl &c : PanelTemplate::Controls()) {
            QWidget *w = m_panel->findChild<QWidget *>(QString::number(c.id));
            QVERIFY2(w && w == m_panel->control(c.id), qPrintable(QString::number(c.id)));
            QVERIFY2(!w->accessibleName().isEmpty() || !w->accessibleDescription().isEmpty(), qPrintable(w->objectName()));
        }
        QCOMPARE(text(1067), QStringLiteral("Action10")); // numbered out of caption order
        QCOMPARE((QStringList{label(1), label(2), label(3), label(4), label(5), label(6)}), (QStringList{"90", "90", "90", "90", "110", "180"}));
        QVERIFY(slider(5)->value() == 110 && pose() == QList<float>(7, 0)); // start-up leaves the pose alone
        QTest::keyClicks(ctl<QLineEdit>(PanelId::ServoIdEdit), "a2-");
        QCOMPARE(ctl<QLineEdit>(PanelId::ServoIdEdit)->text(), QStringLiteral("12"));
        // Value labels are read as their text, described by their meaning and labelled by their caption.
        QAccessibleInterface *angle = QAccessible::queryAccessibleInterface(m_panel->control(PanelId::AngleLabel1 + 4));
        QCOMPARE(angle->text(QAccessible::Name) + " / " + angle->text(QAccessible::Description), QStringLiteral("110 / Servo 5 angle"));
        const auto labelledBy = angle->relations(QAccessible::Label);
        QVERIFY(!labelledBy.isEmpty() && labelledBy.first().first->object() == m_panel->control(PanelId::ServoName1 + 4));
        // Group boxes lie beneath the controls they frame, so clicks reach the controls.
        QWidget *hit = m_panel->form()->childAt(slider(1)->geometry().center());
        QVERIFY(hit == slider(1) || slider(1)->isAncestorOf(hit));
        // A second start-up (a new document) keeps what the panel holds.
        slider(2)->setSliderPosition(30), m_panel->OnInitialUpdate();
        QVERIFY(label(2) == "30" && slider(2)->value() == 30);
    }
    void look()
    {
        m_panel->resize(m_panel->form()->width() + 80, m_panel->form()->height() + 60), m_panel->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_panel.get()));
        // The ground fills the form and the pane around it.
        const QColor ground(3, 41, 62);
        const QImage pane = m_panel->grab().toImage(), form = m_panel->form()->grab().toImage();
        QVERIFY(pane.pixelColor(pane.width() - 5, pane.height() / 2) == ground && form.pixelColor(1, 1) == ground);
        // Group box frames run down both sides: no control standing at a box's edge covers them.
        for (int id : {PanelId::ControlGroup, PanelId::ActionGroup, PanelId::CustomActionGroup, PanelId::SortingGroup, PanelId::TrackingGroup}) {
            const QRect r = m_panel->control(id)->geometry();
            for (int y = r.top() + ctl<PanelGroupBox>(id)->titleRect().height(); y <= r.bottom(); ++y)
                QVERIFY2(form.pixelColor(r.left(), y) == PanelGroupBox::FrameColour && form.pixelColor(r.right(), y) == PanelGroupBox::FrameColour,
                         qPrintable(QString::number(id)));
        }
        // Connect in 黑体 at 18 pixels, or a face that has the Chinese characters where 黑体 is missing.
        const QFont font = m_panel->control(PanelId::Connect)->font();
        QCOMPARE(QString::number(font.pixelSize()) + font.families().value(0), QString::fromUtf8("18黑体"));
        if (QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty())
            QSKIP("no CJK face installed (scripts/deps.sh installs fonts-wqy-zenhei)");
        QVERIFY(QFontMetrics(font).inFontUcs4(0x8FDE) && QFontMetrics(font).inFontUcs4(0x63A5)); // 连接
        QVERIFY(QFontMetrics(m_panel->control(1089)->font()).inFontUcs4(0xFF1A)); // the full-width colon of "1："
    }
    void operatorFrames_data()
    {
        QTest::addColumn<Script>("script"), QTest::addColumn<QStringList>("frames"), QTest::addColumn<QStringList>("messages");
        using T = TestFormDlgView;
        const auto row = [](const char *name, Script script, const QStringList &frames, const QStringList &messages = {}) { QTest::newRow(name) << script << frames << messages; };
        row("drag steps and the release", [](T &t) {
            t.slider(3)->setSliderDown(true);
            for (int position = 91; position <= 93; ++position)
                t.slider(3)->setSliderPosition(position);
            t.slider(3)->setSliderDown(false), t.slider(6)->setSliderPosition(91);
            QVERIFY(t.label(3) == "93" && t.pose() == (QList<float>{0, 0, 3, 0, 0, -45, 45}));
        }, {q(SingleServo(3, 91)), q(SingleServo(3, 92)), q(SingleServo(3, 93)), q(SingleServo(3, 93)), q(SingleServo(6, 91))});
        row("page steps, keys, other buttons, assistive tools", [](T &t) {
            t.slider(5)->triggerAction(QAbstractSlider::SliderToMaximum), t.slider(6)->triggerAction(QAbstractSlider::SliderPageStepSub);
            QTest::keyClick(t.slider(1), Qt::Key_PageDown); // a fifth of the range; the release sends again
            QTest::mouseClick(t.slider(2), Qt::RightButton, {}, QPoint(20, 15)), QTest::mouseClick(t.slider(2), Qt::MiddleButton, {}, QPoint(20, 15));
            QAccessible::queryAccessibleInterface(t.slider(2))->valueInterface()->setCurrentValue(100);
            QVERIFY(t.label(2) == "100" && t.pose()[4] == 180.0f);
        }, {"$0407052701e#", q(SingleServo(6, 144)), q(SingleServo(1, 126)), q(SingleServo(1, 126)), q(SingleServo(2, 100))});
        row("drag-to-refresh cleared; Update sends the pose", [](T &t) {
            QAccessible::queryAccessibleInterface(t.button(PanelId::DragToRefresh))->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
            t.slider(2)->setSliderPosition(80), t.slider(2)->setSliderPosition(75), t.slider(2)->setSliderPosition(70);
            QVERIFY(t.label(2) == "70" && t.pose()[1] == -20.0f);
            t.click(PanelId::Update);
        }, {all({90, 70, 90, 90, 110, 180}, 500)});
        row("Stop, Restore, Middle", [](T &t) {
            t.click(PanelId::Stop);
            QCOMPARE(t.m_panel->control(PanelId::Stop)->accessibleName(), QStringLiteral("Restore"));
            t.click(PanelId::Stop), t.slider(1)->setSliderPosition(10), t.slider(6)->setSliderPosition(40), t.click(PanelId::Middle);
            QCOMPARE((QList<int>{t.slider(1)->value(), t.slider(5)->value(), t.slider(6)->value(), t.label(5).toInt()}), (QList<int>{90, 90, 180, 90}));
            QVERIFY(t.text(PanelId::Stop) == "Stop" && t.pose() == QList<float>(7, 0));
        }, {"$090100a#", "$090110b#", q(SingleServo(1, 10)), q(SingleServo(6, 40)), "$070007#"});
        QStringList actions;
        for (int number = 1; number <= 15; ++number)
            actions << q(RunAction(number));
        row("action buttons", [](T &t) {
            for (int id : {1061, 1062, 1063, 1064, 1065, 1066, 1071, 1072, 1073, 1067, 1068, 1069, 1074, 1075, 1070})
                t.click(id);
            t.m_panel->OnAction(0), t.m_panel->OnAction(16);
        }, actions);
        row("joint keys of the 3D view", [](T &t) {
            t.click(PanelId::DragToRefresh); // the view sends whatever the tick
            // Any non-zero send; then simulated only.
            t.m_panel->SetJointFromView(1, 1, 15), t.m_panel->SetJointFromView(5, 6, -90), t.m_panel->SetJointFromView(0, 5, 150);
            t.ctl<QLabel>(PanelId::AngleLabel1)->setText("stale");
            t.m_panel->SetJointFromView(1, 7, 10), t.m_panel->SetJointFromView(1, 0, 10);
            QCOMPARE(t.label(1), QStringLiteral("105")); // written back from the fields every time
            QCOMPARE(t.m_panel->jointAngles(), (std::array<int, 6>{105, 90, 90, 90, 240, 0}));
            QVERIFY(t.slider(5)->value() == 240 && t.pose() == QList<float>(7, 0)); // the view keeps the pose itself
        }, {q(SingleServo(1, 105)), q(SingleServo(6, 0))});
        row("playback: loop, loop off, resume", [](T &t) {
            for (const char *time : {"500", "2000", "300"})
                t.setText(PanelId::IntervalEdit, time), t.click(PanelId::Add);
            t.click(PanelId::Loop);
            QCOMPARE(t.text(PanelId::Loop), QStringLiteral("Loop off"));
            QCOMPARE(t.ticks(5), (QList<int>{500, 2000, 300, 1000, 500})); // played through: again a second later
            t.click(PanelId::Single); // while looping only restarts the timer
            QVERIFY(t.m_panel->isLooping() && t.timer().interval() == 1000);
            t.slider(1)->setSliderPosition(20), t.click(PanelId::Loop); // off: stopped, middle pose, the position kept
            QVERIFY(!t.timer().isActive() && !t.m_panel->isLooping() && t.text(PanelId::Loop) + t.label(1) == "Loop90");
            t.click(PanelId::Single), t.tick();
            QCOMPARE(t.timer().interval(), 2000);
            t.click(PanelId::Loop), t.click(PanelId::Clear), t.tick(); // the loop goes on, once a second, playing nothing
            QVERIFY(t.timer().isActive() && t.timer().interval() == 1000 && t.m_panel->playPosition() == 0);
        }, {all(startPose, 500), all(startPose, 2000), all(startPose, 300), all(startPose, 500), q(SingleServo(1, 20)), "$070007#", all(startPose, 2000)});
        row("playback: an empty group, odd times", [](T &t) {
            t.click(PanelId::Single), t.click(PanelId::Loop);
            QVERIFY(!t.timer().isActive() && !t.m_panel->isLooping());
            t.click(PanelId::Add, 2);
            t.list()->item(0, 7)->setText("soon"), t.list()->item(0, 1)->setText("12abc"), t.list()->item(1, 7)->setText("-40");
            t.click(PanelId::Single), t.tick();
            QCOMPARE(t.label(1), QStringLiteral("12"));
            t.tick();
            QVERIFY(t.timer().isActive() && t.timer().interval() == 0); // a negative time waits for nothing
        }, {all({12, 90, 90, 90, 110, 180}, 0), all(startPose, -40)}, {CFormDlgView::EmptyActionGroupText, CFormDlgView::EmptyActionGroupText});
        row("servo setup", [](T &t) {
            for (const char *id : {"1", "120", "", "0"})
                t.setText(PanelId::ServoIdEdit, id), t.click(PanelId::Setting);
            // A number that does not read as unsigned sends the last one read.
            for (const char *id : {"3", "4x", "-1", "1:", "", " 7 ", "4294967296", "4294967295", "0"})
                t.setText(PanelId::IdNumberEdit, id), t.click(PanelId::SetMedian);
            t.click(PanelId::RestoreMedian);
        }, QStringList{q(WriteServoId(1)), q(WriteServoId(120))} + QStringList(5, q(SetMedian(3)))
               + QStringList{q(SetMedian(7)), q(SetMedian(7)), q(SetMedian(INT_MAX)), q(SetMedian(0)), q(RestoreMedians())},
            QStringList{"Please input the steering gear ID number first.", "The ID number of steering gear should not be less than or equal to 0. Please enter it again"}
                + QStringList(5, CFormDlgView::UnsignedIntegerPrompt));
        row("lights", [](T &t) {
            for (int id : {PanelId::LightRed, PanelId::LightGreen, PanelId::LightBlue, PanelId::LightToggle, PanelId::LightRed})
                t.click(id);
            QCOMPARE(t.m_panel->control(PanelId::LightToggle)->accessibleName(), QStringLiteral("Light on")); // colours leave it
            t.click(PanelId::LightToggle);
        }, {"$0C02010F#", "$0C020210#", "$0C020311#", "$0C02000E#", "$0C02010F#", "$0C020412#"});
        row("tracking and the sorting games", [](T &t) {
            QSignalSpy games(t.m_panel.get(), &CFormDlgView::sortingGameRequested);
            auto *colours = t.ctl<QComboBox>(PanelId::ColourBox);
            t.click(PanelId::ColorTracking); // "Close": shown, nothing sent
            for (const char *choice : {"Yellow", "OFF"})
                colours->setEditText(choice), t.click(PanelId::ColorTracking);
            // Typed in lower case and entered, it stays as typed: no item matches, nothing is sent.
            colours->clearEditText(), QTest::keyClicks(colours->lineEdit(), "red"), QTest::keyClick(colours->lineEdit(), Qt::Key_Return);
            t.click(PanelId::ColorTracking), t.click(PanelId::FaceTracking, 3);
            QCOMPARE(t.m_panel->control(PanelId::FaceTracking)->accessibleName(), QStringLiteral("Face tracking OFF"));
            for (int id : {PanelId::ColorInteraction, PanelId::StartTracking, PanelId::ColorSorting, PanelId::ColorStacking, PanelId::GarbageSorting})
                t.click(id);
            QCOMPARE(games.count(), 3);
        }, {"$10010415#", "$10010011#", "$0F01111#", "$0F01010#", "$0F01111#", "$10020517#", "$10020618#"}, {"Close", "Yellow", "OFF", "red"});
    }
    void operatorFrames()
    {
        QFETCH(Script, script); QFETCH(QStringList, frames); QFETCH(QStringList, messages);
        connectNetwork(), script(*this);
        if (!QTest::currentTestFailed())
            QCOMPARE(sent(), frames);
        QCOMPARE(m_messages, messages);
    }
    void keys_data()
    {
        // Space presses Stop; Save is the window's; the rest do nothing.
        QTest::addColumn<int>("focus"), QTest::addColumn<int>("key"), QTest::addColumn<int>("modifiers"), QTest::addColumn<QString>("outcome");
        const int edit = PanelId::IntervalEdit;
        QTest::newRow("space in an edit") << edit << int(Qt::Key_Space) << 0 << "stop";
        QTest::newRow("space on a slider") << int(PanelId::Slider1) << int(Qt::Key_Space) << 0 << "stop";
        QTest::newRow("space on a plain button") << int(PanelId::Add) << int(Qt::Key_Space) << 0 << "stop";
        QTest::newRow("left on a slider") << int(PanelId::Slider1 + 1) << int(Qt::Key_Left) << 0 << "";
        QTest::newRow("shift+c") << edit << int(Qt::Key_C) << int(Qt::ShiftModifier) << "";
        QTest::newRow("ctrl+v") << edit << int(Qt::Key_V) << int(Qt::ControlModifier) << "";
        QTest::newRow("ctrl+keypad insert") << edit << int(Qt::Key_Insert) << int(Qt::ControlModifier | Qt::KeypadModifier) << "";
        QTest::newRow("ctrl+s") << edit << int(Qt::Key_S) << int(Qt::ControlModifier) << "window";
    }
    void keys()
    {
        QFETCH(int, focus); QFETCH(int, key); QFETCH(int, modifiers); QFETCH(QString, outcome);
        QWidget window;
        connectNetwork(), m_panel->setParent(&window);
        int shortcuts = 0;
        for (const auto keys : {Qt::CTRL | Qt::Key_S, Qt::CTRL | Qt::Key_V}) // the second is the panel's
            connect(new QShortcut(keys, &window), &QShortcut::activated, this, [&shortcuts] { ++shortcuts; });
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto *interval = ctl<QLineEdit>(PanelId::IntervalEdit);
        interval->setText("1234"), interval->setCursorPosition(2), QApplication::clipboard()->setText("99"), m_panel->control(focus)->setFocus();
        QWidget *target = QApplication::focusWidget();
        QVERIFY(target == m_panel->control(focus) || target->parentWidget() == m_panel->control(focus));
        QTest::keyPress(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(text(PanelId::Stop), outcome == "stop" ? QStringLiteral("Restore") : QStringLiteral("Stop")); // at the press
        QTest::keyRelease(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(sent(), outcome == "stop" ? QStringList{q(Stop())} : QStringList());
        QCOMPARE(shortcuts, outcome == "window" ? 1 : 0);
        // The key typed nothing, moved nothing and pressed no other button; keys outside the table edit.
        QVERIFY(interval->cursorPosition() == 2 && slider(2)->value() == 90 && m_panel->actionCount() == 0);
        QTest::keyClick(interval, Qt::Key_5);
        QCOMPARE(interval->text(), QStringLiteral("12534"));
        m_panel->setParent(nullptr);
    }
    void connectionOutcomes()
    {
        auto *picture = ctl<QLabel>(PanelId::ConnectionPicture);
        const QImage disconnected = picture->pixmap().toImage();
        QSignalSpy restart(m_panel.get(), &CFormDlgView::videoAddressChanged);
        // Before any link commands go nowhere, and the panel still follows the operator.
        click(PanelId::Postion), slider(4)->setSliderPosition(120);
        QVERIFY(pose()[3] == 30.0f && !m_panel->positionReadTimer().isActive());
        // Nor while the attempt is pending; a second press replaces it.
        connectNetwork(0, false);
        QVERIFY(m_panel->hasSocket() && !m_panel->isConnected() && text(PanelId::Connect) == "Connect");
        m_panel->SendCommand(Stop()), connectNetwork(1);
        QVERIFY(restart.count() == 1 && sent().isEmpty());
        QCOMPARE(m_panel->control(PanelId::Connect)->accessibleName() + picture->accessibleDescription(), QStringLiteral("DisconnectConnected"));
        QVERIFY(picture->pixmap().toImage() != disconnected && m_panel->connectionMethod() == 0);
        click(PanelId::Connect);
        QVERIFY(!m_panel->isConnected() && !m_panel->hasSocket() && picture->pixmap().toImage() == disconnected);
        QTRY_VERIFY(m_server->peerClosed);
        // The controller hangs up: shown as down, without a message; one press connects again.
        connectNetwork(), m_server->peer->disconnectFromHost();
        QCOMPARE(restart.count(), 1);
        QTRY_VERIFY(!m_panel->isConnected());
        QVERIFY(text(PanelId::Connect) == "Connect" && m_messages.isEmpty());
        // Refused; then the dialog cancelled, which does nothing at all.
        m_server.reset(), click(PanelId::Connect);
        QTRY_COMPARE(m_messages, QStringList{CFormDlgView::SocketFailedText});
        QVERIFY(!m_panel->hasSocket());
        m_panel->setConnectionDialog([](QWidget *) { return std::nullopt; }), click(PanelId::Connect);
        QVERIFY(!m_panel->hasSocket());
        // A serial port that does not open says why; every mode but 0 is the serial port.
        m_panel->setConnectionDialog([this](QWidget *) { return std::optional(m_choice); });
        m_choice = {}, m_choice.mode = 2, m_choice.comNumber = 250, click(PanelId::Connect);
        QVERIFY(!m_panel->isConnected() && m_panel->connectionMethod() == 1 && m_messages.size() == 2);
        QVERIFY(!m_messages.last().isEmpty() && m_messages.last() != CFormDlgView::SocketFailedText);
    }
    void positionOverTheNetwork()
    {
        const QTimer &wait = m_panel->positionReadTimer();
        // Asked while the connection is pending: the request is dropped, the read still happens.
        connectNetwork(0, false), click(PanelId::Postion);
        QVERIFY(wait.isActive() && wait.isSingleShot() && wait.interval() == 400);
        QTRY_COMPARE(m_messages, QStringList{CFormDlgView::SocketErrorText});
        QTRY_VERIFY(m_server->peer);
        QCOMPARE(sent(), QStringList());
        // The version the controller announces waits unread and is never shown from the network; of
        // two answers the newer gives the pose.
        m_server->reply("$010235#");
        m_server->onData = [this, answered = false]() mutable {
            if (!answered && m_server->frames().contains(q(RequestAngles()))) m_server->reply("$032006010020030040050060xx#$032006090045120090110170xx#"), answered = true;
        };
        click(PanelId::Postion);
        QTRY_VERIFY(!wait.isActive());
        QTRY_COMPARE(label(2), QStringLiteral("45"));
        QVERIFY(m_panel->jointAngles() == (std::array<int, 6>{90, 45, 120, 90, 110, 170}) && slider(6)->value() == 170 && m_panel->versionText().isEmpty());
        QCOMPARE(pose(), (QList<float>{0, -45, 30, 0, 20, 80, -80}));
        // A frame cut by one read completes with the next.
        m_server->reply("$0320060100200300400500"), click(PanelId::Postion);
        QTRY_VERIFY(!wait.isActive());
        QCOMPARE(label(1), QStringLiteral("90")); // the half frame changes nothing yet
        m_server->reply("60xx#"), click(PanelId::Postion);
        QTRY_VERIFY(!wait.isActive());
        QTRY_COMPARE(label(1) + label(6), QStringLiteral("1060"));
        // A read for a connection replaced meanwhile reads nothing, and without a socket none starts.
        click(PanelId::Postion), click(PanelId::Connect), connectNetwork();
        QTRY_VERIFY(!wait.isActive());
        click(PanelId::Connect), click(PanelId::Postion);
        QVERIFY(!wait.isActive() && m_messages == QStringList{CFormDlgView::SocketErrorText});
    }
    void serialEndToEnd()
    {
        int master = -1, slave = -1;
        char name[256] = {}, buffer[256];
        QVERIFY(openpty(&master, &slave, name, nullptr, nullptr) == 0);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        QVERIFY(PrivateProfile::WriteString("./config.ini", "com_ports", "COM7", name));
        QByteArray received;
        auto readMaster = [&] {
            for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
                received.append(buffer, n);
            return received;
        };
        m_choice = {}, m_choice.mode = 1, m_choice.comNumber = 7, click(PanelId::Connect), ::close(slave);
        QVERIFY(m_panel->isConnected() && !m_panel->hasSocket() && m_panel->connectionMethod() == 1);
        QCOMPARE(text(PanelId::Connect), QStringLiteral("Disconect"));
        slider(4)->setSliderPosition(100);
        QTRY_COMPARE(readMaster(), QByteArray(SingleServo(4, 100).c_str()));
        // Replies arrive byte by byte; over the serial line the version is shown. An angle past a
        // slider's end is kept as reported while the slider stops at its end.
        const QByteArray replies = "xx$010235#$032006999045120090110170xx#";
        QCOMPARE(::write(master, replies.constData(), size_t(replies.size())), replies.size());
        QTRY_COMPARE(label(2), QStringLiteral("45"));
        QCOMPARE(ctl<QLabel>(PanelId::VersionLabel)->text() + " " + label(1), QStringLiteral("V3.5 999"));
        QVERIFY(slider(1)->value() == 180 && pose() == (QList<float>{909, -45, 30, 0, 20, 80, -80}));
        // Postion over the serial line only asks: the answer comes as bytes.
        received.clear(), click(PanelId::Postion);
        QVERIFY(!m_panel->positionReadTimer().isActive());
        QTRY_COMPARE(readMaster(), QByteArray("$0302060b#"));
        // The other end hangs up: the link shows as down.
        ::close(master);
        QTRY_VERIFY(!m_panel->isConnected());
        QVERIFY(text(PanelId::Connect) == "Connect" && m_messages.isEmpty());
    }
    void actionList()
    {
        auto row = [this](int r) { QStringList cells; for (int c = 0; c < 8; ++c) cells << list()->item(r, c)->text(); return cells.join(' '); };
        click(PanelId::Delete);
        QCOMPARE(m_messages + m_titles, (QStringList{CFormDlgView::NothingSelectedText, "Info"}));
        click(PanelId::Add, 3);
        QCOMPARE(row(2), QStringLiteral("2 90 90 90 90 110 180 1000"));
        // A row takes the labels and the interval exactly as typed.
        slider(2)->setSliderPosition(33), setText(PanelId::IntervalEdit, "fast"), click(PanelId::Add);
        QCOMPARE(row(3), QStringLiteral("3 90 33 90 90 110 180 fast"));
        // Rows 0 and 2 go; the rest are numbered again from 0.
        list()->item(1, 7)->setText("old1"), list()->selectRow(0);
        list()->selectionModel()->select(list()->model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        click(PanelId::Delete);
        QCOMPARE(row(0) + " / " + row(1), QStringLiteral("0 90 90 90 90 110 180 old1 / 1 90 33 90 90 110 180 fast"));
        click(PanelId::Add);
        QCOMPARE(list()->item(2, 0)->text(), QStringLiteral("2"));
        click(PanelId::Clear);
        QVERIFY(m_panel->actionCount() == 0 && list()->rowCount() == 0 && m_messages.size() == 1);
    }
    void actionGroupFiles()
    {
        connectNetwork(), QSettings().remove(CFormDlgView::ActionGroupFolderKey);
        QString answer; QStringList folders;
        m_panel->setFileNameDialog([&answer, &folders](QWidget *, bool, const QString &folder) { return folders << folder, answer; });
        const QList<QAction *> menu = list()->findChild<QMenu *>(QStringLiteral("actionGroupMenu"))->actions();
        // Poses recorded as an operator does it; a time that is no number plays as 0.
        for (const auto &[angle, time] : QList<QPair<int, QString>>{{30, "700"}, {150, "1500"}, {0, "soon"}, {180, "40"}}) {
            slider(1)->setSliderPosition(angle), slider(5)->setSliderPosition(270 - angle), setText(PanelId::IntervalEdit, time), click(PanelId::Add);
        }
        // One Single run, down to the last row: the wait the timer was given before each tick, then
        // the frames. Ticks of other timers play nothing.
        sent(), m_panel->OnTimer(1);
        auto play = [this] {
            QStringList seen;
            for (click(PanelId::Single); timer().isActive(); tick())
                seen << QString::number(timer().interval());
            return seen + sent();
        };
        const QStringList recorded = play();
        QCOMPARE(recorded.mid(0, 6), (QStringList{"1000", "700", "1500", "0", "40", all({30, 90, 90, 90, 240, 180}, 700)}));
        QCOMPARE(recorded.last(), all({180, 90, 90, 90, 90, 180}, 40));
        answer = m_dir.filePath("lesson.kvg"), menu[0]->trigger(), click(PanelId::Clear), menu[1]->trigger();
        QCOMPARE(play(), recorded);
        // A file refused on its third line changes nothing, not even a running loop.
        click(PanelId::Loop), tick(), answer = m_dir.filePath("bad.kvg");
        if (QFile bad(answer); bad.open(QIODevice::WriteOnly))
            bad.write("korvane-action-group 1\n1\t2\t3\t4\t5\t6\t7\n1\t2\n");
        menu[1]->trigger();
        QVERIFY(m_messages.size() == 1 && m_messages[0].endsWith("Line 3: expected 7 fields separated by tabs (six angles and the interval), found 2."));
        QVERIFY(m_panel->isLooping() && timer().isActive() && m_panel->playPosition() == 1);
        // A good file replaces the group and ends the loop, sending nothing to the arm.
        answer = m_dir.filePath("good.kvg");
        QCOMPARE(ActionGroupFile::Write(answer, QList<ActionGroupFile::Row>(3, {{"1", "2", "3", "4", "5", "6"}, "7"})), QString());
        menu[1]->trigger();
        QVERIFY(!m_panel->isLooping() && !timer().isActive() && m_panel->playPosition() == 0);
        QCOMPARE(text(PanelId::Loop) + list()->item(2, 0)->text(), QStringLiteral("Loop2"));
        QCOMPARE(sent(), QStringList{all({30, 90, 90, 90, 240, 180}, 700)}); // the loop's one tick
        // A save that fails says why. Each dialog starts in the folder of the file chosen last.
        answer = m_dir.filePath("gone/group.kvg"), menu[0]->trigger();
        QVERIFY(m_messages.size() == 2 && m_messages[1].endsWith("No such file or directory."));
        menu[1]->trigger();
        QCOMPARE(folders, QStringList{QDir::homePath()} + QStringList(4, m_dir.path()) + QStringList{m_dir.filePath("gone")});
    }

private:
    // Presses Connect for the loopback controller; waits for the link unless told not to.
    void connectNetwork(int videoAddrChanged = 0, bool wait = true)
    {
        m_choice = {}, m_choice.addr = QStringLiteral("127.0.0.1"), m_choice.port = m_server->server.serverPort(), m_choice.videoAddrChanged = videoAddrChanged;
        click(PanelId::Connect);
        if (wait)
            QTRY_VERIFY(m_panel->isConnected() && m_server->peer);
    }
    QStringList sent()
    {
        m_panel->SendCommand(sentinel);
        if (!QTest::qWaitFor([this] { return m_server->received.endsWith(sentinel); }))
            return {QStringLiteral("the sentinel never arrived")};
        const QStringList frames = m_server->frames();
        m_server->received.clear();
        return frames.first(frames.size() - 1);
    }
    template <typename T = QWidget>
    T *ctl(int id) const { return qobject_cast<T *>(m_panel->control(id)); }
    QAbstractButton *button(int id) const { return ctl<QAbstractButton>(id); }
    void click(int id, int times = 1) const { for (int i = 0; i < times; ++i) button(id)->click(); }
    void tick() const { m_panel->OnTimer(PanelId::PlaybackTimer); }
    // The wait the playback timer is given after each of n ticks.
    QList<int> ticks(int n) const { QList<int> waits; while (n-- > 0) tick(), waits << timer().interval(); return waits; }
    const QTimer &timer() const { return m_panel->playbackTimer(); }
    void setText(int id, const QString &text) const { ctl<QLineEdit>(id)->setText(text); }
    QSlider *slider(int servo) const { return ctl<QSlider>(PanelId::Slider1 + servo - 1); }
    QString label(int servo) const { return ctl<QLabel>(PanelId::AngleLabel1 + servo - 1)->text(); }
    QString text(int id) const { return button(id)->text(); }
    QTableWidget *list() const { return ctl<QTableWidget>(PanelId::ActionList); }
    QList<float> pose() const { const ArmPose &p = m_panel->pose()->pose(); return {p.joint1, p.joint2, p.joint3, p.joint4, p.joint5, p.fingerLeft, p.fingerRight}; }

    QTemporaryDir m_dir;
    std::unique_ptr<FrameServer> m_server;
    std::unique_ptr<CFormDlgView> m_panel;
    CFormDlgView::ConnectionChoice m_choice;
    QStringList m_messages, m_titles;
};

QTEST_MAIN(TestFormDlgView)
#include "tst_formdlgview.moc"
