#include "tools/videoviewer/MjpegClient.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

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
                    const QByteArray before = socket->property("request").toByteArray();
                    socket->setProperty("request", before + socket->readAll());
                    if (!before.contains("\r\n\r\n") && socket->property("request").toByteArray().contains("\r\n\r\n")) {
                        lastRequest = socket->property("request").toByteArray();
                        script(socket);
                    }
                });
        });
        listen(QHostAddress::LocalHost);
    }
    QUrl Url(const QString &path = {}) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path));
    }
    QByteArray lastRequest;
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
    ScriptedServer server([](QTcpSocket *socket) {
        socket->write(Head + part(Qt::red) + part(Qt::green) + part(Qt::blue, QSize(80, 60)));
    });
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
    QTest::newRow("head and half a picture, then silence") << "stall" << "no data";
}

void TestMjpegClient::failuresAreRetriedEverySecond()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    ScriptedServer server([kind](QTcpSocket *socket) {
        socket->write(kind == "404" ? "HTTP/1.0 404 Not Found\r\n\r\n" : (Head + part(Qt::red)).left(kind == "stall" ? 200 : -1));
        if (kind != "stall")
            socket->disconnectFromHost();
    });
    QUrl url = server.Url();
    if (kind == "refused")
        server.close();
    else if (kind == "scheme")
        url = QUrl(QStringLiteral("rtsp://127.0.0.1:554"));
    MjpegClient client(url);
    QSignalSpy lost(&client, &MjpegClient::SignalLost);
    client.Start();
    QTRY_VERIFY_WITH_TIMEOUT(lost.count() >= 1, MjpegClient::StallMs * 3);
    QVERIFY2(lost.at(0).at(0).toString().contains(reason, Qt::CaseInsensitive), qPrintable(lost.at(0).at(0).toString()));
    QVERIFY(client.RetryTimer().isActive() && client.RetryTimer().isSingleShot());
    QCOMPARE(client.RetryTimer().interval(), 1000);
    QVERIFY(!client.StallTimer().isActive());
}

QTEST_GUILESS_MAIN(TestMjpegClient)
#include "tst_mjpegclient.moc"
