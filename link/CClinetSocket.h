#pragma once

#include "link/CAsyncSocket.h"

#include <functional>

// Whoever owns a CClinetSocket (the control panel) learns through this when its connection
// attempt has ended.
class ClinetSocketOwner
{
public:
    virtual ~ClinetSocketOwner() = default;
    virtual void OnSocketConnected(bool ok) = 0;
};

// The TCP connection to the arm's controller. It tells its owner when a connection attempt ends,
// on the owner's (user-interface) thread and from the event loop, so the owner may destroy the
// socket right there. Frames go out with Send; replies are read on demand with Receive.
class CClinetSocket : public CAsyncSocket
{
    Q_OBJECT

public:
    explicit CClinetSocket(ClinetSocketOwner &owner, QObject *parent = nullptr);
    // For an owner that prefers a callback: called with true when the connection was made.
    explicit CClinetSocket(std::function<void(bool ok)> onConnected, QObject *parent = nullptr);
    // Shuts the sending side down (buffered frames leave first) before the connection is closed.
    ~CClinetSocket() override;

    // Replaces the callback that receives the connect outcome; called with true when connected.
    void setConnectHandler(std::function<void(bool ok)> onConnected) { m_onConnected = std::move(onConnected); }
    // Called when the peer has closed the connection.
    void setCloseHandler(std::function<void()> onClosed) { m_onClosed = std::move(onClosed); }

protected:
    void OnConnect(int errorCode) override;
    void OnClose(int errorCode) override;

private:
    ClinetSocketOwner *m_owner = nullptr;
    std::function<void(bool ok)> m_onConnected;
    std::function<void()> m_onClosed;
};
