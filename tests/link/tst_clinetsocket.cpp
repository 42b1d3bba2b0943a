#include "link/CClinetSocket.h"
#include "link/CommandFrames.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <cerrno>

class TestClinetSocket : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTcpServer> m_server;
    std::unique_ptr<CClinetSocket> m_socket;
    QTcpSocket *m_peer = nullptr; // the server's side of the latest connection
    QList<int> m_outcomes; // the error code of each connect outcome, 0 for success
    int m_closes = 0;

    // Like the link's owner: the socket is dropped inside the notification of a failure.
    void makeSocket()
    {
        m_socket = std::make_unique<CClinetSocket>([this](bool ok) {
            m_outcomes << (ok ? 0 : m_socket->GetLastError());
            if (!ok)
                m_socket.reset();
        });
        m_socket->setCloseHandler([this] { ++m_closes; });
        QVERIFY(m_socket->Create() && m_socket->AsyncSelect(CAsyncSocket::FD_CONNECT | CAsyncSocket::FD_CLOSE));
    }
    bool connected()
    {
        m_outcomes.clear();
        makeSocket();
        m_socket->Connect(QStringLiteral("127.0.0.1"), m_server->serverPort());
        const bool up = QTest::qWaitFor([&] { return !m_outcomes.isEmpty(); }, 5000) && m_outcomes == QList<int>{0};
        return (m_peer = up && (m_server->hasPendingConnections() || m_server->waitForNewConnection(5000)) ? m_server->nextPendingConnection() : nullptr);
    }

private slots:
    void init()
    {
        m_outcomes.clear(), m_closes = 0, m_socket.reset();
        m_server = std::make_unique<QTcpServer>();
        QVERIFY(m_server->listen(QHostAddress::Any));
    }

    void connectOutcome_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port"); // -1: the listening server, -2: a closed port
        QTest::addColumn<int>("error");
        QTest::newRow("listening") << "127.0.0.1" << -1 << 0; QTest::newRow("by name") << "localhost" << -1 << 0;
        QTest::newRow("nothing listens") << "127.0.0.1" << -2 << ECONNREFUSED;
        QTest::newRow("port beyond 16 bits") << "127.0.0.1" << 65536 << EINVAL; QTest::newRow("blank host") << " " << -1 << EINVAL;
    }
    void connectOutcome()
    {
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(int, error);
        const quint16 closedPort = [] { QTcpServer probe; return probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : quint16(0); }();
        makeSocket();
        const unsigned target = port == -1 ? m_server->serverPort() : port == -2 ? closedPort : unsigned(port);
        QVERIFY(m_socket->Connect(host, target));
        QVERIFY(m_outcomes.isEmpty()); // never from inside Connect: the owner is still setting up
        QVERIFY(!m_socket->Connect(host, target)); // one attempt at a time
        QTRY_COMPARE_WITH_TIMEOUT(m_outcomes, QList<int>{error}, 10000);
        QCOMPARE(m_socket && m_socket->IsConnected(), error == 0);
    }

    void framesBothWays()
    {
        CClinetSocket unconnected([](bool) {});
        QVERIFY(unconnected.Create() && unconnected.Send("$070007#", 8) == CAsyncSocket::SOCKET_ERROR && unconnected.GetLastError() == ENOTCONN);

        QVERIFY(connected());
        char buffer[1024];
        QVERIFY(m_socket->Receive(buffer, sizeof buffer) == CAsyncSocket::SOCKET_ERROR && m_socket->GetLastError() == EWOULDBLOCK);
        QVERIFY(m_socket->Send("$", -1) < 0 && m_socket->Send(nullptr, 3) < 0);

        // Read on demand: what the kernel holds counts even before the event loop has run, and a
        // long reply comes in pieces of at most the buffer's size, oldest first.
        const QByteArray sent = "$032006090045120090110170xx#" + QByteArray("0123456789").repeated(150);
        QVERIFY(m_peer->write(sent) == sent.size() && m_peer->waitForBytesWritten(2000));
        QByteArray got;
        for (int tries = 0; tries < 100000 && got.size() < sent.size(); ++tries)
            if (const int n = m_socket->Receive(buffer, sizeof buffer); n > 0)
                got.append(buffer, n);
        QCOMPARE(got, sent);
        QCOMPARE(m_socket->Receive(buffer, sizeof buffer), CAsyncSocket::SOCKET_ERROR);
    }

    void peerCloseReadsAsZero()
    {
        QVERIFY(connected());
        m_peer->write("abc"), m_peer->disconnectFromHost();
        QTRY_VERIFY(m_closes == 1 && !m_socket->IsConnected());
        // The data is still there to read, then the end, as often as asked.
        char buffer[1024];
        QVERIFY(m_socket->Receive(buffer, sizeof buffer) == 3 && QByteArray(buffer, 3) == "abc");
        QVERIFY(m_socket->Receive(buffer, sizeof buffer) == 0 && m_socket->Receive(buffer, sizeof buffer) == 0);
        QCOMPARE(m_socket->Send("$090100a#", 9), CAsyncSocket::SOCKET_ERROR); // and no SIGPIPE
    }

    void destructionSendsQueuedFramesFirst()
    {
        for (const bool explicitShutDown : {true, false}) {
            QVERIFY(connected());
            QByteArray expected;
            for (int i = 1; i <= 200; ++i) {
                const std::string frame = CommandFrames::SingleServo(1 + i % 6, i % 181);
                QVERIFY(m_socket->Send(frame.data(), int(frame.size())) > 0);
                expected += QByteArray::fromStdString(frame);
            }
            if (explicitShutDown) // what is queued still goes; later sends are refused
                QVERIFY(m_socket->ShutDown(CAsyncSocket::sends) && m_socket->Send("$070007#", 8) == CAsyncSocket::SOCKET_ERROR
                        && m_socket->GetLastError() == ESHUTDOWN);
            m_socket.reset();
            QByteArray got;
            QVERIFY(QTest::qWaitFor([&] { return (got += m_peer->readAll()), m_peer->state() == QAbstractSocket::UnconnectedState; }, 5000));
            QCOMPARE(got + m_peer->readAll(), expected);
        }
    }
};

QTEST_GUILESS_MAIN(TestClinetSocket)
#include "tst_clinetsocket.moc"
