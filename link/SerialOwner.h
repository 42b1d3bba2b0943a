#pragma once

#include <cstdint>

// What a serial port talks to: the port calls OnSerialMessage from its watcher thread and waits
// until it returns. An owner that must run on another thread (QtSerialOwner) carries the call
// across and blocks the watcher until its own thread has handled it.
class SerialOwner
{
public:
    virtual ~SerialOwner() = default;

    // message: one of SerialMessages; wparam: the byte for WM_SERIAL_BYTE, else 0; lparam: the COM number.
    virtual void OnSerialMessage(unsigned message, std::uintptr_t wparam, std::uintptr_t lparam) = 0;

    // For owners that hand messages to another thread. A port that waits for its watcher to end
    // calls these on the waiting thread: a descriptor that is readable while a hand-off waits for
    // that thread (-1 when the calling thread cannot serve one), and the call that serves it. The
    // waiting thread keeps serving, so a delivery in progress always completes and the wait never
    // deadlocks.
    virtual int HandOffFd() const { return -1; }
    virtual void ServeHandOff() {}
};
