#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QImage>
#include <QJsonObject>
#include <QObject>

#include <functional>

class QTcpServer;
class QTcpSocket;
class QTimer;

// The camera side of the stand-in, at the video port: plain HTTP/1.1 with the start-up address
// /init, the state page /state, a single picture /frame.jpg and the MJPEG stream at / and /stream.
// One request per connection. Stream readers that fall behind miss pictures rather than queue them.
class VideoServer : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxClients = 256;
    static constexpr int MaxRequestBytes = 8192;
    static constexpr int DefaultRequestTimeoutMs = 5000;
    static constexpr int FrameIntervalMs = 100;
    // A stream reader with more than this still unsent gets the next picture dropped.
    static constexpr qint64 MaxQueuedStreamBytes = 256 * 1024;
    static constexpr int StreamSendBufferBytes = 64 * 1024;
    static constexpr const char *Boundary = "frame";

    using StateProvider = std::function<QJsonObject()>;
    using PictureProvider = std::function<QImage()>;

    explicit VideoServer(QObject *parent = nullptr);

    bool listen(const QHostAddress &host, quint16 port, QString *error);
    quint16 port() const;
    void setStateProvider(StateProvider provider) { m_state = std::move(provider); }
    void setPictureProvider(PictureProvider provider) { m_picture = std::move(provider); }
    void setRequestTimeout(int ms) { m_requestTimeoutMs = ms; }
    int requestTimeout() const { return m_requestTimeoutMs; }
    int frameInterval() const;

    int initCalls() const { return m_initCalls; }
    int streamClients() const;
    int clients() const { return static_cast<int>(m_clients.size()); }
    QJsonObject statsJson() const;

    // Hands one encoded picture to every stream reader that can take it.
    void sendStreamPart(const QByteArray &jpeg);
    QByteArray encodePicture() const;

signals:
    void initCalled();

private:
    struct Client
    {
        QByteArray request;
        QTimer *timeout = nullptr;
        bool answered = false;
        bool streaming = false;
    };

    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void onTimeout(QTcpSocket *socket);
    void drop(QTcpSocket *socket);
    void answer(QTcpSocket *socket, Client &client, const QByteArray &head);
    void reply(QTcpSocket *socket, Client &client, int status, const QByteArray &type, const QByteArray &body,
               const QByteArray &extraHeaders = {});
    void startStream(QTcpSocket *socket, Client &client);
    void tick();

    QTcpServer *m_server = nullptr;
    QTimer *m_frameTimer = nullptr;
    QHash<QTcpSocket *, Client> m_clients;
    StateProvider m_state;
    PictureProvider m_picture;
    int m_requestTimeoutMs = DefaultRequestTimeoutMs;
    int m_initCalls = 0;
    qint64 m_partsSent = 0;
    qint64 m_partsDropped = 0;
    int m_refused = 0;
};
