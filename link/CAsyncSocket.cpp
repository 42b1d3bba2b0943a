#include "link/CAsyncSocket.h"

#include <QHostAddress>
#include <QSignalBlocker>
#include <QTcpSocket>
#include <QTimer>

#include <cerrno>
#include <sys/socket.h>

namespace {

int errnoFor(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return ECONNREFUSED;
    case QAbstractSocket::RemoteHostClosedError:
        return ECONNRESET;
    case QAbstractSocket::HostNotFoundError:
        return EHOSTUNREACH;
    case QAbstractSocket::SocketAccessError:
        return EACCES;
    case QAbstractSocket::SocketResourceError:
        return EMFILE;
    case QAbstractSocket::SocketTimeoutError:
        return ETIMEDOUT;
    case QAbstractSocket::NetworkError:
        return ENETUNREACH;
    case QAbstractSocket::AddressInUseError:
        return EADDRINUSE;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return EADDRNOTAVAIL;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return EOPNOTSUPP;
    default:
        return EIO;
    }
}

} // namespace

CAsyncSocket::CAsyncSocket(QObject *parent)
    : QObject(parent)
    , m_connectTimer(new QTimer(this))
{
    m_connectTimer->setSingleShot(true);
    m_connectTimer->setInterval(DefaultConnectTimeoutMs);
    connect(m_connectTimer, &QTimer::timeout, this, [this] {
        if (!m_connectPending)
            return;
        finishConnect(ETIMEDOUT);
        if (m_socket) {
            // The attempt has already been reported; aborting it must not report it again.
            const QSignalBlocker quiet(m_socket);
            m_socket->abort();
        }
    });
}

CAsyncSocket::~CAsyncSocket()
{
    Close();
}

bool CAsyncSocket::Create(unsigned socketPort, int socketType, long eventMask, const char *socketAddress)
{
    if (socketType != SOCK_STREAM || socketPort > 65535) {
        m_lastError = EINVAL;
        return false;
    }
    Close();
    m_socket = new QTcpSocket(this);
    if (socketPort != 0 || socketAddress) {
        const QHostAddress local(socketAddress ? QString::fromLocal8Bit(socketAddress) : QStringLiteral("0.0.0.0"));
        if (local.isNull() || !m_socket->bind(local, static_cast<quint16>(socketPort))) {
            m_lastError = local.isNull() ? EINVAL : errnoFor(m_socket->error());
            delete m_socket;
            m_socket = nullptr;
            return false;
        }
    }
    connect(m_socket, &QTcpSocket::connected, this, [this] { finishConnect(0); });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] { socketError(); });
    connect(m_socket, &QTcpSocket::readyRead, this, [this] { notify(FD_READ, 0); });
    connect(m_socket, &QTcpSocket::bytesWritten, this, [this] { notify(FD_WRITE, 0); });
    m_eventMask = eventMask;
    m_lastError = 0;
    m_peerClosed = false;
    m_sendShutDown = false;
    return true;
}

bool CAsyncSocket::AsyncSelect(long eventMask)
{
    if (!m_socket) {
        m_lastError = ENOTSOCK;
        return false;
    }
    m_eventMask = eventMask;
    return true;
}

bool CAsyncSocket::Connect(const QString &hostAddress, unsigned hostPort)
{
    if (!m_socket) {
        m_lastError = ENOTSOCK;
        return false;
    }
    if (m_connectPending || m_socket->state() != QAbstractSocket::UnconnectedState) {
        m_lastError = EISCONN;
        return false;
    }
    m_connectPending = true;
    if (hostPort < 1 || hostPort > 65535 || hostAddress.trimmed().isEmpty()) {
        // A port number the wire cannot carry would otherwise be cut to 16 bits and reach some
        // other service; the attempt fails the ordinary way instead.
        QTimer::singleShot(0, this, [this] { finishConnect(EINVAL); });
        return true;
    }
    m_connectTimer->start();
    m_socket->connectToHost(hostAddress.trimmed(), static_cast<quint16>(hostPort));
    return true;
}

int CAsyncSocket::Send(const void *buffer, int length, int flags)
{
    Q_UNUSED(flags);
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState) {
        m_lastError = ENOTCONN;
        return SOCKET_ERROR;
    }
    if (m_sendShutDown) {
        m_lastError = ESHUTDOWN;
        return SOCKET_ERROR;
    }
    if (length < 0 || (!buffer && length > 0)) {
        m_lastError = EINVAL;
        return SOCKET_ERROR;
    }
    const qint64 taken = m_socket->write(static_cast<const char *>(buffer), length);
    if (taken < 0) {
        m_lastError = errnoFor(m_socket->error());
        return SOCKET_ERROR;
    }
    m_socket->flush();
    return static_cast<int>(taken);
}

int CAsyncSocket::Receive(void *buffer, int length, int flags)
{
    if (length < 0 || (!buffer && length > 0)) {
        m_lastError = EINVAL;
        return SOCKET_ERROR;
    }
    if (!m_socket) {
        m_lastError = ENOTSOCK;
        return SOCKET_ERROR;
    }
    // Bytes the event loop has already taken in come first; they are older than anything still
    // waiting in the kernel.
    if (m_socket->bytesAvailable() > 0)
        return static_cast<int>(m_socket->read(static_cast<char *>(buffer), length));
    if (m_socket->state() == QAbstractSocket::ConnectedState) {
        // Whatever the kernel holds counts as arrived even if the event loop has not run since.
        const ssize_t got = ::recv(static_cast<int>(m_socket->socketDescriptor()), buffer,
                                   static_cast<size_t>(length), flags | MSG_DONTWAIT);
        if (got >= 0)
            return static_cast<int>(got);
        m_lastError = (errno == EAGAIN) ? EWOULDBLOCK : errno;
        return SOCKET_ERROR;
    }
    if (m_peerClosed)
        return 0;
    m_lastError = ENOTCONN;
    return SOCKET_ERROR;
}

bool CAsyncSocket::ShutDown(int how)
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState) {
        m_lastError = ENOTCONN;
        return false;
    }
    if (how != receives && how != sends && how != both) {
        m_lastError = EINVAL;
        return false;
    }
    if (how != receives)
        flushOutgoing();
    const int direction = how == receives ? SHUT_RD : how == sends ? SHUT_WR : SHUT_RDWR;
    if (::shutdown(static_cast<int>(m_socket->socketDescriptor()), direction) != 0) {
        m_lastError = errno;
        return false;
    }
    if (how != receives)
        m_sendShutDown = true;
    return true;
}

void CAsyncSocket::Close()
{
    m_connectTimer->stop();
    m_connectPending = false;
    if (!m_socket)
        return;
    QTcpSocket *socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    // Frames already handed to Send still leave before the connection goes.
    if (socket->state() == QAbstractSocket::ConnectedState && !m_sendShutDown && socket->bytesToWrite() > 0) {
        socket->flush();
        if (socket->bytesToWrite() > 0)
            socket->waitForBytesWritten(250);
    }
    socket->abort();
    delete socket;
}

bool CAsyncSocket::IsConnected() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState && !m_connectPending;
}

int CAsyncSocket::ConnectTimeout() const
{
    return m_connectTimer->interval();
}

void CAsyncSocket::SetConnectTimeout(int ms)
{
    m_connectTimer->setInterval(ms);
}

void CAsyncSocket::OnReceive(int) {}
void CAsyncSocket::OnSend(int) {}
void CAsyncSocket::OnOutOfBandData(int) {}
void CAsyncSocket::OnAccept(int) {}
void CAsyncSocket::OnConnect(int) {}
void CAsyncSocket::OnClose(int) {}

void CAsyncSocket::finishConnect(int errorCode)
{
    if (!m_connectPending)
        return;
    m_connectPending = false;
    m_connectTimer->stop();
    m_lastError = errorCode;
    notify(FD_CONNECT, errorCode);
}

void CAsyncSocket::socketError()
{
    if (!m_socket)
        return;
    const QAbstractSocket::SocketError error = m_socket->error();
    if (m_connectPending) {
        finishConnect(errnoFor(error));
        return;
    }
    if (error == QAbstractSocket::RemoteHostClosedError) {
        m_peerClosed = true;
        notify(FD_CLOSE, 0);
    } else {
        m_lastError = errnoFor(error);
        if (m_socket->state() == QAbstractSocket::UnconnectedState)
            notify(FD_CLOSE, m_lastError);
    }
}

void CAsyncSocket::notify(long bit, int errorCode)
{
    if (!(m_eventMask & bit))
        return;
    // Delivered from the event loop, so the receiver may destroy this socket in its handler and
    // no notification ever arrives inside Connect, Send or Receive.
    QTimer::singleShot(0, this, [this, bit, errorCode] {
        switch (bit) {
        case FD_READ:
            OnReceive(errorCode);
            break;
        case FD_WRITE:
            OnSend(errorCode);
            break;
        case FD_CONNECT:
            OnConnect(errorCode);
            break;
        case FD_CLOSE:
            OnClose(errorCode);
            break;
        default:
            break;
        }
    });
}

void CAsyncSocket::flushOutgoing()
{
    if (m_socket->bytesToWrite() == 0)
        return;
    m_socket->flush();
    if (m_socket->bytesToWrite() > 0)
        m_socket->waitForBytesWritten(250);
}
