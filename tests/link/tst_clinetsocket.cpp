#include "link/CClinetSocket.h"
#include "link/CommandFrames.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <cerrno>
#include <memory>

namespace {

// Stands in for the control panel: counts outcomes and, like the panel, drops the socket on failure.
class FakePanel : public ClinetSocketOwner
{
public:
    void OnSocketConnected(bool ok) override
    {
        outcomes.append(ok);
        if (!ok && dropOnFailure) {
            lastError = socket->GetLastError();
            socket.reset();
        }
    }

    std::unique_ptr<CClinetSocket> socket;
    QList<bool> outcomes;
    bool dropOnFailure = true;
    int lastError = 0;
};

// The base class with every notification recorded, to check which ones the mask lets through.
class RecordingSocket : public CAsyncSocket
{
public:
    QStringList events;

protected:
    void OnReceive(int) override { events << QStringLiteral("receive"); }
    void OnConnect(int e) override { events << QStringLiteral("connect %1").arg(e); }
    void OnClose(int) override { events << QStringLiteral("close"); }
};

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort(); // nothing listens once probe is gone
}

} // namespace

class TestClinetSocket : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void connectOutcomeReachesOwner_data();
    void connectOutcomeReachesOwner();
    void connectAttemptGivesUpAfterTimeout();
    void callbackOwnerMayDestroySocket();
    void sendReachesPeer();
    void sendBeforeConnectFails();
    void receiveIsNonBlockingAndBounded();
    void receiveSeesBytesBeforeEventLoopRuns();
    void peerCloseReadsAsZero();
    void destructionShutsDownSendingAfterQueuedFrames_data();
    void destructionShutsDownSendingAfterQueuedFrames();
    void maskSelectsNotifications_data();
    void maskSelectsNotifications();

private:
    // Connects panel.socket to the server and returns the server side of the connection.
    QTcpSocket *connectToServer();

    QTcpServer *m_server = nullptr;
    FakePanel m_panel;
};

void TestClinetSocket::init()
{
    m_server = new QTcpServer(this);
    QVERIFY(m_server->listen(QHostAddress::LocalHost));
    m_panel = FakePanel();
}

void TestClinetSocket::cleanup()
{
    m_panel.socket.reset();
    delete m_server;
    m_server = nullptr;
}

QTcpSocket *TestClinetSocket::connectToServer()
{
    m_panel.socket = std::make_unique<CClinetSocket>(m_panel);
    if (!m_panel.socket->Create(0, CAsyncSocket::SOCK_STREAM, CAsyncSocket::FD_ALL))
        return nullptr;
    m_panel.socket->AsyncSelect(CAsyncSocket::FD_CONNECT);
    m_panel.socket->Connect(QStringLiteral("127.0.0.1"), m_server->serverPort());
    if (!QTest::qWaitFor([&] { return !m_panel.outcomes.isEmpty(); }, 5000) || !m_panel.outcomes.first())
        return nullptr;
    if (!m_server->hasPendingConnections() && !m_server->waitForNewConnection(5000))
        return nullptr;
    return m_server->nextPendingConnection();
}

void TestClinetSocket::connectOutcomeReachesOwner_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port"); // -1: the listening server, -2: a closed port
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("error");

    QTest::newRow("listening") << "127.0.0.1" << -1 << true << 0;
    QTest::newRow("by name") << "localhost" << -1 << true << 0;
    QTest::newRow("nothing listens") << "127.0.0.1" << -2 << false << ECONNREFUSED;
    QTest::newRow("port beyond 16 bits") << "127.0.0.1" << 65536 + 1 << false << EINVAL;
    QTest::newRow("port 0") << "127.0.0.1" << 0 << false << EINVAL;
    QTest::newRow("empty host") << "" << -1 << false << EINVAL;
}

void TestClinetSocket::connectOutcomeReachesOwner()
{
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(bool, ok);
    QFETCH(int, error);
    if (host == QLatin1String("localhost")) {
        // Whichever address the name gives, something listens there.
        m_server->close();
        QVERIFY(m_server->listen(QHostAddress::Any));
    }
    const unsigned target = port == -1 ? m_server->serverPort() : port == -2 ? closedPort() : unsigned(port);

    m_panel.socket = std::make_unique<CClinetSocket>(m_panel);
    QVERIFY(m_panel.socket->Create(0, CAsyncSocket::SOCK_STREAM, 63, nullptr));
    QVERIFY(m_panel.socket->AsyncSelect(CAsyncSocket::FD_CONNECT));
    m_panel.socket->Connect(host, target);
    // Never reported from inside Connect: the owner is still setting up when it returns.
    QVERIFY(m_panel.outcomes.isEmpty());

    QTRY_COMPARE_WITH_TIMEOUT(m_panel.outcomes.size(), 1, 10000);
    QCOMPARE(m_panel.outcomes.first(), ok);
    if (ok) {
        QVERIFY(m_panel.socket);
        QVERIFY(m_panel.socket->IsConnected());
    } else {
        QVERIFY(!m_panel.socket); // the owner dropped it inside the notification
        QCOMPARE(m_panel.lastError, error);
    }
    QTest::qWait(20);
    QCOMPARE(m_panel.outcomes.size(), 1); // one outcome per attempt
}

void TestClinetSocket::connectAttemptGivesUpAfterTimeout()
{
    m_panel.socket = std::make_unique<CClinetSocket>(m_panel);
    QCOMPARE(m_panel.socket->ConnectTimeout(), CAsyncSocket::DefaultConnectTimeoutMs);
    QVERIFY(m_panel.socket->Create());
    m_panel.socket->AsyncSelect(CAsyncSocket::FD_CONNECT);
    m_panel.socket->SetConnectTimeout(100);
    // A documentation-only address: either the network refuses at once or nothing ever answers.
    m_panel.socket->Connect(QStringLiteral("192.0.2.1"), 6000);
    QTRY_COMPARE_WITH_TIMEOUT(m_panel.outcomes.size(), 1, 5000);
    QCOMPARE(m_panel.outcomes.first(), false);
    QVERIFY(m_panel.lastError != 0);
    QVERIFY(!m_panel.socket);
}

void TestClinetSocket::callbackOwnerMayDestroySocket()
{
    std::unique_ptr<CClinetSocket> socket;
    QList<bool> outcomes;
    socket = std::make_unique<CClinetSocket>([&](bool ok) {
        outcomes.append(ok);
        socket.reset();
    });
    QVERIFY(socket->Create());
    socket->AsyncSelect(CAsyncSocket::FD_CONNECT);
    socket->Connect(QStringLiteral("127.0.0.1"), closedPort());
    QTRY_COMPARE(outcomes.size(), 1);
    QCOMPARE(outcomes.first(), false);
    QVERIFY(!socket);
}

void TestClinetSocket::sendReachesPeer()
{
    QTcpSocket *peer = connectToServer();
    QVERIFY(peer);
    const std::string first = CommandFrames::SingleServo(3, 95);
    const std::string second = CommandFrames::Middle();
    QCOMPARE(m_panel.socket->Send(first.data(), int(first.size()), 0), int(first.size()));
    QCOMPARE(m_panel.socket->Send(second.data(), int(second.size()), 0), int(second.size()));
    const QByteArray expected = QByteArray::fromStdString(first + second);
    QByteArray got;
    QVERIFY(QTest::qWaitFor([&] { return (got += peer->readAll()).size() >= expected.size(); }, 5000));
    QCOMPARE(got, expected);
}

void TestClinetSocket::sendBeforeConnectFails()
{
    CClinetSocket socket(m_panel);
    const char frame[] = "$070007#";
    QCOMPARE(socket.Send(frame, 8), CAsyncSocket::SOCKET_ERROR); // not created
    QVERIFY(socket.Create());
    QCOMPARE(socket.Send(frame, 8), CAsyncSocket::SOCKET_ERROR); // not connected
    QCOMPARE(socket.GetLastError(), ENOTCONN);
    char buffer[16];
    QCOMPARE(socket.Receive(buffer, sizeof buffer), CAsyncSocket::SOCKET_ERROR);
}

void TestClinetSocket::receiveIsNonBlockingAndBounded()
{
    QTcpSocket *peer = connectToServer();
    QVERIFY(peer);
    char buffer[1024];
    QCOMPARE(m_panel.socket->Receive(buffer, sizeof buffer, 0), CAsyncSocket::SOCKET_ERROR);
    QCOMPARE(m_panel.socket->GetLastError(), EWOULDBLOCK);

    QByteArray sent;
    for (int i = 0; i < 1500; ++i)
        sent.append(char('0' + i % 10));
    sent.prepend("$032006090045120090110170xx#");
    peer->write(sent);
    peer->flush();

    QByteArray got;
    while (got.size() < sent.size()) {
        int n = CAsyncSocket::SOCKET_ERROR;
        QVERIFY(QTest::qWaitFor([&] { return (n = m_panel.socket->Receive(buffer, sizeof buffer, 0)) > 0; }, 5000));
        QVERIFY(n <= 1024);
        got.append(buffer, n);
    }
    QCOMPARE(got, sent); // oldest first, nothing lost or repeated
    QCOMPARE(m_panel.socket->Receive(buffer, sizeof buffer, 0), CAsyncSocket::SOCKET_ERROR);
}

void TestClinetSocket::receiveSeesBytesBeforeEventLoopRuns()
{
    QTcpSocket *peer = connectToServer();
    QVERIFY(peer);
    peer->write("$0102035#");
    QVERIFY(peer->waitForBytesWritten(2000));
    // No event loop turn in between: the bytes are in the kernel, not yet in Qt's buffer.
    char buffer[1024];
    int n = CAsyncSocket::SOCKET_ERROR;
    for (int tries = 0; tries < 1000 && n < 0; ++tries)
        n = m_panel.socket->Receive(buffer, sizeof buffer, 0);
    QCOMPARE(QByteArray(buffer, qMax(n, 0)), QByteArray("$0102035#"));
}

void TestClinetSocket::peerCloseReadsAsZero()
{
    QTcpSocket *peer = connectToServer();
    QVERIFY(peer);
    peer->write("abc");
    peer->disconnectFromHost();
    QTRY_COMPARE(peer->state(), QAbstractSocket::UnconnectedState);
    // Once the socket's own event handling has seen the close, the data is still there to read.
    QTRY_VERIFY(!m_panel.socket->IsConnected());
    char buffer[1024];
    QCOMPARE(m_panel.socket->Receive(buffer, sizeof buffer), 3);
    QCOMPARE(QByteArray(buffer, 3), QByteArray("abc"));
    QCOMPARE(m_panel.socket->Receive(buffer, sizeof buffer), 0);
    QCOMPARE(m_panel.socket->Receive(buffer, sizeof buffer), 0);
    // Sending into a closed connection neither crashes nor raises SIGPIPE.
    const std::string frame = CommandFrames::Stop();
    for (int i = 0; i < 3; ++i) {
        m_panel.socket->Send(frame.data(), int(frame.size()));
        QTest::qWait(10);
    }
}

void TestClinetSocket::destructionShutsDownSendingAfterQueuedFrames_data()
{
    QTest::addColumn<bool>("explicitShutDown");
    QTest::newRow("shut down, then destroyed") << true;
    QTest::newRow("destroyed while connected") << false;
}

void TestClinetSocket::destructionShutsDownSendingAfterQueuedFrames()
{
    QFETCH(bool, explicitShutDown);
    QTcpSocket *peer = connectToServer();
    QVERIFY(peer);
    QByteArray expected;
    for (int i = 1; i <= 200; ++i) {
        const std::string frame = CommandFrames::SingleServo(1 + i % 6, i % 181);
        QVERIFY(m_panel.socket->Send(frame.data(), int(frame.size())) > 0);
        expected += QByteArray::fromStdString(frame);
    }
    if (explicitShutDown) {
        QVERIFY(m_panel.socket->ShutDown(CAsyncSocket::sends));
        const std::string late = CommandFrames::Middle();
        QCOMPARE(m_panel.socket->Send(late.data(), int(late.size())), CAsyncSocket::SOCKET_ERROR);
    }
    m_panel.socket.reset();

    QByteArray got;
    QVERIFY(QTest::qWaitFor([&] {
        got += peer->readAll();
        return peer->state() == QAbstractSocket::UnconnectedState;
    }, 5000));
    got += peer->readAll();
    QCOMPARE(got, expected);
}

void TestClinetSocket::maskSelectsNotifications_data()
{
    QTest::addColumn<long>("mask");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("all") << CAsyncSocket::FD_ALL << QStringList{"connect 0", "receive", "close"};
    QTest::newRow("connect only") << CAsyncSocket::FD_CONNECT << QStringList{"connect 0"};
    QTest::newRow("none") << 0L << QStringList{};
}

void TestClinetSocket::maskSelectsNotifications()
{
    QFETCH(long, mask);
    QFETCH(QStringList, events);
    RecordingSocket socket;
    QVERIFY(socket.Create());
    QVERIFY(socket.AsyncSelect(mask));
    socket.Connect(QStringLiteral("127.0.0.1"), m_server->serverPort());
    QTRY_VERIFY(socket.IsConnected());
    QVERIFY(m_server->hasPendingConnections() || m_server->waitForNewConnection(5000));
    QTcpSocket *peer = m_server->nextPendingConnection();
    peer->write("$0102035#");
    peer->flush();
    QTRY_VERIFY(socket.events.contains(QLatin1String("receive")) || mask != CAsyncSocket::FD_ALL);
    peer->disconnectFromHost();
    QTRY_VERIFY(socket.events.contains(QLatin1String("close")) || mask != CAsyncSocket::FD_ALL);
    QTest::qWait(50);
    socket.events.removeDuplicates();
    QCOMPARE(socket.events, events);
}

QTEST_GUILESS_MAIN(TestClinetSocket)
#include "tst_clinetsocket.moc"
