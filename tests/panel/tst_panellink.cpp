// The panel's frames and replies through real links: a loopback TCP server stands in for the
// arm's controller, and for the serial port a pseudo-terminal mapped to a COM number.
#include "link/CommandFrames.h"
#include "link/PrivateProfile.h"
#include "panel/CFormDlgView.h"
#include "panel/PanelTemplate.h"
#include "sim/ArmPoseModel.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

using namespace CommandFrames;

namespace {

// Accepts one connection and collects what arrives, cut into frames at each "#".
class FrameServer : public QObject
{
public:
    FrameServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            m_peer = m_server.nextPendingConnection();
            connect(m_peer, &QTcpSocket::readyRead, this, [this] {
                m_received += m_peer->readAll();
                if (m_onFrame)
                    m_onFrame();
            });
            connect(m_peer, &QTcpSocket::disconnected, this, [this] { m_peerClosed = true; });
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    QTcpSocket *peer() const { return m_peer; }
    bool peerClosed() const { return m_peerClosed; }
    QStringList frames() const
    {
        QStringList frames;
        QByteArray rest = m_received;
        for (qsizetype end; (end = rest.indexOf('#')) >= 0; rest.remove(0, end + 1))
            frames << QString::fromLatin1(rest.left(end + 1));
        return frames;
    }
    void clear() { m_received.clear(); }
    void reply(const QByteArray &bytes)
    {
        m_peer->write(bytes);
        m_peer->flush();
    }
    void setOnFrame(std::function<void()> f) { m_onFrame = std::move(f); }

private:
    QTcpServer m_server;
    QTcpSocket *m_peer = nullptr;
    QByteArray m_received;
    bool m_peerClosed = false;
    std::function<void()> m_onFrame;
};

QString q(const std::string &frame)
{
    return QString::fromStdString(frame);
}

} // namespace

class TestPanelLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void networkConnectAndDisconnect();
    void controllerClosesTheConnection();
    void videoAddressChange_data();
    void videoAddressChange();
    void refusedConnection();
    void reconnectWhilePendingKeepsOneSocket();
    void sliderFramesWithDragToRefresh();
    void noSliderFramesWithoutDragToRefresh();
    void buttonFrames();
    void spaceSendsStop();
    void actionButtons();
    void setJointFromViewSends_data();
    void setJointFromViewSends();
    void playbackFrames();
    void actionGroupRoundTrip();
    void servoSetupLightAndGames();
    void setMedianAfterABadIdNumber();
    void positionOnTime();
    void lateAnswerReadByTheNextPostion();
    void queuedFramesAreReadForWhatTheyAre();
    void positionAfterDisconnectReadsNothing();
    void positionWhilePending();
    void serialEndToEnd();
    void serialOpenFailure_data();
    void serialOpenFailure();

private:
    void connectNetwork(quint16 port, int videoAddrChanged = 0);
    // Sends the middle frame as a marker and waits for it: everything sent before it has arrived.
    QStringList framesUpToMarker();
    QAbstractButton *button(int id) const { return qobject_cast<QAbstractButton *>(m_panel->control(id)); }
    QSlider *slider(int servo) const { return qobject_cast<QSlider *>(m_panel->control(PanelId::Slider1 + servo - 1)); }
    QString label(int servo) const
    {
        return qobject_cast<QLabel *>(m_panel->control(PanelId::AngleLabel1 + servo - 1))->text();
    }

    std::unique_ptr<FrameServer> m_server;
    std::unique_ptr<CFormDlgView> m_panel;
    CFormDlgView::ConnectionChoice m_choice;
    QStringList m_messages;
};

void TestPanelLink::initTestCase()
{
    // Saving an action group remembers its folder in the program's settings: keep them private.
    QStandardPaths::setTestModeEnabled(true);
}

void TestPanelLink::init()
{
    
    m_messages.clear();
    m_server = std::make_unique<FrameServer>();
    m_panel = std::make_unique<CFormDlgView>();
    m_panel->setMessageBox([this](const QString &text, const QString &, QMessageBox::Icon) { m_messages << text; });
    m_panel->setConnectionDialog([this](QWidget *) { return std::optional(m_choice); });
}

void TestPanelLink::cleanup()
{
    m_panel.reset();
    m_server.reset();
}

void TestPanelLink::connectNetwork(quint16 port, int videoAddrChanged)
{
    m_choice = {};
    m_choice.mode = 0;
    m_choice.addr = QStringLiteral("127.0.0.1");
    m_choice.port = port;
    m_choice.videoAddrChanged = videoAddrChanged;
    button(PanelId::Connect)->click();
    QVERIFY(m_panel->hasSocket());
    QTRY_VERIFY(m_panel->isConnected());
    QTRY_VERIFY(m_server->peer());
}

QStringList TestPanelLink::framesUpToMarker()
{
    m_panel->SendCommand(Middle());
    const bool arrived = QTest::qWaitFor(
        [this] { return !m_server->frames().isEmpty() && m_server->frames().last() == q(Middle()); });
    if (!arrived)
        return {QStringLiteral("marker never arrived")};
    QStringList frames = m_server->frames();
    frames.removeLast();
    m_server->clear();
    return frames;
}

void TestPanelLink::networkConnectAndDisconnect()
{
    auto *picture = qobject_cast<QLabel *>(m_panel->control(PanelId::ConnectionPicture));
    const QImage disconnected = picture->pixmap().toImage();
    // Nothing goes out before the connection is up.
    m_panel->SendCommand(Stop());
    connectNetwork(m_server->port());
    QCOMPARE(button(PanelId::Connect)->text(), QStringLiteral("Disconnect"));
    QCOMPARE(m_panel->connectionMethod(), 0);
    QVERIFY(picture->pixmap().toImage() != disconnected);
    QCOMPARE(framesUpToMarker(), QStringList());

    button(PanelId::Connect)->click();
    QVERIFY(!m_panel->isConnected());
    QVERIFY(!m_panel->hasSocket());
    QCOMPARE(button(PanelId::Connect)->text(), QStringLiteral("Connect"));
    QCOMPARE(picture->pixmap().toImage(), disconnected);
    QTRY_VERIFY(m_server->peerClosed());
    QVERIFY(m_messages.isEmpty());
}

void TestPanelLink::controllerClosesTheConnection()
{
    connectNetwork(m_server->port());
    m_server->peer()->disconnectFromHost();
    QTRY_VERIFY(!m_panel->isConnected());
    QVERIFY(!m_panel->hasSocket());
    QCOMPARE(button(PanelId::Connect)->text(), QStringLiteral("Connect"));
    QVERIFY(m_messages.isEmpty());
    // One press connects again.
    FrameServer second;
    m_server.reset();
    m_choice.port = second.port();
    button(PanelId::Connect)->click();
    QTRY_VERIFY(m_panel->isConnected());
    QTRY_VERIFY(second.peer());
}

void TestPanelLink::videoAddressChange_data()
{
    QTest::addColumn<int>("changed");
    QTest::newRow("new video address") << 1;
    QTest::newRow("same video address") << 0;
}

void TestPanelLink::videoAddressChange()
{
    QFETCH(int, changed);
    QSignalSpy restart(m_panel.get(), &CFormDlgView::videoAddressChanged);
    connectNetwork(m_server->port(), changed);
    QCOMPARE(restart.count(), changed);
}

void TestPanelLink::refusedConnection()
{
    quint16 closedPort;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    m_choice = {};
    m_choice.addr = QStringLiteral("127.0.0.1");
    m_choice.port = closedPort;
    button(PanelId::Connect)->click();
    QCOMPARE(button(PanelId::Connect)->text(), QStringLiteral("Connect"));
    QTRY_COMPARE(m_messages, QStringList{CFormDlgView::SocketFailedText});
    QVERIFY(!m_panel->isConnected());
    QVERIFY(!m_panel->hasSocket());
    QCOMPARE(button(PanelId::Connect)->text(), QStringLiteral("Connect"));
    // The dialog was cancelled: nothing happens at all.
    m_panel->setConnectionDialog([](QWidget *) { return std::nullopt; });
    button(PanelId::Connect)->click();
    QVERIFY(!m_panel->hasSocket());
    QCOMPARE(m_messages.size(), 1);
}

void TestPanelLink::reconnectWhilePendingKeepsOneSocket()
{
    m_choice = {};
    m_choice.addr = QStringLiteral("127.0.0.1");
    m_choice.port = m_server->port();
    button(PanelId::Connect)->click(); // pending: the outcome comes from the event loop
    QVERIFY(!m_panel->isConnected());
    QCOMPARE(button(PanelId::Connect)->text(), QStringLiteral("Connect"));
    m_panel->SendCommand(Stop()); // dropped while pending
    button(PanelId::Connect)->click();
    QTRY_VERIFY(m_panel->isConnected());
    QTRY_VERIFY(m_server->peer());
    QCOMPARE(framesUpToMarker(), QStringList());
    QVERIFY(m_messages.isEmpty());
}

void TestPanelLink::sliderFramesWithDragToRefresh()
{
    connectNetwork(m_server->port());
    // A drag of servo 3 from 90 to 95: one frame per reported position, and one more at release.
    slider(3)->setSliderDown(true);
    for (int position = 91; position <= 95; ++position)
        slider(3)->setSliderPosition(position);
    slider(3)->setSliderDown(false);
    QCOMPARE(framesUpToMarker(), (QStringList{q(SingleServo(3, 91)), q(SingleServo(3, 92)), q(SingleServo(3, 93)),
                                              q(SingleServo(3, 94)), q(SingleServo(3, 95)), q(SingleServo(3, 95))}));
    QCOMPARE(label(3), QStringLiteral("95"));
    QCOMPARE(m_panel->pose()->pose().joint3, 5.0f);
    // A page click and the keyboard's page keys notify too; servo 5 goes up to 270.
    slider(5)->triggerAction(QAbstractSlider::SliderToMaximum);
    slider(6)->triggerAction(QAbstractSlider::SliderPageStepSub);
    QCOMPARE(framesUpToMarker(), (QStringList{"$0407052701e#", q(SingleServo(6, 144))}));
    // A real key: PageDown raises by a fifth of the range; the step and the release each send.
    slider(1)->setFocus();
    QTest::keyClick(slider(1), Qt::Key_PageDown);
    // Right and middle clicks do nothing; a value set by assistive technology is one move.
    QTest::mouseClick(slider(2), Qt::RightButton, {}, QPoint(20, 15));
    QTest::mouseClick(slider(2), Qt::MiddleButton, {}, QPoint(20, 15));
    QAccessible::queryAccessibleInterface(slider(2))->valueInterface()->setCurrentValue(100);
    QCOMPARE(framesUpToMarker(), (QStringList{q(SingleServo(1, 126)), q(SingleServo(1, 126)), q(SingleServo(2, 100))}));
    QCOMPARE(label(2), QStringLiteral("100"));
}

void TestPanelLink::noSliderFramesWithoutDragToRefresh()
{
    connectNetwork(m_server->port());
    // Cleared through assistive technology, as a click would: the tick is read at once.
    QAccessible::queryAccessibleInterface(button(PanelId::DragToRefresh))->actionInterface()->doAction(
        QAccessibleActionInterface::toggleAction());
    for (int position = 80; position >= 70; position -= 5)
        slider(2)->setSliderPosition(position);
    QCOMPARE(framesUpToMarker(), QStringList());
    QCOMPARE(label(2), QStringLiteral("70"));
    QCOMPARE(m_panel->pose()->pose().joint2, -20.0f);
    // Update sends the whole pose over 500 ms whatever the tick.
    button(PanelId::Update)->click();
    QCOMPARE(framesUpToMarker(), QStringList{q(AllServos({90, 70, 90, 90, 110, 180}, 500))});
}

void TestPanelLink::buttonFrames()
{
    connectNetwork(m_server->port());
    button(PanelId::Update)->click();
    button(PanelId::Stop)->click();
    QCOMPARE(button(PanelId::Stop)->text(), QStringLiteral("Restore"));
    button(PanelId::Stop)->click();
    QCOMPARE(button(PanelId::Stop)->text(), QStringLiteral("Stop"));
    slider(1)->setSliderPosition(10);
    button(PanelId::Middle)->click();
    QCOMPARE(framesUpToMarker(), (QStringList{"$05200609009009009011018005009d#", "$090100a#", "$090110b#",
                                              q(SingleServo(1, 10)), "$070007#"}));
    QCOMPARE(slider(1)->value(), 90);
    QCOMPARE(slider(5)->value(), 90);
}

void TestPanelLink::spaceSendsStop()
{
    connectNetwork(m_server->port());
    m_panel->show();
    QVERIFY(QTest::qWaitForWindowActive(m_panel.get()));
    auto *interval = qobject_cast<QLineEdit *>(m_panel->control(PanelId::IntervalEdit));
    interval->setFocus();
    QTest::keyClick(interval, Qt::Key_Space);
    QTest::keyClick(interval, Qt::Key_Space);
    QTest::keyClick(interval, Qt::Key_Space);
    QCOMPARE(framesUpToMarker(), (QStringList{"$090100a#", "$090110b#", "$090100a#"}));
    QCOMPARE(interval->text(), QStringLiteral("1000"));
}

void TestPanelLink::actionButtons()
{
    connectNetwork(m_server->port());
    const QList<int> ids{1061, 1062, 1063, 1064, 1065, 1066, 1071, 1072, 1073, 1067, 1068, 1069, 1074, 1075, 1070};
    for (int id : ids)
        button(id)->click();
    const QStringList expected{"$0802010b#", "$0802020c#", "$0802030d#", "$0802040e#", "$0802050f#",
                               "$08020610#", "$08020711#", "$08020812#", "$08020913#", "$08021014#",
                               "$08021115#", "$08021216#", "$08021317#", "$08021418#", "$08021519#"};
    QCOMPARE(framesUpToMarker(), expected);
}

void TestPanelLink::setJointFromViewSends_data()
{
    QTest::addColumn<int>("send");
    QTest::addColumn<int>("servo");
    QTest::addColumn<QStringList>("frames");
    QTest::newRow("real time") << 1 << 2 << QStringList{q(SingleServo(2, 100))};
    QTest::newRow("any non-zero send") << 5 << 6 << QStringList{q(SingleServo(6, 100))};
    QTest::newRow("separate simulation") << 0 << 2 << QStringList{};
    QTest::newRow("servo 7") << 1 << 7 << QStringList{};
}

void TestPanelLink::setJointFromViewSends()
{
    QFETCH(int, send);
    QFETCH(int, servo);
    QFETCH(QStringList, frames);
    connectNetwork(m_server->port());
    button(PanelId::DragToRefresh)->click(); // the view sends regardless of the tick
    m_panel->SetJointFromView(send, servo, 10);
    QCOMPARE(framesUpToMarker(), frames);
}

void TestPanelLink::playbackFrames()
{
    connectNetwork(m_server->port());
    auto *list = qobject_cast<QTableWidget *>(m_panel->control(PanelId::ActionList));
    button(PanelId::Add)->click();
    slider(2)->setSliderPosition(45);
    button(PanelId::Add)->click();
    list->item(0, 7)->setText("500");
    list->item(1, 7)->setText("2000");
    m_server->clear();
    framesUpToMarker();

    button(PanelId::Loop)->click();
    for (int tick = 0; tick < 4; ++tick)
        m_panel->OnTimer(PanelId::PlaybackTimer);
    QCOMPARE(m_panel->playbackTimer().interval(), 500);
    button(PanelId::Loop)->click(); // Loop off sends the middle frame
    QCOMPARE(m_server->frames().size(), 0);
    QTRY_COMPARE(m_server->frames().size(), 4);
    QCOMPARE(m_server->frames(), (QStringList{q(AllServos({90, 90, 90, 90, 110, 180}, 500)),
                                              q(AllServos({90, 45, 90, 90, 110, 180}, 2000)),
                                              q(AllServos({90, 90, 90, 90, 110, 180}, 500)), "$070007#"}));
}

void TestPanelLink::actionGroupRoundTrip()
{
    connectNetwork(m_server->port());
    auto *interval = qobject_cast<QLineEdit *>(m_panel->control(PanelId::IntervalEdit));
    // Poses recorded as an operator does it; the last time is no number and plays as 0.
    const QList<QPair<int, QString>> poses{{30, "700"}, {150, "1500"}, {0, "soon"}, {180, "40"}};
    for (const auto &[angle, time] : poses) {
        slider(1)->setSliderPosition(angle);
        slider(5)->setSliderPosition(270 - angle);
        interval->setText(time);
        button(PanelId::Add)->click();
    }
    framesUpToMarker();
    // One Single run: each tick's frame and the wait the timer was given before it.
    auto play = [this] {
        QStringList seen;
        button(PanelId::Single)->click();
        for (const QTimer &timer = m_panel->playbackTimer(); timer.isActive(); m_panel->OnTimer(PanelId::PlaybackTimer))
            seen << QString::number(timer.interval());
        return seen + framesUpToMarker();
    };
    const QStringList recorded = play();
    QCOMPARE(recorded.mid(0, 6), (QStringList{"1000", "700", "1500", "0", "40", q(AllServos({30, 90, 90, 90, 240, 180}, 700))}));

    QTemporaryDir dir;
    const QString path = dir.filePath("lesson.kvg");
    m_panel->setFileNameDialog([&path](QWidget *, bool, const QString &) { return path; });
    m_panel->OnSaveActionGroup();
    button(PanelId::Clear)->click();
    slider(1)->setSliderPosition(90);
    m_panel->OnOpenActionGroup();
    QCOMPARE(m_panel->actionCount(), 4);
    framesUpToMarker();
    QCOMPARE(play(), recorded);
    QVERIFY(m_messages.isEmpty());
}

void TestPanelLink::servoSetupLightAndGames()
{
    connectNetwork(m_server->port());
    auto *servoId = qobject_cast<QLineEdit *>(m_panel->control(PanelId::ServoIdEdit));
    auto *idNumber = qobject_cast<QLineEdit *>(m_panel->control(PanelId::IdNumberEdit));
    auto *colours = qobject_cast<QComboBox *>(m_panel->control(PanelId::ColourBox));
    servoId->setText("3");
    button(PanelId::Setting)->click();
    servoId->setText("120");
    button(PanelId::Setting)->click();
    servoId->setText("");
    button(PanelId::Setting)->click();
    servoId->setText("0");
    button(PanelId::Setting)->click();
    idNumber->setText("3");
    button(PanelId::SetMedian)->click();
    button(PanelId::RestoreMedian)->click();
    button(PanelId::LightRed)->click();
    button(PanelId::LightGreen)->click();
    button(PanelId::LightBlue)->click();
    button(PanelId::LightToggle)->click();
    button(PanelId::LightToggle)->click();
    QCOMPARE(button(PanelId::LightToggle)->text(), QStringLiteral("OFF"));
    button(PanelId::ColorTracking)->click(); // "Close": shown, nothing sent
    colours->setEditText("Yellow");
    button(PanelId::ColorTracking)->click();
    // Typed in lower case and entered, it stays as typed: no item matches, nothing is sent.
    colours->clearEditText();
    QTest::keyClicks(colours->lineEdit(), "red");
    QTest::keyClick(colours->lineEdit(), Qt::Key_Return);
    QCOMPARE(colours->currentText(), QStringLiteral("red"));
    button(PanelId::ColorTracking)->click();
    for (int i = 0; i < 3; ++i)
        button(PanelId::FaceTracking)->click();
    QCOMPARE(button(PanelId::FaceTracking)->text(), QStringLiteral("Face tracking\nOFF"));
    button(PanelId::ColorInteraction)->click();
    button(PanelId::StartTracking)->click();
    QCOMPARE(framesUpToMarker(),
             (QStringList{"$0602030b#", "$060212080#", "$0A02030f#", "$0A02000c#", "$0C02010F#", "$0C020210#",
                          "$0C020311#", "$0C02000E#", "$0C020412#", "$10010415#", "$0F01111#", "$0F01010#",
                          "$0F01111#", "$10020517#", "$10020618#"}));
    QCOMPARE(m_messages,
             (QStringList{"Please input the steering gear ID number first.",
                          "The ID number of steering gear should not be less than or equal to 0. Please enter it again",
                          "Close", "Yellow", "red"}));
}

void TestPanelLink::setMedianAfterABadIdNumber()
{
    connectNetwork(m_server->port());
    // Assistive tools hear the caption the button shows.
    QCOMPARE(m_panel->control(PanelId::Connect)->accessibleName(), QStringLiteral("Disconnect"));
    auto *idNumber = qobject_cast<QLineEdit *>(m_panel->control(PanelId::IdNumberEdit));
    idNumber->setText("3");
    button(PanelId::SetMedian)->click();
    // Not an unsigned whole number: the reading fails with its message, and the number read
    // last time is the one sent.
    idNumber->setText("4x");
    button(PanelId::SetMedian)->click();
    idNumber->setText("-1");
    button(PanelId::SetMedian)->click();
    idNumber->setText("0");
    button(PanelId::SetMedian)->click();
    QCOMPARE(framesUpToMarker(), (QStringList{"$0A02030f#", "$0A02030f#", "$0A02030f#", "$0A02000c#"}));
    QCOMPARE(m_messages, (QStringList{CFormDlgView::UnsignedIntegerPrompt, CFormDlgView::UnsignedIntegerPrompt}));
}

void TestPanelLink::positionOnTime()
{
    connectNetwork(m_server->port());
    m_server->setOnFrame([this] {
        if (m_server->frames().contains(q(RequestAngles())))
            m_server->reply("$032006090045120090110170xx#");
    });
    button(PanelId::Postion)->click();
    const QTimer &wait = m_panel->positionReadTimer();
    QVERIFY(wait.isActive());
    QVERIFY(wait.isSingleShot());
    QCOMPARE(wait.interval(), 400);
    QTRY_VERIFY(!wait.isActive());
    QTRY_COMPARE(label(2), QStringLiteral("45"));
    QCOMPARE(slider(6)->value(), 170);
    QCOMPARE(m_panel->jointAngles()[2], 120);
    const ArmPose &p = m_panel->pose()->pose();
    QCOMPARE((QList<float>{p.joint1, p.joint2, p.joint3, p.joint4, p.joint5, p.fingerLeft, p.fingerRight}),
             (QList<float>{0, -45, 30, 0, 20, 80, -80}));
    QVERIFY(m_messages.isEmpty());
}

void TestPanelLink::lateAnswerReadByTheNextPostion()
{
    connectNetwork(m_server->port());
    button(PanelId::Postion)->click();
    QTRY_COMPARE(m_messages, QStringList{CFormDlgView::SocketErrorText});
    QCOMPARE(label(1), QStringLiteral("90"));
    // The answer arrives late; the next request is never answered, yet its read finds the old one.
    m_server->reply("$032006010020030040050060xx#");
    button(PanelId::Postion)->click();
    QTRY_VERIFY(!m_panel->positionReadTimer().isActive());
    QTRY_COMPARE(label(1), QStringLiteral("10"));
    QCOMPARE(label(6), QStringLiteral("60"));
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(m_server->frames(), (QStringList{q(RequestAngles()), q(RequestAngles())}));
}

void TestPanelLink::queuedFramesAreReadForWhatTheyAre()
{
    // The controller announces its version when the connection opens; it waits unread, and over
    // the network it is never shown.
    connectNetwork(m_server->port());
    m_server->reply("$010235#");
    m_server->setOnFrame([this] {
        if (m_server->frames().size() == 1)
            m_server->reply("$032006010020030040050060xx#$032006011021031041051061xx#");
    });
    button(PanelId::Postion)->click();
    QTRY_VERIFY(!m_panel->positionReadTimer().isActive());
    // Of two answers the newer gives the pose.
    QTRY_COMPARE(label(1), QStringLiteral("11"));
    QCOMPARE(m_panel->versionText(), QString());
    QCOMPARE(label(6), QStringLiteral("61"));
    QCOMPARE(m_panel->pose()->pose().fingerLeft, -29.0f);

    // A frame cut by the read completes with the next one.
    m_server->setOnFrame({});
    m_server->reply("$0320060900901");
    button(PanelId::Postion)->click();
    QTRY_VERIFY(!m_panel->positionReadTimer().isActive());
    QCOMPARE(label(1), QStringLiteral("11"));
    m_server->reply("20090090090xx#");
    button(PanelId::Postion)->click();
    QTRY_VERIFY(!m_panel->positionReadTimer().isActive());
    QTRY_COMPARE(label(3), QStringLiteral("120"));
    QCOMPARE(label(1), QStringLiteral("90"));
    QVERIFY(m_messages.isEmpty());
}

void TestPanelLink::positionAfterDisconnectReadsNothing()
{
    connectNetwork(m_server->port());
    button(PanelId::Postion)->click();
    button(PanelId::Connect)->click(); // the request's connection goes before the read
    QTRY_VERIFY(!m_panel->positionReadTimer().isActive());
    QVERIFY(m_messages.isEmpty());
    // Without a socket nothing is sent and nothing is read.
    button(PanelId::Postion)->click();
    QVERIFY(!m_panel->positionReadTimer().isActive());
}

void TestPanelLink::positionWhilePending()
{
    m_choice = {};
    m_choice.addr = QStringLiteral("127.0.0.1");
    m_choice.port = m_server->port();
    button(PanelId::Connect)->click();
    QVERIFY(!m_panel->isConnected());
    button(PanelId::Postion)->click(); // the request is dropped, the read still happens
    QVERIFY(m_panel->positionReadTimer().isActive());
    QTRY_COMPARE(m_messages, QStringList{CFormDlgView::SocketErrorText});
    QVERIFY(m_panel->isConnected());
    QCOMPARE(framesUpToMarker(), QStringList());
}

void TestPanelLink::serialEndToEnd()
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    QVERIFY(openpty(&master, &slave, name, nullptr, nullptr) == 0);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    const std::string config = "./config.ini";
    QVERIFY(PrivateProfile::WriteString(config, "com_ports", "COM7", name));
    QByteArray received;
    auto readMaster = [&] {
        char buffer[256];
        for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
            received.append(buffer, n);
        return received;
    };
    auto writeMaster = [&](const QByteArray &bytes) {
        return ::write(master, bytes.constData(), size_t(bytes.size())) == bytes.size();
    };

    m_choice = {};
    m_choice.mode = 1;
    m_choice.comNumber = 7;
    m_choice.baud = 115200;
    button(PanelId::Connect)->click();
    ::close(slave);
    QVERIFY(m_panel->isConnected());
    QCOMPARE(m_panel->connectionMethod(), 1);
    QCOMPARE(button(PanelId::Connect)->text(), QStringLiteral("Disconect"));
    QVERIFY(!m_panel->hasSocket());

    slider(4)->setSliderPosition(100);
    QTRY_COMPARE(readMaster(), QByteArray(SingleServo(4, 100).c_str()));
    received.clear();

    // Replies arrive byte by byte through the watcher.
    QVERIFY(writeMaster("xx$010235#"));
    QTRY_COMPARE(m_panel->versionText(), QStringLiteral("V3.5"));
    QCOMPARE(qobject_cast<QLabel *>(m_panel->control(PanelId::VersionLabel))->text(), QStringLiteral("V3.5"));
    QVERIFY(writeMaster("$032006090045120090110170xx#"));
    QTRY_COMPARE(label(2), QStringLiteral("45"));
    QCOMPARE(slider(6)->value(), 170);
    QCOMPARE(m_panel->pose()->pose().fingerLeft, 80.0f);
    QCOMPARE(m_panel->lastFrame(), std::string("$032006090045120090110170xx#"));

    // "Postion" over the serial port only asks; the answer comes as bytes.
    button(PanelId::Postion)->click();
    QVERIFY(!m_panel->positionReadTimer().isActive());
    QTRY_COMPARE(readMaster(), QByteArray("$0302060b#"));
    received.clear();

    button(PanelId::Connect)->click();
    QVERIFY(!m_panel->isConnected());
    QCOMPARE(button(PanelId::Connect)->text(), QStringLiteral("Connect"));
    m_panel->SendCommand(Stop());
    QTest::qWait(50);
    QCOMPARE(readMaster(), QByteArray());

    // The same port opens again; when the other end hangs up the link shows as down.
    button(PanelId::Connect)->click();
    QTRY_VERIFY(m_panel->isConnected());
    m_panel->SendCommand(Stop());
    QTRY_COMPARE(readMaster(), QByteArray("$090100a#"));
    ::close(master);
    QTRY_VERIFY(!m_panel->isConnected());
    QCOMPARE(button(PanelId::Connect)->text(), QStringLiteral("Connect"));
    QVERIFY(m_messages.isEmpty());
    QFile::remove(QString::fromStdString(config));
}

void TestPanelLink::serialOpenFailure_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("comNumber");
    QTest::newRow("no such port") << 1 << 250;
    QTest::newRow("COM0 from a bad entry") << 1 << 0;
    QTest::newRow("any non-zero mode is serial") << 2 << 250;
}

void TestPanelLink::serialOpenFailure()
{
    QFETCH(int, mode);
    QFETCH(int, comNumber);
    m_choice = {};
    m_choice.mode = mode;
    m_choice.comNumber = comNumber;
    button(PanelId::Connect)->click();
    QVERIFY(!m_panel->isConnected());
    QCOMPARE(m_panel->connectionMethod(), 1);
    QCOMPARE(button(PanelId::Connect)->text(), QStringLiteral("Connect"));
    QVERIFY(!m_panel->hasSocket());
    // The operator learns why, once.
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(!m_messages.first().isEmpty());
}

QTEST_MAIN(TestPanelLink)
#include "tst_panellink.moc"
