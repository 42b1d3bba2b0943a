#pragma once

#include "link/SerialOwner.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <mutex>

class QSocketNotifier;

// Carries a port's messages from its watcher thread to the thread this object lives on and hands
// them to a target there, one at a time, blocking the watcher until the target has returned.
// Per-byte delivery must keep up with a fast line, so a hand-off costs no allocation and no
// event: the watcher publishes the message and, only when the owner's thread is not already
// looking, wakes that thread's event loop through an eventfd. The owner's thread then serves
// messages back to back while they keep coming, for a short bounded while, before it returns to
// its event loop.
// Destroy the ports that use this object before the object itself.
class QtSerialOwner : public QObject, public SerialOwner
{
    Q_OBJECT

public:
    explicit QtSerialOwner(SerialOwner &target, QObject *parent = nullptr);
    ~QtSerialOwner() override;

    // Any thread. On this object's thread the target is called directly.
    void OnSerialMessage(unsigned message, std::uintptr_t wparam, std::uintptr_t lparam) override;
    int HandOffFd() const override;
    void ServeHandOff() override;

private:
    enum Phase : uint32_t { Idle = 0, Posted = 1, Serving = 2, Done = 3 };
    static constexpr uint32_t PhaseMask = 3;

    void wake();
    void drainWake();
    bool serveOne();

    SerialOwner &m_target;
    int m_wakeFd = -1;
    QSocketNotifier *m_notifier = nullptr;
    // Several ports may share one owner; their watchers take turns.
    std::mutex m_senderTurn;
    // Ticket in the high bits, phase in the low two. The ticket lets a delivery that was released
    // early (see ServeHandOff) never be confused with the one after it.
    std::atomic<uint32_t> m_state{Idle};
    uint32_t m_ticket = 0;
    unsigned m_message = 0;
    std::uintptr_t m_wparam = 0;
    std::uintptr_t m_lparam = 0;
    std::atomic<bool> m_ownerLooking{false};
    int m_serveDepth = 0;
};
