#include "link/CClinetSocket.h"

CClinetSocket::CClinetSocket(ClinetSocketOwner &owner, QObject *parent)
    : CAsyncSocket(parent)
    , m_owner(&owner)
{
}

CClinetSocket::CClinetSocket(std::function<void(bool ok)> onConnected, QObject *parent)
    : CAsyncSocket(parent)
    , m_onConnected(std::move(onConnected))
{
}

CClinetSocket::~CClinetSocket()
{
    if (IsConnected())
        ShutDown(sends);
}

void CClinetSocket::OnConnect(int errorCode)
{
    // The base handling comes first: the owner may destroy this socket when told of a failure,
    // so nothing may touch it after the owner has been called.
    CAsyncSocket::OnConnect(errorCode);
    const bool ok = errorCode == 0;
    if (m_owner)
        m_owner->OnSocketConnected(ok);
    else if (m_onConnected) {
        // A copy, because the callback may destroy this socket and with it m_onConnected.
        const auto callback = m_onConnected;
        callback(ok);
    }
}

void CClinetSocket::OnClose(int errorCode)
{
    CAsyncSocket::OnClose(errorCode);
    // A copy, because the callback may destroy this socket.
    if (const auto closed = m_onClosed)
        closed();
}
