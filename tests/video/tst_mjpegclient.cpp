#include "tools/videoviewer/MjpegClient.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <functional>

namespace {

QByteArray jpeg(const QColor &colour, QSize size = QSize(64, 48))
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "JPEG", 95);
    return bytes;
}

QByteArray part(const QByteArray &body)
{
    return "--b\r\nContent-Type: image/jpeg\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body
           + "\r\n";
}

const QByteArray Head = "HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace; boundary=b\r\n\r\n";

// Answers each request with whatever the test scripts, once the request head is in.
class ScriptedServer
{
public:
    using Script = std::function<void(QTcpSocket *socket, const QByteArray &request)>;
    explicit ScriptedServer(Script script) : m_script(std::move(script))
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                ++connections;
                auto *request = new QByteArray;
                QObject::connect(socket, &QObject::destroyed, socket, [request] { delete request; });
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
                    const bool complete = request->contains("\r\n\r\n");
                    *request += socket->readAll();
                    if (!complete && request->contains("\r\n\r\n")) {
                        lastRequest = *request;
                        m_script(socket, *request);
                    }
                });
            }
        });
    }
    bool Listen(quint16 port = 0) { return m_server.listen(QHostAddress::LocalHost, port); }
    QUrl Url(const QString &path = QString()) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }
    int connections = 0;
    QByteArray lastRequest;

private:
    QTcpServer m_server;
    Script m_script;
};

} // namespace

class TestMjpegClient : public QObject
{
    Q_OBJECT

private slots:
    void decodesOnlyTheNewestPictureOfARead();
    void failuresAreRetriedEverySecond_data();
    void failuresAreRetriedEverySecond();
};

void TestMjpegClient::decodesOnlyTheNewestPictureOfARead()
{
    ScriptedServer server([](QTcpSocket *socket, const QByteArray &) {
        // A burst of pictures arriving together: only the last is worth decoding.
        socket->write(Head + part(jpeg(Qt::red)) + part(jpeg(Qt::green)) + part(jpeg(Qt::blue, QSize(80, 60))));
    });
    QVERIFY(server.Listen());
    MjpegClient client(server.Url(QStringLiteral("/stream?q=1")));
    QSignalSpy frames(&client, &MjpegClient::FrameDecoded);
    QSignalSpy lost(&client, &MjpegClient::SignalLost);
    client.Start();
    QTRY_COMPARE(frames.count(), 1);
    QVERIFY2(server.lastRequest.startsWith("GET /stream?q=1 HTTP/1.0\r\nHost: 127.0.0.1:"), server.lastRequest.constData());
    const QImage picture = frames.at(0).at(0).value<QImage>();
    QCOMPARE(picture.size(), QSize(80, 60));
    const QColor centre = picture.pixelColor(40, 30);
    QVERIFY2(centre.blue() > 200 && centre.red() < 40 && centre.green() < 40, qPrintable(centre.name()));
    QCOMPARE(lost.count(), 0);
    QVERIFY(client.StallTimer().isActive());
}

void TestMjpegClient::failuresAreRetriedEverySecond_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // part of it
    QTest::newRow("nobody listening") << "refused" << "refused";
    QTest::newRow("not found") << "404" << "404";
    QTest::newRow("server hangs up") << "hangup" << "closed";
    QTest::newRow("not an http address") << "scheme" << "not an http address";
    // The camera sends its head and half a picture, then nothing more.
    QTest::newRow("stalled stream") << "stall" << "no data";
}

void TestMjpegClient::failuresAreRetriedEverySecond()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    ScriptedServer server([kind](QTcpSocket *socket, const QByteArray &) {
        if (kind == "404")
            socket->write("HTTP/1.0 404 Not Found\r\n\r\n");
        else
            socket->write(kind == "stall" ? (Head + part(jpeg(Qt::red))).left(200) : Head + part(jpeg(Qt::red)));
        if (kind != "stall")
            socket->disconnectFromHost();
    });
    QUrl url;
    if (kind == "refused") {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        url = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort()));
    } else if (kind == "scheme") {
        url = QUrl(QStringLiteral("rtsp://127.0.0.1:554"));
    } else {
        QVERIFY(server.Listen());
        url = server.Url();
    }
    MjpegClient client(url);
    QSignalSpy lost(&client, &MjpegClient::SignalLost);
    client.Start();
    QTRY_VERIFY_WITH_TIMEOUT(lost.count() >= 1, MjpegClient::StallMs * 3);
    QVERIFY2(lost.at(0).at(0).toString().contains(reason, Qt::CaseInsensitive), qPrintable(lost.at(0).at(0).toString()));
    QVERIFY(client.RetryTimer().isActive());
    QCOMPARE(client.RetryTimer().interval(), 1000);
    QVERIFY(client.RetryTimer().isSingleShot());
    QVERIFY(!client.StallTimer().isActive());
}

QTEST_GUILESS_MAIN(TestMjpegClient)
#include "tst_mjpegclient.moc"
