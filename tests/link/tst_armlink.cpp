// The one link to the arm's controller, headless: a loopback TCP server and a pseudo-terminal on COM7 stand in for it.
#include "link/ArmLink.h"
#include "link/CommandFrames.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include "tests/common/EventLoopWait.h"
#include "tests/common/PtyPair.h"

Q_DECLARE_METATYPE(ArmLink::Reason)

namespace {

// Accepts connections and keeps what the latest one sends.
class Controller : public QObject
{
public:
    Controller()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            m_peer = m_server.nextPendingConnection();
            ++m_accepted;
            connect(m_peer, &QTcpSocket::readyRead, this, [this] { m_received += m_peer->readAll(); });
            connect(m_peer, &QTcpSocket::disconnected, this, [this] { ++m_closed; });
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    QTcpSocket *m_peer = nullptr;
    QByteArray m_received;
    int m_accepted = 0, m_closed = 0;

private:
    QTcpServer m_server;
};

quint16 closedPort() { QTcpServer probe; return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0; }

} // namespace

class TestArmLink : public QObject
{
    Q_OBJECT

    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<ArmLink> m_link;
    std::unique_ptr<QSignalSpy> m_connected, m_disconnected;
    QList<std::pair<std::string, ArmLink::Method>> m_frames;

    ArmLink::Reason reason(int i) const { return m_disconnected->at(i).at(0).value<ArmLink::Reason>(); }

private slots:
    void init()
    {
        qRegisterMetaType<ArmLink::Reason>();
        m_pty = std::make_unique<PtyPair>();
        QVERIFY(!m_pty->path.empty());
        mapCom(7, m_pty->path);
        m_link = std::make_unique<ArmLink>();
        m_connected = std::make_unique<QSignalSpy>(m_link.get(), &ArmLink::connected);
        m_disconnected = std::make_unique<QSignalSpy>(m_link.get(), &ArmLink::disconnected);
        m_frames.clear();
        connect(m_link.get(), &ArmLink::frameReceived, this,
                [this](const std::string &frame, ArmLink::Method via) { m_frames.append({frame, via}); });
    }
    void cleanup() { m_link.reset(), QFile::remove(QStringLiteral("./config.ini")); }

    void networkLinkLifecycle()
    {
        Controller controller;
        QVERIFY(!m_link->Send(CommandFrames::Stop())); // nothing goes out before the link is up
        QVERIFY(m_link->ConnectNetwork(QStringLiteral("127.0.0.1"), controller.port()));
        QVERIFY(m_link->hasSocket());
        QVERIFY(!m_link->isConnected()); // the outcome comes from the event loop
        QVERIFY(!m_link->Send(CommandFrames::Stop()));
        QTRY_COMPARE(m_connected->size(), 1);
        QVERIFY(m_link->Send(CommandFrames::Middle()));
        QTRY_COMPARE(controller.m_received, QByteArray("$070007#"));

        // Closed by us: the controller sees the end, nothing is reported.
        m_link->Close();
        QVERIFY(!m_link->isConnected() && !m_link->hasSocket() && !m_link->Send(CommandFrames::Stop()));
        QTRY_COMPARE(controller.m_closed, 1);
        QCOMPARE(m_disconnected->size(), 0);

        // Closed by the controller: reported once, with the reason.
        QVERIFY(m_link->ConnectNetwork(QStringLiteral("127.0.0.1"), controller.port()));
        QTRY_COMPARE(m_connected->size(), 2);
        QTRY_COMPARE(controller.m_accepted, 2);
        controller.m_peer->disconnectFromHost();
        QTRY_COMPARE(m_disconnected->size(), 1);
        QCOMPARE(reason(0), ArmLink::Reason::ClosedByPeer);
        QVERIFY(!m_link->isConnected() && !m_link->hasSocket());
        QCOMPARE(m_link->method(), ArmLink::Method::None);
    }

    void connectFailure()
    {
        QVERIFY(m_link->ConnectNetwork(QStringLiteral("127.0.0.1"), closedPort()));
        QTRY_COMPARE(m_disconnected->size(), 1);
        QCOMPARE(reason(0), ArmLink::Reason::Failed);
        QVERIFY(!m_link->hasSocket() && m_connected->isEmpty());
        QCOMPARE(m_link->ReadNetworkReplies(), -1); // no socket: nothing to read
    }

    void networkReadsFrameByFrame()
    {
        Controller controller;
        QVERIFY(m_link->ConnectNetwork(QStringLiteral("127.0.0.1"), controller.port()));
        QTRY_VERIFY(m_link->isConnected() && controller.m_peer);
        QCOMPARE(m_link->ReadNetworkReplies(), -1); // nothing has arrived yet

        auto readAfter = [&](const QByteArray &bytes) {
            controller.m_peer->write(bytes), controller.m_peer->flush();
            int n = -1;
            runEventLoopUntil([&] { return n >= 0 || (n = m_link->ReadNetworkReplies()) >= 0; }, 5000);
            return n;
        };
        // Two frames in one read, each handed on for what it is.
        QCOMPARE(readAfter("$010235#$032006010020030040050060xx#"), 36);
        QCOMPARE(m_frames.size(), 2);
        QCOMPARE(m_frames[0].first, std::string("$010235#"));
        QCOMPARE(m_frames[1].second, ArmLink::Method::Network);
        // A frame cut by a read completes with the bytes the next read brings.
        readAfter("$0320060900901");
        QCOMPARE(m_frames.size(), 2);
        readAfter("20090090090xx#");
        QCOMPARE(m_frames.size(), 3);
        QCOMPARE(m_frames[2].first, std::string("$032006090090120090090090xx#"));
        // A read that starts a new frame drops the piece an earlier one left: no reply glued to stale bytes.
        readAfter("$0320060900");
        readAfter("$032006011021031041051061xx#");
        QCOMPARE(m_frames.size(), 4);
        QCOMPARE(m_frames[3].first, std::string("$032006011021031041051061xx#"));
    }

    void serialLinkLifecycle()
    {
        QVERIFY(m_link->OpenSerial(7, 115200));
        QCOMPARE(m_connected->size(), 1);
        QCOMPARE(m_link->method(), ArmLink::Method::Serial);
        QVERIFY(!m_link->hasSocket());
        QVERIFY(m_link->Send(CommandFrames::SingleServo(4, 100)));
        QCOMPARE(m_pty->read(CommandFrames::SingleServo(4, 100).size()), CommandFrames::SingleServo(4, 100));

        // Bytes become frames as they arrive, whatever comes between them.
        QVERIFY(m_pty->write("xx$0102") && m_pty->write("35#$032006090045120090110170xx#"));
        QTRY_COMPARE(m_frames.size(), 2);
        QCOMPARE(m_frames[0], std::make_pair(std::string("$010235#"), ArmLink::Method::Serial));
        QCOMPARE(m_frames[1].first, std::string("$032006090045120090110170xx#"));

        // The other end hangs up: reported once, and the link is down.
        m_pty->closeMaster();
        QTRY_COMPARE(m_disconnected->size(), 1);
        QCOMPARE(reason(0), ArmLink::Reason::HungUp);
        QVERIFY(!m_link->isConnected() && !m_link->Send(CommandFrames::Stop()));
    }

    void newLinkEndsPendingAttempt_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::newRow("the abandoned attempt would have connected") << true;
        QTest::newRow("the abandoned attempt would have failed") << false;
    }
    void newLinkEndsPendingAttempt()
    {
        QFETCH(bool, listening);
        Controller controller;
        const unsigned before = m_link->generation();
        const quint16 port = listening ? controller.port() : closedPort();
        QVERIFY(m_link->ConnectNetwork(QStringLiteral("127.0.0.1"), port));
        // A second press before the outcome, this time for the serial port.
        QVERIFY(m_link->OpenSerial(7, 9600));
        QVERIFY(!m_link->hasSocket() && m_link->generation() != before);
        // A sentinel connection to the same port: once its outcome is in, the abandoned socket's would have been too.
        QTcpSocket sentinel;
        sentinel.connectToHost(QHostAddress::LocalHost, port);
        QTRY_VERIFY(sentinel.state() == QAbstractSocket::ConnectedState || sentinel.error() == QAbstractSocket::ConnectionRefusedError);
        QVERIFY(m_link->Send(CommandFrames::Stop()));
        QCOMPARE(m_pty->read(CommandFrames::Stop().size()), CommandFrames::Stop());
        QCOMPARE(m_link->method(), ArmLink::Method::Serial);
        QVERIFY(m_link->isConnected());
        QVERIFY(m_connected->size() == 1 && m_disconnected->isEmpty() && controller.m_received.isEmpty());
    }

    void serialOpenFailureSaysWhy()
    {
        QVERIFY(!m_link->OpenSerial(250, 9600)); // no device for COM250
        QVERIFY(!m_link->isConnected() && m_connected->isEmpty() && !m_link->failureText().isEmpty());
        QVERIFY(!m_link->OpenSerial(0, 9600));
        QVERIFY(m_link->failureText().contains(QStringLiteral("COM0")));
    }
};

QTEST_GUILESS_MAIN(TestArmLink)
#include "tst_armlink.moc"
