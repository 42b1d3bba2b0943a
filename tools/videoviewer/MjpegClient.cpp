#include "tools/videoviewer/MjpegClient.h"

#include <QTcpSocket>

MjpegClient::MjpegClient(const QUrl &url, QObject *parent) : QObject(parent), m_url(url)
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(RetryMs);
    connect(&m_retry, &QTimer::timeout, this, &MjpegClient::Connect);
    m_stall.setSingleShot(true);
    m_stall.setInterval(StallMs);
    connect(&m_stall, &QTimer::timeout, this, [this] { GiveUp(QStringLiteral("no data")); });
}

MjpegClient::~MjpegClient()
{
    if (m_socket)
        m_socket->abort();
}

void MjpegClient::Start()
{
    Connect();
}

void MjpegClient::Connect()
{
    if (m_socket) {
        QTcpSocket *old = m_socket;
        m_socket = nullptr;
        old->disconnect(this);
        old->abort();
        old->deleteLater();
    }
    const QString host = m_url.host();
    if (m_url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) != 0 || host.isEmpty()) {
        GiveUp(QStringLiteral("not an http address"));
        return;
    }
    m_parser = std::make_unique<MjpegStreamParser>([this](std::string_view body) {
        m_latest.assign(body);
        m_haveLatest = true;
    });
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::connected, this, &MjpegClient::OnConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &MjpegClient::OnReadyRead);
    connect(m_socket, &QTcpSocket::errorOccurred, this,
            [this, socket = m_socket] {
                if (socket == m_socket)
                    GiveUp(socket->errorString());
            });
    m_stall.start();
    m_socket->connectToHost(host, quint16(m_url.port(80)));
}

void MjpegClient::OnConnected()
{
    QString target = m_url.path(QUrl::FullyEncoded);
    if (target.isEmpty())
        target = QStringLiteral("/");
    if (m_url.hasQuery())
        target += QLatin1Char('?') + m_url.query(QUrl::FullyEncoded);
    QString hostHeader = m_url.host();
    if (m_url.port() != -1)
        hostHeader += QLatin1Char(':') + QString::number(m_url.port());
    // HTTP/1.0 keeps the server from sending a chunked body.
    const QString request = QStringLiteral("GET %1 HTTP/1.0\r\nHost: %2\r\nAccept: multipart/x-mixed-replace, "
                                           "image/jpeg\r\nConnection: close\r\n\r\n")
                                .arg(target, hostHeader);
    m_socket->write(request.toLatin1());
    m_stall.start();
}

void MjpegClient::OnReadyRead()
{
    m_stall.start();
    const QByteArray bytes = m_socket->readAll();
    m_haveLatest = false;
    if (!m_parser->Feed(std::string_view(bytes.constData(), size_t(bytes.size())))) {
        GiveUp(QString::fromStdString(m_parser->Error()));
        return;
    }
    if (!m_haveLatest)
        return;
    m_haveLatest = false;
    QImage picture;
    if (picture.loadFromData(reinterpret_cast<const uchar *>(m_latest.data()), qsizetype(m_latest.size()), "JPEG"))
        emit FrameDecoded(picture);
}

void MjpegClient::GiveUp(const QString &reason)
{
    m_stall.stop();
    if (m_socket) {
        QTcpSocket *socket = m_socket;
        m_socket = nullptr;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    emit SignalLost(reason);
    m_retry.start();
}
