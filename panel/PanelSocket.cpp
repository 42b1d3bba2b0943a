#include "panel/PanelSocket.h"

PanelSocket::PanelSocket(ClinetSocketOwner &owner, std::function<void()> onClosed, QObject *parent)
    : CClinetSocket(owner, parent)
    , m_onClosed(std::move(onClosed))
{
}

void PanelSocket::OnClose(int errorCode)
{
    CClinetSocket::OnClose(errorCode);
    // A copy: the callback may destroy this socket.
    if (const auto closed = m_onClosed)
        closed();
}
