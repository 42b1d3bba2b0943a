#include "tools/armsim/VideoServer.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

QByteArray statusText(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 431: return "Request Header Fields Too Large";
    case 503: return "Service Unavailable";
    default: break;
    }
    return "Error";
}

QByteArray response(int status, const QByteArray &type, const QByteArray &body, const QByteArray &extra)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + statusText(status) + "\r\n";
    out += "Content-Type: " + type + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    out += "Cache-Control: no-cache\r\nConnection: close\r\n" + extra + "\r\n";
    return out + body;
}

} // namespace

VideoServer::VideoServer(QObject *parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
    , m_frameTimer(new QTimer(this))
{
    m_frameTimer->setInterval(FrameIntervalMs);
    connect(m_frameTimer, &QTimer::timeout, this, &VideoServer::tick);
    connect(m_server, &QTcpServer::newConnection, this, &VideoServer::onNewConnection);
}

bool VideoServer::listen(const QHostAddress &host, quint16 port, QString *error)
{
    m_server->setListenBacklogSize(MaxClients);
    if (m_server->listen(host, port))
        return true;
    if (error)
        *error = m_server->errorString();
    return false;
}

quint16 VideoServer::port() const
{
    return m_server->serverPort();
}

int VideoServer::frameInterval() const
{
    return m_frameTimer->interval();
}

int VideoServer::streamClients() const
{
    int n = 0;
    for (const Client &c : m_clients)
        n += c.streaming ? 1 : 0;
    return n;
}

QJsonObject VideoServer::statsJson() const
{
    return QJsonObject{{"initCalls", m_initCalls},
                       {"clients", clients()},
                       {"streamClients", streamClients()},
                       {"picturesSent", m_partsSent},
                       {"picturesDropped", m_partsDropped},
                       {"refused", m_refused}};
}

void VideoServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        if (m_clients.size() >= MaxClients) {
            ++m_refused;
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->write(response(503, "text/plain", "busy\n", {}));
            socket->disconnectFromHost();
            continue;
        }
        Client &client = m_clients[socket];
        client.timeout = new QTimer(socket);
        client.timeout->setSingleShot(true);
        client.timeout->setInterval(m_requestTimeoutMs);
        connect(client.timeout, &QTimer::timeout, this, [this, socket] { onTimeout(socket); });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
        client.timeout->start();
        if (socket->bytesAvailable() > 0)
            onReadyRead(socket);
    }
}

void VideoServer::drop(QTcpSocket *socket)
{
    if (m_clients.remove(socket) == 0)
        return;
    socket->deleteLater();
    if (streamClients() == 0)
        m_frameTimer->stop();
}

void VideoServer::onTimeout(QTcpSocket *socket)
{
    auto it = m_clients.find(socket);
    if (it == m_clients.end() || it->answered)
        return;
    reply(socket, *it, 408, "text/plain", "request timeout\n");
}

void VideoServer::onReadyRead(QTcpSocket *socket)
{
    auto it = m_clients.find(socket);
    if (it == m_clients.end())
        return;
    Client &client = *it;
    if (client.answered) {
        // One request per connection; whatever else a client sends is read and forgotten.
        socket->readAll();
        return;
    }
    client.request += socket->read(MaxRequestBytes + 1 - client.request.size());
    socket->readAll();
    qsizetype end = client.request.indexOf("\r\n\r\n");
    if (end < 0)
        end = client.request.indexOf("\n\n");
    if (end < 0) {
        if (client.request.size() > MaxRequestBytes)
            reply(socket, client, 431, "text/plain", "request too large\n");
        return;
    }
    answer(socket, client, client.request.left(end));
}

void VideoServer::answer(QTcpSocket *socket, Client &client, const QByteArray &head)
{
    qsizetype lineEnd = head.indexOf('\n');
    const QByteArray line = (lineEnd < 0 ? head : head.left(lineEnd)).trimmed();
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 3 || !parts[2].startsWith("HTTP/1.") || !parts[1].startsWith('/')) {
        reply(socket, client, 400, "text/plain", "bad request\n");
        return;
    }
    if (parts[0] != "GET") {
        reply(socket, client, 405, "text/plain", "only GET\n", "Allow: GET\r\n");
        return;
    }
    QByteArray path = parts[1];
    if (const qsizetype q = path.indexOf('?'); q >= 0)
        path.truncate(q);

    if (path == "/init") {
        ++m_initCalls;
        reply(socket, client, 200, "text/plain", "ok\n");
        emit initCalled();
    } else if (path == "/state") {
        const QJsonObject state = m_state ? m_state() : statsJson();
        reply(socket, client, 200, "application/json", QJsonDocument(state).toJson(QJsonDocument::Indented));
    } else if (path == "/frame.jpg") {
        reply(socket, client, 200, "image/jpeg", encodePicture());
    } else if (path == "/" || path == "/stream") {
        startStream(socket, client);
    } else {
        reply(socket, client, 404, "text/plain", "not found\n");
    }
}

void VideoServer::reply(QTcpSocket *socket, Client &client, int status, const QByteArray &type,
                        const QByteArray &body, const QByteArray &extraHeaders)
{
    client.answered = true;
    client.timeout->stop();
    client.request.clear();
    socket->write(response(status, type, body, extraHeaders));
    socket->disconnectFromHost();
}

void VideoServer::startStream(QTcpSocket *socket, Client &client)
{
    client.answered = true;
    client.streaming = true;
    client.timeout->stop();
    client.request.clear();
    // A small kernel buffer keeps a slow reader's backlog (and its delay) short.
    socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, StreamSendBufferBytes);
    socket->write(QByteArray("HTTP/1.1 200 OK\r\nContent-Type: multipart/x-mixed-replace; boundary=") + Boundary +
                  "\r\nCache-Control: no-cache\r\nConnection: close\r\n\r\n");
    // The first picture goes out at once, so a viewer shows something before the next tick.
    const QByteArray jpeg = encodePicture();
    socket->write(QByteArray("--") + Boundary + "\r\nContent-Type: image/jpeg\r\nContent-Length: " +
                  QByteArray::number(jpeg.size()) + "\r\n\r\n" + jpeg + "\r\n");
    ++m_partsSent;
    if (!m_frameTimer->isActive())
        m_frameTimer->start();
}

QByteArray VideoServer::encodePicture() const
{
    const QImage image = m_picture ? m_picture() : QImage();
    QByteArray jpeg;
    if (image.isNull())
        return jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 80);
    return jpeg;
}

void VideoServer::sendStreamPart(const QByteArray &jpeg)
{
    const QByteArray head = QByteArray("--") + Boundary + "\r\nContent-Type: image/jpeg\r\nContent-Length: " +
                            QByteArray::number(jpeg.size()) + "\r\n\r\n";
    for (auto it = m_clients.begin(); it != m_clients.end(); ++it) {
        if (!it->streaming)
            continue;
        QTcpSocket *socket = it.key();
        if (socket->state() != QAbstractSocket::ConnectedState)
            continue;
        if (socket->bytesToWrite() > MaxQueuedStreamBytes) {
            ++m_partsDropped;
            continue;
        }
        socket->write(head + jpeg + "\r\n");
        ++m_partsSent;
    }
}

void VideoServer::tick()
{
    if (streamClients() == 0) {
        m_frameTimer->stop();
        return;
    }
    sendStreamPart(encodePicture());
}
