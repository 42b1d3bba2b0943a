#include "link/CommandFrames.h"
#include "link/PrivateProfile.h"
#include "tools/armsim/ArmServer.h"
#include "tools/armsim/ManualArmClock.h"
#include "tools/armsim/PtyLink.h"
#include "link/ReplyFrames.h"
#include "tools/armsim/VideoServer.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QtTest>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <sstream>

using namespace CommandFrames;

namespace {

constexpr int WaitMs = 10000;

bool waitFor(const std::function<bool()> &condition, int timeoutMs = WaitMs)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

std::string slurp(const QString &path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The program's side of the pseudo-terminal, opened the way a serial port is.
class PtyClient
{
public:
    explicit PtyClient(const QString &path)
        : m_fd(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
    }
    ~PtyClient() { close(); }
    bool isOpen() const { return m_fd >= 0; }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    // Writes everything, letting the stand-in read meanwhile (it runs on this thread).
    bool send(const std::string &text)
    {
        size_t done = 0;
        return waitFor([&] {
            const ssize_t n = ::write(m_fd, text.data() + done, text.size() - done);
            if (n > 0)
                done += size_t(n);
            return done == text.size();
        });
    }
    QByteArray &received()
    {
        char buffer[1024];
        for (ssize_t n; (n = ::read(m_fd, buffer, sizeof buffer)) > 0;)
            m_received.append(buffer, n);
        return m_received;
    }

private:
    int m_fd;
    QByteArray m_received;
};

// A plain HTTP/1.1 request; collects everything until the server closes or the wait runs out.
QByteArray httpRequest(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write(request);
    QByteArray got;
    waitFor([&] {
        got += socket.readAll();
        return socket.state() == QAbstractSocket::UnconnectedState;
    });
    return got + socket.readAll();
}

QByteArray httpGet(quint16 port, const QByteArray &path)
{
    return httpRequest(port, "GET " + path + " HTTP/1.1\r\nHost: localhost\r\n\r\n");
}

enum class Part { More, Bad, Picture };

// Takes one multipart part off the front of data, the way a viewer reads the stream: boundary,
// headers, then exactly Content-Length bytes of picture.
Part nextPart(QByteArray &data, QImage &picture)
{
    const qsizetype headEnd = data.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return data.size() > 4096 ? Part::Bad : Part::More;
    const QByteArray head = data.left(headEnd);
    if (!head.startsWith("--frame\r\n") || !head.contains("\r\nContent-Type: image/jpeg"))
        return Part::Bad;
    const qsizetype lengthAt = head.indexOf("\r\nContent-Length: ");
    if (lengthAt < 0)
        return Part::Bad;
    const int length = head.mid(lengthAt + 18).split('\r').first().toInt();
    const qsizetype end = headEnd + 4 + length;
    if (data.size() < end + 2)
        return Part::More;
    if (data.mid(end, 2) != "\r\n")
        return Part::Bad;
    picture = QImage::fromData(data.mid(headEnd + 4, length), "JPG");
    data.remove(0, end + 2);
    return Part::Picture;
}

QByteArray bodyOf(const QByteArray &response)
{
    const qsizetype end = response.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : response.mid(end + 4);
}

} // namespace

class TestArmServer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void tcpClientAndPtyShareOneArm();
    void ptyClientMayCloseAndReopen();
    void comPortEntryIsWrittenAndRemoved_data();
    void comPortEntryIsWrittenAndRemoved();
    void stateReflectsCommandsAndInitCalls();
    void streamDeliversJpegPictures();
    void stalledStreamReaderMissesPictures();
    void hostileInputKeepsItRunning();

private:
    std::unique_ptr<ArmServer> start(bool pty, int com = 0);

    QTemporaryDir m_dir;
    ManualArmClock m_clock;
    QStringList m_log;
};

void TestArmServer::init()
{
    m_log.clear();
    m_clock.set(0);
}

void TestArmServer::cleanup()
{
    QFile::remove(m_dir.filePath("config.ini"));
}

std::unique_ptr<ArmServer> TestArmServer::start(bool pty, int com)
{
    ArmSimOptions options;
    options.port = 0;
    options.videoPort = 0;
    options.pty = pty;
    options.com = com;
    options.config = m_dir.filePath("config.ini");
    auto server = std::make_unique<ArmServer>(options, &m_clock);
    server->setLogger([this](const QString &line) { m_log << line; });
    QString error;
    if (!server->start(&error)) {
        qWarning("%s", qPrintable(error));
        return nullptr;
    }
    return server;
}

void TestArmServer::tcpClientAndPtyShareOneArm()
{
    auto server = start(true);
    QVERIFY(server);
    QVERIFY(server->ptyPath().startsWith(QLatin1String("/dev/pts/")));

    QTcpSocket tcp;
    tcp.connectToHost(QHostAddress::LocalHost, server->tcpPort());
    QByteArray tcpReceived;
    QVERIFY(waitFor([&] { tcpReceived += tcp.readAll(); return tcpReceived.size() >= 10; }));
    QCOMPARE(tcpReceived, QByteArray("$01021004#"));

    PtyClient pty(server->ptyPath());
    QVERIFY(pty.isOpen());
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
    tcpReceived.clear();
    QVERIFY(waitFor([&] { tcpReceived += tcp.readAll(); return tcpReceived.size() >= 28; }));
    QCOMPARE(tcpReceived, QByteArray::fromStdString(ReplyFrames::JointAngles({50, 55, 95, 65, 70, 120})));
    m_clock.advance(500);
    pty.received().clear();
    QVERIFY(pty.send(RequestAngles()));
    QVERIFY(waitFor([&] { return pty.received().size() >= 28; }));
    QCOMPARE(pty.received(), QByteArray::fromStdString(ReplyFrames::JointAngles({10, 20, 95, 40, 50, 60})));
    QCOMPARE(tcp.bytesAvailable(), 0);

    const QJsonObject state = server->stateJson();
    QCOMPARE(state["links"].toObject()["tcpClients"].toInt(), 1);
    QCOMPARE(state["links"].toObject()["ptyConnected"].toBool(), true);
    QCOMPARE(state["frames"].toObject()["accepted"].toInt(), 4);
    QStringList links;
    for (const QJsonValue &f : state["frames"].toObject()["last"].toArray())
        links << f.toObject()["link"].toString();
    QCOMPARE(links, (QStringList{"pty", "tcp 1", "tcp 1", "pty"}));
}

void TestArmServer::ptyClientMayCloseAndReopen()
{
    auto server = start(true);
    QVERIFY(server);
    PtyLink *link = server->pty();
    QCOMPARE(link->hangupTimerInterval(), PtyLink::HangupCheckMs);
    for (int round = 0; round < 3; ++round) {
        PtyClient pty(server->ptyPath());
        QVERIFY2(pty.isOpen(), "the terminal path stays valid across clients");
        // A half frame left by the previous client must not spoil this one's first frame.
        QVERIFY(pty.send(SingleServo(1, 10 + round)));
        QVERIFY(waitFor([&] { return pty.received().size() >= 10; }));
        QVERIFY(pty.received().startsWith("$01021004#"));
        QVERIFY(waitFor([&] { return server->controller().accepted() == round + 1; }));
        QVERIFY(pty.send("$04070"));
        pty.close();
        // With nobody on the terminal side the master is only looked at by the slow timer.
        QVERIFY(waitFor([&] { return link->waitingForTerminal(); }));
        QVERIFY(!link->connected());
    }
    QCOMPARE(server->controller().rejected(), 0);
    m_clock.advance(1000);
    QCOMPARE(server->controller().model().roundedAngles()[0], 12);
}

void TestArmServer::comPortEntryIsWrittenAndRemoved_data()
{
    QTest::addColumn<bool>("takenOver");
    QTest::newRow("own entry removed") << false;
    QTest::newRow("entry of another stand-in kept") << true;
}

void TestArmServer::comPortEntryIsWrittenAndRemoved()
{
    QFETCH(bool, takenOver);
    const QString config = m_dir.filePath("config.ini");
    {
        std::ofstream(config.toStdString(), std::ios::binary)
            << "[connect_info]\nmode=1\ncom=5\n[com_ports]\nCOM3=/dev/ttyUSB7\n";
    }
    auto server = start(true, 5);
    QVERIFY(server);
    const std::string path = config.toStdString();
    QCOMPARE(PrivateProfile::GetString(path, "com_ports", "COM5", ""), server->ptyPath().toStdString());
    QCOMPARE(PrivateProfile::GetString(path, "com_ports", "COM3", ""), std::string("/dev/ttyUSB7"));
    QCOMPARE(PrivateProfile::GetString(path, "connect_info", "com", ""), std::string("5"));
    QCOMPARE(server->stateJson()["links"].toObject()["com"].toString(), QStringLiteral("COM5"));
    if (takenOver)
        QVERIFY(PrivateProfile::WriteString(path, "com_ports", "COM5", "/dev/pts/999"));
    const std::string before = slurp(config);
    server.reset();
    if (takenOver) {
        QCOMPARE(slurp(config), before);
    } else {
        QCOMPARE(PrivateProfile::GetString(path, "com_ports", "COM5", "none"), std::string("none"));
        QCOMPARE(slurp(config), std::string("[connect_info]\nmode=1\ncom=5\n[com_ports]\nCOM3=/dev/ttyUSB7\n"));
    }
}

void TestArmServer::stateReflectsCommandsAndInitCalls()
{
    auto server = start(false);
    QVERIFY(server);
    QTcpSocket tcp;
    tcp.connectToHost(QHostAddress::LocalHost, server->tcpPort());
    QVERIFY(tcp.waitForConnected(WaitMs));
    const std::string frames = SetLight(Light::Green) + ColourStacking(true, "3142") + Threshold(90) +
                               SingleServo(5, 270) + "$0407030956e#" + Stop();
    tcp.write(frames.data(), qint64(frames.size()));
    QVERIFY(waitFor([&] { return server->controller().accepted() + server->controller().rejected() == 6; }));
    m_clock.advance(2000);
    for (int i = 0; i < 2; ++i)
        QVERIFY(httpGet(server->videoPort(), "/init").startsWith("HTTP/1.1 200"));

    const QJsonObject state = QJsonDocument::fromJson(bodyOf(httpGet(server->videoPort(), "/state"))).object();
    QCOMPARE(state["light"].toString(), QStringLiteral("green"));
    QCOMPARE(state["games"].toObject()["active"].toString(), QStringLiteral("colour stacking 3142"));
    QCOMPARE(state["games"].toObject()["calibration"].toObject()["threshold"].toInt(), 90);
    // The stop came right behind the move: the servo holds where it was, its target kept.
    QCOMPARE(state["frozen"].toBool(), true);
    QCOMPARE(state["angles"].toArray().at(4).toInt(), 90);
    QCOMPARE(state["targets"].toArray().at(4).toInt(), 270);
    QCOMPARE(state["frames"].toObject()["accepted"].toInt(), 5);
    QCOMPARE(state["frames"].toObject()["rejected"].toInt(), 1);
    QCOMPARE(state["camera"].toObject()["initCalls"].toInt(), 2);
    QCOMPARE(state["version"].toString(), QStringLiteral("1.0"));
    QVERIFY(m_log.contains(QStringLiteral("camera /init called")));
}

void TestArmServer::streamDeliversJpegPictures()
{
    auto server = start(false);
    QVERIFY(server);
    QCOMPARE(server->video()->frameInterval(), 100); // ten pictures a second

    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, server->videoPort());
    socket.write("GET /stream HTTP/1.1\r\nHost: localhost\r\n\r\n");
    QByteArray data;
    QVERIFY(waitFor([&] { data += socket.readAll(); return data.contains("\r\n\r\n"); }));
    const qsizetype headEnd = data.indexOf("\r\n\r\n");
    const QByteArray head = data.left(headEnd);
    QVERIFY2(head.startsWith("HTTP/1.1 200 "), head.constData());
    QVERIFY(head.contains("\r\nContent-Type: multipart/x-mixed-replace; boundary=frame\r\n"));
    data.remove(0, headEnd + 4);
    QList<QImage> pictures;
    bool bad = false;
    QVERIFY(waitFor([&] {
        data += socket.readAll();
        QImage picture;
        for (;;) {
            const Part part = nextPart(data, picture);
            if (part == Part::More)
                return pictures.size() >= 3;
            if (part == Part::Bad) {
                bad = true;
                return true;
            }
            pictures << picture;
        }
    }));
    QVERIFY2(!bad, data.left(200).constData());
    QVERIFY(pictures.size() >= 3);
    for (const QImage &picture : pictures) {
        QVERIFY(!picture.isNull());
        QCOMPARE(picture.size(), QSize(640, 480));
    }
    QCOMPARE(server->video()->streamClients(), 1);
    socket.disconnectFromHost();
    QVERIFY(waitFor([&] { return server->video()->streamClients() == 0; }));
}

void TestArmServer::stalledStreamReaderMissesPictures()
{
    auto server = start(false);
    QVERIFY(server);
    // A reader that asks for the stream and never reads, with a tiny receive window.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    QVERIFY(fd >= 0);
    const int small = 4096;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(server->videoPort());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QCOMPARE(::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    const char request[] = "GET / HTTP/1.1\r\n\r\n";
    QCOMPARE(::send(fd, request, sizeof request - 1, 0), ssize_t(sizeof request - 1));
    QVERIFY(waitFor([&] { return server->video()->streamClients() == 1; }));

    const QByteArray picture(100 * 1024, 'x');
    for (int i = 0; i < 60; ++i) {
        server->video()->sendStreamPart(picture);
        QCoreApplication::processEvents();
    }
    const QJsonObject camera = server->stateJson()["camera"].toObject();
    // Sixty pictures of 100 KiB would be 6 MiB; most of them must have been left out.
    QVERIFY2(camera["picturesDropped"].toInt() > 30, qPrintable(QString::number(camera["picturesDropped"].toInt())));
    QVERIFY(httpGet(server->videoPort(), "/init").startsWith("HTTP/1.1 200"));
    ::close(fd);
    QVERIFY(waitFor([&] { return server->video()->streamClients() == 0; }));
}

void TestArmServer::hostileInputKeepsItRunning()
{
    auto server = start(true);
    QVERIFY(server);
    QRandomGenerator random(20240611);

    // Junk with plenty of frame marks in it, over TCP and the pseudo-terminal.
    QByteArray junk(64 * 1024, Qt::Uninitialized);
    for (char &c : junk) {
        const quint32 r = random.bounded(10);
        c = r == 0 ? '$' : r == 1 ? '#' : char(random.bounded(256));
    }
    QTcpSocket noisy;
    noisy.connectToHost(QHostAddress::LocalHost, server->tcpPort());
    noisy.write(junk);
    // One frame that never ends.
    noisy.write("$" + QByteArray(5000, '0'));
    PtyClient pty(server->ptyPath());
    QVERIFY(pty.send(junk.toStdString()));
    QVERIFY(waitFor([&] { return noisy.bytesToWrite() == 0; }));

    // A crowd of clients at once: some vanish at once, the others send one frame each and leave;
    // camera connections say half a request and go.
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
        if (i % 2 == 0) {
            crowd[i]->abort();
            continue;
        }
        const std::string frame = Threshold(i);
        crowd[i]->write(frame.data(), qint64(frame.size()));
        crowd[i]->disconnectFromHost();
    }
    auto thresholds = [&] {
        return server->controller().stateJson()["frames"].toObject()["byCode"].toObject()["14"].toInt();
    };
    QVERIFY(waitFor([&] { return thresholds() == 50; }));
    viewers.clear();
    QVERIFY(waitFor([&] { return server->tcpClients() == 1 && server->video()->clients() == 0; }));
    QVERIFY(server->stateJson()["frames"].toObject()["overlong"].toInt() >= 1);

    // Still fully working afterwards.
    QTcpSocket fresh;
    fresh.connectToHost(QHostAddress::LocalHost, server->tcpPort());
    QByteArray got;
    QVERIFY(waitFor([&] { got += fresh.readAll(); return got.size() >= 10; }));
    fresh.write(QByteArray::fromStdString(RequestAngles()));
    QVERIFY(waitFor([&] { got += fresh.readAll(); return got.size() >= 38; }));
    QVERIFY(got.endsWith(QByteArray::fromStdString(ReplyFrames::JointAngles(server->controller().model().roundedAngles()))));
    const QJsonObject state = QJsonDocument::fromJson(bodyOf(httpGet(server->videoPort(), "/state"))).object();
    QCOMPARE(state["frames"].toObject()["byCode"].toObject()["14"].toInt(), 50);
    QVERIFY(state["frames"].toObject()["rejected"].toInt() > 0);
}

QTEST_MAIN(TestArmServer)
#include "tst_armserver.moc"
