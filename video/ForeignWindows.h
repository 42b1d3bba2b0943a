#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

class QWindow;

// What the video pane needs from the window system to host another program's window: find a
// top-level window by its exact title, ask a window to close, wrap a foreign window so a widget
// can hold it, and start a program. The platform's implementation lives in one file beside this
// one; tests substitute their own.
class ForeignWindows
{
public:
    using Handle = quintptr; // 0 means no window

    virtual ~ForeignWindows() = default;

    // A top-level window whose whole title is exactly `title`, or 0.
    virtual Handle FindTopLevel(const QString &title) = 0;
    // The title of `window`, empty when the window no longer exists.
    virtual QString TitleOf(Handle window) = 0;
    // Sends the window the platform's close request and waits until the server has it.
    virtual void RequestClose(Handle window) = 0;
    // A QWindow standing for the foreign window (the caller owns it), or nullptr.
    virtual QWindow *Wrap(Handle window) = 0;
    // Starts `program` (a path relative to the current directory) detached, without arguments,
    // in the current directory. False when it could not be started.
    virtual bool StartDetached(const QString &program) = 0;
};

// The window system this program runs on.
std::unique_ptr<ForeignWindows> CreatePlatformForeignWindows();
