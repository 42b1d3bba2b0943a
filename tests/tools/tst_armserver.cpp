#include "link/CommandFrames.h"
#include "link/PrivateProfile.h"
#include "link/ReplyFrames.h"
#include "tools/armsim/ArmServer.h"
#include "tools/armsim/ManualArmClock.h"
#include "tools/armsim/PtyLink.h"
#include "tools/armsim/VideoServer.h"

#include <QImage>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <sstream>

using namespace CommandFrames;

namespace {

bool waitFor(const std::function<bool()> &condition)
{
    return QTest::qWaitFor(condition, 10000);
}

std::string slurp(const std::string &path)
{
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

// The program's side of the pseudo-terminal, opened the way a serial port is.
struct PtyClient
{
    explicit PtyClient(const QString &path)
        : fd(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
    }
    ~PtyClient() { close(); }
    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    // Writes everything, letting the stand-in (on this thread) read meanwhile.
    bool send(const std::string &text)
    {
        size_t done = 0;
        return waitFor([&] {
            const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
            done += n > 0 ? size_t(n) : 0;
            return done == text.size();
        });
    }
    QByteArray &received()
    {
        char buffer[1024];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
            got.append(buffer, n);
        return got;
    }
    int fd;
    QByteArray got;
};

QByteArray readUntil(QTcpSocket &socket, QByteArray &got, qsizetype size)
{
    waitFor([&] { got += socket.readAll(); return got.size() >= size; });
    return got;
}

} // namespace

class TestArmServer : public QObject
{
    Q_OBJECT

private slots:
    void tcpClientAndPtyShareOneArm();
    void ptyClientMayCloseAndReopen();
    void comPortEntryOfAnotherStandInIsKept();
    void streamDeliversJpegPictures();
    void hostileInputKeepsItRunning();

private:
    std::unique_ptr<ArmServer> start(bool pty, int com = 0);

    QTemporaryDir m_dir;
    ManualArmClock m_clock;
};

std::unique_ptr<ArmServer> TestArmServer::start(bool pty, int com)
{
    ArmSimOptions options;
    options.port = 0;
    options.videoPort = 0;
    options.pty = pty;
    options.com = com;
    options.config = m_dir.filePath("config.ini");
    auto server = std::make_unique<ArmServer>(options, &m_clock);
    QString error;
    if (!server->start(&error))
        qWarning("%s", qPrintable(error));
    return server;
}

void TestArmServer::tcpClientAndPtyShareOneArm()
{
    auto server = start(true);
    QTcpSocket tcp;
    tcp.connectToHost(QHostAddress::LocalHost, server->tcpPort());
    QByteArray tcpGot;
    QCOMPARE(readUntil(tcp, tcpGot, 10), QByteArray("$01021004#"));

    PtyClient pty(server->ptyPath());
    QVERIFY(pty.fd >= 0);
    // The pseudo-terminal greets on the first bytes a client sends; a frame may arrive in pieces.
    QVERIFY(pty.send("$0407030"));
    QVERIFY(waitFor([&] { return pty.received().size() >= 10; }));
    QCOMPARE(pty.received(), QByteArray("$01021004#"));
    QVERIFY(pty.send("956d#"));
    QVERIFY(waitFor([&] { return server->controller().accepted() == 1; }));
    m_clock.advance(100);
    tcp.write(QByteArray::fromStdString(AllServos({10, 20, 95, 40, 50, 60}, 1000)));
    QVERIFY(waitFor([&] { return server->controller().accepted() == 2; }));
    m_clock.advance(500);

    // Each link hears only the answer to its own request, at the moment it asked.
    tcp.write(QByteArray::fromStdString(RequestAngles()));
    tcpGot.clear();
    QCOMPARE(readUntil(tcp, tcpGot, 28), QByteArray("$032006050055095065070120e4#"));
    m_clock.advance(500);
    pty.received().clear();
    QVERIFY(pty.send(RequestAngles()));
    QVERIFY(waitFor([&] { return pty.received().size() >= 28; }));
    QCOMPARE(pty.received(), QByteArray("$03200601002009504005006030#"));
    QCOMPARE(tcp.bytesAvailable(), 0);

    QStringList links;
    for (const QJsonValue &f : server->stateJson()["frames"].toObject()["last"].toArray())
        links << f.toObject()["link"].toString();
    QCOMPARE(links, (QStringList{"pty", "tcp 1", "tcp 1", "pty"}));
}

void TestArmServer::ptyClientMayCloseAndReopen()
{
    auto server = start(true);
    PtyLink *link = server->pty();
    for (int round = 0; round < 3; ++round) {
        PtyClient pty(server->ptyPath());
        QVERIFY2(pty.fd >= 0, "the terminal path stays valid across clients");
        // A half frame left by the previous client must not spoil this one's first frame.
        QVERIFY(pty.send(SingleServo(1, 10 + round)));
        QVERIFY(waitFor([&] { return pty.received().startsWith("$01021004#"); }));
        QVERIFY(waitFor([&] { return server->controller().accepted() == round + 1; }));
        QVERIFY(pty.send("$04070"));
        pty.close();
        QVERIFY(waitFor([&] { return link->waitingForTerminal() && !link->connected(); }));
    }
    QCOMPARE(server->controller().rejected(), 0);
    m_clock.advance(1000);
    QCOMPARE(server->controller().model().roundedAngles()[0], 12);
}

void TestArmServer::comPortEntryOfAnotherStandInIsKept()
{
    const std::string path = m_dir.filePath("config.ini").toStdString();
    std::ofstream(path, std::ios::binary) << "[connect_info]\nmode=1\ncom=5\n[com_ports]\nCOM3=/dev/ttyUSB7\n";
    auto server = start(true, 5);
    QCOMPARE(PrivateProfile::GetString(path, "com_ports", "COM5", ""), server->ptyPath().toStdString());
    QVERIFY(PrivateProfile::WriteString(path, "com_ports", "COM5", "/dev/pts/999"));
    const std::string before = slurp(path);
    server.reset();
    QCOMPARE(slurp(path), before);
}

void TestArmServer::streamDeliversJpegPictures()
{
    auto server = start(false);
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, server->videoPort());
    socket.write("GET /stream HTTP/1.1\r\nHost: localhost\r\n\r\n");
    QByteArray data;
    QVERIFY(waitFor([&] { data += socket.readAll(); return data.contains("\r\n\r\n"); }));
    const qsizetype headEnd = data.indexOf("\r\n\r\n");
    QVERIFY(data.startsWith("HTTP/1.1 200 "));
    QVERIFY(data.left(headEnd + 2).contains("\r\nContent-Type: multipart/x-mixed-replace; boundary=frame\r\n"));
    data.remove(0, headEnd + 4);
    // Each part as a viewer reads it: boundary, headers, then exactly Content-Length bytes of picture.
    for (int pictures = 0; pictures < 3; ++pictures) {
        QVERIFY(waitFor([&] { data += socket.readAll(); return data.contains("\r\n\r\n"); }));
        const qsizetype end = data.indexOf("\r\n\r\n");
        const QByteArray head = data.left(end + 2);
        QVERIFY2(head.startsWith("--frame\r\n") && head.contains("\r\nContent-Type: image/jpeg\r\n"), head.constData());
        const qsizetype lengthAt = head.indexOf("\r\nContent-Length: ");
        QVERIFY(lengthAt > 0);
        const int length = head.mid(lengthAt + 18).split('\r').first().toInt();
        QVERIFY(waitFor([&] { data += socket.readAll(); return data.size() >= end + 4 + length + 2; }));
        QCOMPARE(data.mid(end + 4 + length, 2), QByteArray("\r\n"));
        QCOMPARE(QImage::fromData(data.mid(end + 4, length), "JPG").size(), QSize(640, 480));
        data.remove(0, end + 4 + length + 2);
    }
    QCOMPARE(server->video()->streamClients(), 1);
    socket.disconnectFromHost();
    QVERIFY(waitFor([&] { return server->video()->streamClients() == 0; }));
}

void TestArmServer::hostileInputKeepsItRunning()
{
    auto server = start(true);
    QRandomGenerator random(20240611);
    // Junk with plenty of frame marks in it, over TCP and the pseudo-terminal, then a frame that never ends.
    QByteArray junk(64 * 1024, Qt::Uninitialized);
    for (char &c : junk) {
        const quint32 r = random.bounded(10);
        c = r == 0 ? '$' : r == 1 ? '#' : char(random.bounded(256));
    }
    QTcpSocket noisy;
    noisy.connectToHost(QHostAddress::LocalHost, server->tcpPort());
    noisy.write(junk + "$" + QByteArray(5000, '0'));
    PtyClient pty(server->ptyPath());
    QVERIFY(pty.send(junk.toStdString()));
    QVERIFY(waitFor([&] { return noisy.bytesToWrite() == 0; }));

    // A crowd at once: half vanish, half send one frame and leave; camera clients say half a request.
    std::vector<std::unique_ptr<QTcpSocket>> crowd, viewers;
    for (int i = 0; i < 100; ++i) {
        crowd.push_back(std::make_unique<QTcpSocket>());
        crowd.back()->connectToHost(QHostAddress::LocalHost, server->tcpPort());
        viewers.push_back(std::make_unique<QTcpSocket>());
        viewers.back()->connectToHost(QHostAddress::LocalHost, server->videoPort());
        viewers.back()->write("GET /stat");
    }
    QVERIFY(waitFor([&] {
        return std::all_of(crowd.begin(), crowd.end(),
                           [](const auto &s) { return s->state() == QAbstractSocket::ConnectedState; });
    }));
    for (int i = 0; i < 100; ++i) {
        if (i % 2 == 0)
            crowd[i]->abort();
        else if (crowd[i]->write(QByteArray::fromStdString(Threshold(i))) > 0)
            crowd[i]->disconnectFromHost();
    }
    auto thresholds = [&] {
        return server->controller().stateJson()["frames"].toObject()["byCode"].toObject()["14"].toInt();
    };
    QVERIFY(waitFor([&] { return thresholds() == 50; }));
    viewers.clear();
    QVERIFY(waitFor([&] { return server->tcpClients() == 1 && server->video()->clients() == 0; }));

    // Still fully working afterwards.
    QTcpSocket fresh;
    fresh.connectToHost(QHostAddress::LocalHost, server->tcpPort());
    QByteArray got;
    readUntil(fresh, got, 10);
    fresh.write(QByteArray::fromStdString(RequestAngles()));
    QVERIFY(readUntil(fresh, got, 38).endsWith(
        QByteArray::fromStdString(ReplyFrames::JointAngles(server->controller().model().roundedAngles()))));
    const QJsonObject frames = server->stateJson()["frames"].toObject();
    QCOMPARE(frames["byCode"].toObject()["14"].toInt(), 50);
    QVERIFY(frames["rejected"].toInt() > 0);
    QVERIFY(frames["overlong"].toInt() >= 1);
}

QTEST_MAIN(TestArmServer)
#include "tst_armserver.moc"
