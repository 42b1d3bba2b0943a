#pragma once

#include "video/ForeignWindows.h"

// ForeignWindows over Xlib, on its own connection to the X server named by DISPLAY. Without an
// X server every search finds nothing and close requests go nowhere.
class X11ForeignWindows : public ForeignWindows
{
public:
    X11ForeignWindows();
    ~X11ForeignWindows() override;

    Handle FindTopLevel(const QString &title) override;
    QString TitleOf(Handle window) override;
    void RequestClose(Handle window) override;
    QWindow *Wrap(Handle window) override;
    bool StartDetached(const QString &program) override;

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
};
