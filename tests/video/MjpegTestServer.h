#pragma once

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <list>

// A camera on the loopback interface: answers any GET with a motion-JPEG stream of solid-colour
// pictures, 20 a second. Every other part leaves out Content-Length, as some cameras do.
class MjpegTestServer
{
public:
    MjpegTestServer()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] { Accept(); });
        m_timer.setInterval(50);
        QObject::connect(&m_timer, &QTimer::timeout, &m_server, [this] { SendFrame(); });
        SetColour(Qt::red);
    }

    bool Listen(quint16 port = 0)
    {
        m_timer.start();
        return m_server.listen(QHostAddress::LocalHost, port);
    }

    // Stops listening and drops every viewer, as a camera that goes away.
    void Stop()
    {
        m_server.close();
        m_timer.stop();
        for (auto &client : m_clients)
            if (client.socket)
                client.socket->abort();
        m_clients.clear();
    }

    quint16 Port() const { return m_server.serverPort(); }
    QString Address() const { return QStringLiteral("http://127.0.0.1:%1").arg(Port()); }
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
    struct Client
    {
        QPointer<QTcpSocket> socket;
        QByteArray request;
        bool streaming = false;
    };

    void Accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            ++m_connections;
            m_clients.push_back(Client{socket, {}, false});
            Client *client = &m_clients.back();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, client] {
                client->request += socket->readAll();
                if (!client->streaming && client->request.contains("\r\n\r\n")) {
                    client->streaming = true;
                    socket->write("HTTP/1.0 200 OK\r\nCache-Control: no-cache\r\n"
                                  "Content-Type: multipart/x-mixed-replace; boundary=frame\r\n\r\n");
                }
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void SendFrame()
    {
        ++m_frames;
        for (auto &client : m_clients) {
            if (!client.socket || !client.streaming)
                continue;
            QByteArray part = "--frame\r\nContent-Type: image/jpeg\r\n";
            if (m_frames % 2 == 0)
                part += "Content-Length: " + QByteArray::number(m_jpeg.size()) + "\r\n";
            client.socket->write(part + "\r\n" + m_jpeg + "\r\n");
        }
    }

    QTcpServer m_server;
    QTimer m_timer;
    QByteArray m_jpeg;
    std::list<Client> m_clients;
    int m_connections = 0;
    int m_frames = 0;
};
