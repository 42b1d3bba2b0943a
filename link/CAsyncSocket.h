#pragma once

#include <QObject>
#include <QString>

class QTcpSocket;
class QTimer;

// An event-driven TCP client socket with the classic asynchronous-socket interface, over QTcpSocket.
// Notifications (connect outcome, data, close) are virtual calls made from the event loop of the
// socket's thread, never from inside the call that caused them, so an owner may destroy the socket
// from a notification. Only the notifications selected by the event mask are delivered.
// Error codes are errno values (0 for success).
class CAsyncSocket : public QObject
{
    Q_OBJECT

public:
    // Notification mask bits.
    static constexpr long FD_READ = 0x01;
    static constexpr long FD_WRITE = 0x02;
    static constexpr long FD_OOB = 0x04;
    static constexpr long FD_ACCEPT = 0x08;
    static constexpr long FD_CONNECT = 0x10;
    static constexpr long FD_CLOSE = 0x20;
    static constexpr long FD_ALL = 0x3f;

    static constexpr int SOCK_STREAM = 1;
    static constexpr int SOCKET_ERROR = -1;
    // Directions for ShutDown.
    static constexpr int receives = 0;
    static constexpr int sends = 1;
    static constexpr int both = 2;

    // Without an answer from the host a connection attempt gives up after this long: the three tries
    // of a desktop TCP stack; the kernel alone would leave the operator waiting about two minutes.
    static constexpr int DefaultConnectTimeoutMs = 21000;

    explicit CAsyncSocket(QObject *parent = nullptr);
    ~CAsyncSocket() override;

    // Makes the socket ready to connect. Only stream sockets are supported; a non-zero local port
    // or a local address binds to it.
    bool Create(unsigned socketPort = 0, int socketType = SOCK_STREAM, long eventMask = FD_ALL,
                const char *socketAddress = nullptr);
    // Chooses the notifications delivered from now on.
    bool AsyncSelect(long eventMask = FD_ALL);
    // Starts connecting to a dotted address or a host name. True when the attempt has begun; its
    // outcome arrives later through OnConnect (a port outside 1 to 65535 fails there too).
    bool Connect(const QString &hostAddress, unsigned hostPort);
    // Queues the bytes and pushes them to the network at once. Returns the count taken, or
    // SOCKET_ERROR when not connected or after the send direction was shut down.
    int Send(const void *buffer, int length, int flags = 0);
    // Takes what has arrived, up to length bytes, without waiting. Returns the count, 0 once the
    // peer has closed and everything was read, or SOCKET_ERROR (nothing has arrived yet, or an error).
    int Receive(void *buffer, int length, int flags = 0);
    // Shuts down one or both directions; buffered outgoing bytes are sent first.
    bool ShutDown(int how = sends);
    // Closes the connection; Create may be called again afterwards.
    void Close();

    int GetLastError() const { return m_lastError; }
    bool IsConnected() const;

    int ConnectTimeout() const;
    void SetConnectTimeout(int ms);

protected:
    virtual void OnReceive(int errorCode);
    virtual void OnSend(int errorCode);
    virtual void OnOutOfBandData(int errorCode);
    virtual void OnAccept(int errorCode);
    virtual void OnConnect(int errorCode);
    virtual void OnClose(int errorCode);

private:
    void finishConnect(int errorCode);
    void socketError();
    void notify(long bit, int errorCode);
    void flushOutgoing();

    QTcpSocket *m_socket = nullptr;
    QTimer *m_connectTimer = nullptr;
    long m_eventMask = 0;
    int m_lastError = 0;
    bool m_connectPending = false;
    bool m_peerClosed = false;
    bool m_sendShutDown = false;
};
