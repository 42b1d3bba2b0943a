#pragma once

#include "link/CClinetSocket.h"

#include <functional>

// The panel's connection to the arm's controller: the controller socket, which also reports the
// controller closing the connection, so the panel never shows a dead link as connected.
class PanelSocket : public CClinetSocket
{
    Q_OBJECT

public:
    PanelSocket(ClinetSocketOwner &owner, std::function<void()> onClosed, QObject *parent = nullptr);

protected:
    void OnClose(int errorCode) override;

private:
    std::function<void()> m_onClosed;
};
