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
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

#include <fstream>

using namespace CommandFrames;

namespace {

bool waitFor(const std::function<bool()> &condition) { return QTest::qWaitFor(condition, 10000); }

QByteArray slurp(const std::string &path)
{
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The program's side of the pseudo-terminal, opened the way a serial port is.
struct PtyClient
{
    explicit PtyClient(const QString &path) : fd(::open(qPrintable(path), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    ~PtyClient() { close(); }
    void close() { if (fd >= 0) ::close(std::exchange(fd, -1)); }
    // Writes everything, letting the stand-in (on this thread) read meanwhile.
    bool send(const std::string &text)
    {
        size_t done = 0;
        return waitFor([&] { return (done += std::max(::write(fd, text.data() + done, text.size() - done), ssize_t(0))) == text.size(); });
    }
    // The next size bytes to arrive (fewer if they do not come).
    QByteArray take(qsizetype size)
    {
        char buffer[1024];
        waitFor([&] { for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) got.append(buffer, n); return got.size() >= size; });
        return std::exchange(got, got.mid(size)).left(size);
    }
    int fd;
    QByteArray got;
};

std::unique_ptr<QTcpSocket> dial(quint16 port)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    return socket;
}
QByteArray take(QTcpSocket &socket, qsizetype size) { return waitFor([&] { return socket.bytesAvailable() >= size; }), socket.read(size); }

} // namespace

class TestArmServer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    ManualArmClock m_clock;

    std::unique_ptr<ArmServer> start(bool pty, int com = 0)
    {
        auto server = std::make_unique<ArmServer>(
            ArmSimOptions{.port = 0, .videoPort = 0, .pty = pty, .com = com, .config = m_dir.filePath("config.ini")}, &m_clock);
        if (QString error; !server->start(&error))
            qWarning("%s", qPrintable(error));
        return server;
    }

private slots:
    void tcpClientAndPtyShareOneArm()
    {
        auto server = start(true);
        auto tcp = dial(server->tcpPort());
        QCOMPARE(take(*tcp, 10), QByteArray("$01021004#"));
        PtyClient pty(server->ptyPath());
        // The pseudo-terminal greets on the first bytes a client sends; a frame may arrive in pieces.
        QVERIFY(pty.send("$0407030"));
        QCOMPARE(pty.take(10), QByteArray("$01021004#"));
        QVERIFY(pty.send("956d#"));
        QVERIFY(waitFor([&] { return server->controller().accepted() == 1; }));
        m_clock.advance(100);
        tcp->write(QByteArray::fromStdString(AllServos({10, 20, 95, 40, 50, 60}, 1000)));
        QVERIFY(waitFor([&] { return server->controller().accepted() == 2; }));
        m_clock.advance(500);

        // Each link hears only the answer to its own request, at the moment it asked.
        tcp->write(QByteArray::fromStdString(RequestAngles()));
        QCOMPARE(take(*tcp, 28), QByteArray("$032006050055095065070120e4#"));
        m_clock.advance(500);
        QVERIFY(pty.send(RequestAngles()));
        QCOMPARE(pty.take(28), QByteArray("$03200601002009504005006030#"));
        QCOMPARE(tcp->bytesAvailable(), 0);
        QStringList links;
        for (const QJsonValue &f : server->stateJson()["frames"].toObject()["last"].toArray())
            links << f.toObject()["link"].toString();
        QCOMPARE(links, (QStringList{"pty", "tcp 1", "tcp 1", "pty"}));
    }

    void ptyClientMayCloseAndReopen()
    {
        auto server = start(true);
        PtyLink *link = server->pty();
        for (int round = 0; round < 3; ++round) {
            PtyClient pty(server->ptyPath());
            QVERIFY2(pty.fd >= 0, "the terminal path stays valid across clients");
            // A half frame left by the previous client must not spoil this one's first frame.
            QVERIFY(pty.send(SingleServo(1, 10 + round)));
            QCOMPARE(pty.take(10), QByteArray("$01021004#"));
            QVERIFY(waitFor([&] { return server->controller().accepted() == round + 1; }));
            QVERIFY(pty.send("$04070"));
            pty.close();
            QVERIFY(waitFor([&] { return link->waitingForTerminal() && !link->connected(); }));
        }
        QCOMPARE(server->controller().rejected(), 0);
        m_clock.advance(1000);
        QCOMPARE(server->controller().model().roundedAngles()[0], 12);
    }

    void comPortEntryOfAnotherStandInIsKept()
    {
        const std::string path = m_dir.filePath("config.ini").toStdString();
        std::ofstream(path, std::ios::binary) << "[connect_info]\nmode=1\ncom=5\n[com_ports]\nCOM3=/dev/ttyUSB7\n";
        auto server = start(true, 5);
        QCOMPARE(PrivateProfile::GetString(path, "com_ports", "COM5", ""), server->ptyPath().toStdString());
        QVERIFY(PrivateProfile::WriteString(path, "com_ports", "COM5", "/dev/pts/999"));
        const QByteArray before = slurp(path);
        server.reset();
        QCOMPARE(slurp(path), before);
    }

    void streamDeliversJpegPictures()
    {
        auto server = start(false);
        auto socket = dial(server->videoPort());
        socket->write("GET /stream HTTP/1.1\r\nHost: localhost\r\n\r\n");
        QByteArray data;
        // Each head as a viewer reads it, then exactly Content-Length bytes of picture after each part's head.
        auto head = [&] {
            waitFor([&] { return (data += socket->readAll()).contains("\r\n\r\n"); });
            const qsizetype end = data.indexOf("\r\n\r\n");
            const QByteArray text = data.left(end + 2);
            return data.remove(0, end + 4), text;
        };
        const QByteArray response = head();
        QVERIFY(response.startsWith("HTTP/1.1 200 ") && response.contains("\r\nContent-Type: multipart/x-mixed-replace; boundary=frame\r\n"));
        for (int pictures = 0; pictures < 3; ++pictures) {
            const QByteArray part = head();
            QVERIFY2(part.startsWith("--frame\r\n") && part.contains("\r\nContent-Type: image/jpeg\r\n"), part.constData());
            const int length = part.mid(part.indexOf("\r\nContent-Length: ") + 18).split('\r').first().toInt();
            QVERIFY(waitFor([&] { return (data += socket->readAll()).size() >= length + 2; }));
            QCOMPARE(data.mid(length, 2), QByteArray("\r\n"));
            QCOMPARE(QImage::fromData(data.left(length), "JPG").size(), QSize(640, 480));
            data.remove(0, length + 2);
        }
        QCOMPARE(server->video()->streamClients(), 1);
        socket->disconnectFromHost();
        QVERIFY(waitFor([&] { return server->video()->streamClients() == 0; }));
    }

    void hostileInputKeepsItRunning()
    {
        auto server = start(true);
        QRandomGenerator random(20240611);
        // Junk with plenty of frame marks in it, over TCP and the pseudo-terminal, then a frame that never ends.
        QByteArray junk(64 * 1024, Qt::Uninitialized);
        for (char &c : junk)
            c = random.bounded(5) == 0 ? "$#"[random.bounded(2)] : char(random.bounded(256));
        auto noisy = dial(server->tcpPort());
        noisy->write(junk + "$" + QByteArray(5000, '0'));
        PtyClient pty(server->ptyPath());
        QVERIFY(pty.send(junk.toStdString()));
        QVERIFY(waitFor([&] { return noisy->bytesToWrite() == 0; }));

        // A crowd at once: half vanish, half send one frame and leave; camera clients say half a request.
        std::vector<std::unique_ptr<QTcpSocket>> crowd, viewers;
        for (int i = 0; i < 100; ++i) {
            crowd.push_back(dial(server->tcpPort()));
            viewers.push_back(dial(server->videoPort()));
            viewers.back()->write("GET /stat");
        }
        QVERIFY(waitFor([&] { return std::ranges::all_of(crowd, [](auto &s) { return s->state() == QAbstractSocket::ConnectedState; }); }));
        for (int i = 0; i < 100; ++i)
            i % 2 ? (crowd[i]->write(QByteArray::fromStdString(Threshold(i))), crowd[i]->disconnectFromHost()) : crowd[i]->abort();
        auto frames = [&] { return server->stateJson()["frames"].toObject(); };
        QVERIFY(waitFor([&] { return frames()["byCode"].toObject()["14"].toInt() == 50; }));
        viewers.clear();
        QVERIFY(waitFor([&] { return server->tcpClients() == 1 && server->video()->clients() == 0; }));

        // Still fully working afterwards.
        auto fresh = dial(server->tcpPort());
        take(*fresh, 10);
        fresh->write(QByteArray::fromStdString(RequestAngles()));
        QCOMPARE(take(*fresh, 28), QByteArray::fromStdString(ReplyFrames::JointAngles(server->controller().model().roundedAngles())));
        QCOMPARE(frames()["byCode"].toObject()["14"].toInt(), 50);
        QVERIFY(frames()["rejected"].toInt() > 0 && frames()["overlong"].toInt() >= 1);
    }
};

QTEST_MAIN(TestArmServer)
#include "tst_armserver.moc"
