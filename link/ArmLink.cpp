#include "link/ArmLink.h"

#include "link/CClinetSocket.h"
#include "link/CSerialPort.h"
#include "link/QtSerialOwner.h"
#include "link/SerialMessages.h"

#include <algorithm>

ArmLink::ArmLink(QObject *parent)
    : QObject(parent)
    , m_serialOwner(std::make_unique<QtSerialOwner>(static_cast<SerialOwner &>(*this)))
    , m_serialPort(std::make_unique<CSerialPort>())
    , m_serialAssembler([this](const std::string &frame) { emit frameReceived(frame, Method::Serial); })
    , m_networkAssembler([this](const std::string &frame) { emit frameReceived(frame, Method::Network); })
{
}

ArmLink::~ArmLink()
{
    // The watcher may still be handing over a byte; nothing is passed on any more.
    m_closing = true;
    m_serialPort.reset();
    dropSocket();
}

bool ArmLink::OpenSerial(int comNumber, int baud)
{
    Close();
    ++m_generation;
    m_method = Method::Serial;
    m_failureText.clear();
    const bool opened = comNumber > 0 && baud > 0
        && m_serialPort->OpenPort(m_serialOwner.get(), static_cast<unsigned>(comNumber), static_cast<unsigned>(baud),
                                  SerialParity, SerialDataBits, SerialStopBits, SerialEventMask,
                                  SerialWriteCapacity);
    if (!opened || !m_serialPort->StartWatcher()) {
        // An open port without its watcher would never be served: close it again.
        if (opened)
            m_serialPort->RequestClose();
        m_failureText = comNumber > 0 && baud > 0 ? QString::fromStdString(m_serialPort->OpenFailureText())
                                                  : QStringLiteral("COM%1 at %2 baud cannot be opened.").arg(comNumber).arg(baud);
        return false;
    }
    m_connected = true;
    emit connected();
    return true;
}

bool ArmLink::ConnectNetwork(const QString &host, int port)
{
    Close();
    ++m_generation;
    m_method = Method::Network;
    m_failureText.clear();
    // Replies of an earlier connection never join this one's.
    m_networkAssembler.Reset();
    auto *socket = new CClinetSocket(std::function<void(bool)>(), this);
    m_socket = socket;
    socket->setConnectHandler([this, socket](bool ok) { socketConnected(socket, ok); });
    socket->setCloseHandler([this, socket] { socketClosed(socket); });
    if (!socket->Create(0, CClinetSocket::SOCK_STREAM, CClinetSocket::FD_ALL)) {
        dropSocket();
        return false;
    }
    // Besides the connect outcome only the close is asked for: replies are read on demand.
    socket->AsyncSelect(CClinetSocket::FD_CONNECT | CClinetSocket::FD_CLOSE);
    socket->Connect(host, static_cast<unsigned>(std::max(0, port)));
    return true;
}

void ArmLink::Close()
{
    if (m_method == Method::Serial)
        m_serialPort->RequestClose();
    dropSocket();
    m_connected = false;
    m_method = Method::None;
}

void ArmLink::dropSocket()
{
    if (!m_socket)
        return;
    // It may be reporting right now (this can run from its own notification): it goes once that has
    // returned, and nothing it still reports reaches us. Its sending side is shut down first.
    CClinetSocket *socket = m_socket;
    m_socket = nullptr;
    socket->setConnectHandler({});
    socket->setCloseHandler({});
    if (socket->IsConnected())
        socket->ShutDown(CClinetSocket::sends);
    socket->deleteLater();
}

bool ArmLink::Send(const std::string &frame)
{
    if (!m_connected)
        return false;
    if (m_method == Method::Serial)
        return m_serialPort->SendText(frame.c_str());
    return m_socket && m_socket->Send(frame.data(), static_cast<int>(frame.size()), 0) >= 0;
}

int ArmLink::ReadNetworkReplies()
{
    if (m_method != Method::Network || !m_socket)
        return -1;
    char buffer[ReceiveBufferSize];
    const int received = m_socket->Receive(buffer, sizeof buffer, 0);
    if (received < 0)
        return -1;
    // A read that starts a new frame means the piece an earlier read left behind will never be
    // completed: it is dropped rather than glued to this reply.
    if (received > 0 && buffer[0] == '$')
        m_networkAssembler.Reset();
    for (int i = 0; i < received; ++i)
        m_networkAssembler.Feed(buffer[i]);
    return received;
}

void ArmLink::socketConnected(CClinetSocket *socket, bool ok)
{
    if (socket != m_socket)
        return;
    if (ok) {
        m_connected = true;
        emit connected();
        return;
    }
    dropSocket();
    m_method = Method::None;
    emit disconnected(Reason::Failed);
}

void ArmLink::socketClosed(CClinetSocket *socket)
{
    if (socket != m_socket)
        return;
    dropSocket();
    const bool wasConnected = m_connected;
    m_connected = false;
    m_method = Method::None;
    emit disconnected(wasConnected ? Reason::ClosedByPeer : Reason::Failed);
}

void ArmLink::OnSerialMessage(unsigned message, std::uintptr_t wparam, std::uintptr_t)
{
    if (m_closing || m_method != Method::Serial)
        return;
    if (message == SerialMessages::WM_SERIAL_BYTE) {
        OnSerialByte(wparam, 0);
    } else if (message == SerialMessages::WM_SERIAL_LOST && m_connected) {
        // The device is gone (adapter unplugged, peer closed): the link is down, as after Close.
        m_serialPort->RequestClose();
        m_connected = false;
        m_method = Method::None;
        emit disconnected(Reason::HungUp);
    }
}

long ArmLink::OnSerialByte(std::uintptr_t wparam, std::uintptr_t)
{
    m_serialAssembler.Feed(static_cast<char>(wparam & 0xff));
    return 1;
}
