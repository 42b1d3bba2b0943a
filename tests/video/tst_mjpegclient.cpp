#include "tools/videoviewer/MjpegClient.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {

QByteArray part(const QColor &colour, QSize size = QSize(64, 48))
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    picture.save(&buffer, "JPEG", 95);
    return "--b\r\nContent-Type: image/jpeg\r\nContent-Length: " + QByteArray::number(jpeg.size()) + "\r\n\r\n" + jpeg
           + "\r\n";
}

const QByteArray Head = "HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace; boundary=b\r\n\r\n";

// Answers each request, once its head is in, with whatever the test scripts.
class ScriptedServer : public QTcpServer
{
public:
    explicit ScriptedServer(const std::function<void(QTcpSocket *)> &script)
    {
        connect(this, &QTcpServer::newConnection, this, [this, script] {
            while (QTcpSocket *socket = nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket, script] {
                    socket->setProperty("request", socket->property("request").toByteArray() + socket->readAll());
                    lastRequest = socket->property("request").toByteArray();
                    if (lastRequest.endsWith("\r\n\r\n")) // the whole head of a GET
                        script(socket);
                });
        });
        listen(QHostAddress::LocalHost);
    }
    QByteArray lastRequest;
};

} // namespace

class TestMjpegClient : public QObject
{
    Q_OBJECT

private slots:
    void decodesOnlyTheNewestPictureOfARead()
    {
        ScriptedServer server([](QTcpSocket *socket) {
            socket->write(Head + part(Qt::red) + part(Qt::green) + part(Qt::blue, QSize(80, 60)));
        });
        MjpegClient client(QUrl(QStringLiteral("http://127.0.0.1:%1/stream?q=1").arg(server.serverPort())));
        QSignalSpy frames(&client, &MjpegClient::FrameDecoded);
        QSignalSpy lost(&client, &MjpegClient::SignalLost);
        client.Start();
        QTRY_COMPARE(frames.count(), 1);
        QVERIFY2(server.lastRequest.startsWith("GET /stream?q=1 HTTP/1.0\r\nHost: 127.0.0.1:"), server.lastRequest);
        const QImage picture = frames.at(0).at(0).value<QImage>();
        QCOMPARE(picture.size(), QSize(80, 60));
        const QColor centre = picture.pixelColor(40, 30);
        QVERIFY2(centre.blue() > 200 && centre.red() < 40 && centre.green() < 40, qPrintable(centre.name()));
        QVERIFY(lost.isEmpty() && client.StallTimer().isActive());
    }

    // Every failure is reported with its reason and retried once a second.
    void failuresAreRetriedEverySecond()
    {
        for (const auto &[kind, reason] : std::initializer_list<std::pair<QString, QString>>{
                 {"refused", "refused"}, {"404", "404"}, {"hangup", "closed"}, {"scheme", "not an http address"},
                 {"stall", "no data"}}) { // stall: the head and half a picture, then silence
            ScriptedServer server([kind](QTcpSocket *socket) {
                const QByteArray reply = (Head + part(Qt::red)).left(kind == "stall" ? 200 : -1);
                socket->write(kind == "404" ? "HTTP/1.0 404 Not Found\r\n\r\n" : reply);
                if (kind != "stall")
                    socket->disconnectFromHost();
            });
            QUrl url(QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort()));
            if (kind == "refused")
                server.close();
            else if (kind == "scheme")
                url = QUrl(QStringLiteral("rtsp://127.0.0.1:554"));
            MjpegClient client(url);
            QSignalSpy lost(&client, &MjpegClient::SignalLost);
            client.Start();
            QTRY_VERIFY_WITH_TIMEOUT(lost.count() >= 1, MjpegClient::StallMs * 3);
            const QString shown = lost.at(0).at(0).toString();
            QVERIFY2(shown.contains(reason, Qt::CaseInsensitive), qPrintable(kind + ": " + shown));
            QVERIFY(client.RetryTimer().isActive() && client.RetryTimer().isSingleShot());
            QCOMPARE(client.RetryTimer().interval(), 1000);
            QVERIFY(!client.StallTimer().isActive());
        }
    }
};

QTEST_GUILESS_MAIN(TestMjpegClient)
#include "tst_mjpegclient.moc"
