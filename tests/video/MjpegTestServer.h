#pragma once

#include <QBuffer>
#include <QImage>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

// A loopback camera: answers any GET with a motion-JPEG stream of one solid colour, 20 pictures a
// second. Every other part leaves out Content-Length, as some cameras do.
class MjpegTestServer
{
public:
    MjpegTestServer()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] { Accept(); });
        QObject::connect(&m_timer, &QTimer::timeout, &m_server, [this] { SendFrame(); });
        m_timer.setInterval(50);
        SetColour(Qt::red);
    }
    bool Listen(quint16 port = 0)
    {
        m_timer.start();
        return m_server.listen(QHostAddress::LocalHost, port);
    }
    // The camera goes away: no more listening, every viewer dropped.
    void Stop()
    {
        m_server.close();
        m_timer.stop();
        for (QTcpSocket *socket : m_server.findChildren<QTcpSocket *>())
            socket->abort();
    }
    QString Address() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    int Connections() const { return m_connections; }
    void SetColour(const QColor &colour)
    {
        QImage picture(320, 240, QImage::Format_RGB32);
        picture.fill(colour);
        m_jpeg.clear();
        QBuffer buffer(&m_jpeg);
        picture.save(&buffer, "JPEG", 90);
    }

private:
    void Accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            ++m_connections;
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                const QByteArray request = socket->property("request").toByteArray() + socket->readAll();
                socket->setProperty("request", request);
                if (request.contains("\r\n\r\n") && !socket->property("streaming").toBool()) {
                    socket->setProperty("streaming", true);
                    socket->write("HTTP/1.0 200 OK\r\nCache-Control: no-cache\r\n"
                                  "Content-Type: multipart/x-mixed-replace; boundary=frame\r\n\r\n");
                }
            });
        }
    }
    void SendFrame()
    {
        QByteArray part = "--frame\r\nContent-Type: image/jpeg\r\n";
        if (++m_frames % 2 == 0)
            part += "Content-Length: " + QByteArray::number(m_jpeg.size()) + "\r\n";
        for (QTcpSocket *socket : m_server.findChildren<QTcpSocket *>())
            if (socket->property("streaming").toBool() && socket->state() == QAbstractSocket::ConnectedState)
                socket->write(part + "\r\n" + m_jpeg + "\r\n");
    }

    QTcpServer m_server;
    QTimer m_timer;
    QByteArray m_jpeg;
    int m_connections = 0;
    int m_frames = 0;
};
