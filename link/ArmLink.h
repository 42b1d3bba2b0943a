#pragma once

#include "link/FrameAssembler.h"
#include "link/SerialOwner.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>

class CClinetSocket;
class CSerialPort;
class QtSerialOwner;

// The one connection to the arm's controller, over a serial port or TCP. At most one link is live:
// opening or connecting ends every earlier link and pending attempt first, and whatever a replaced
// socket reports afterwards is ignored. Frames go out with Send; frames come in through
// frameReceived (serial: as the bytes arrive; network: when ReadNetworkReplies is called, because
// the controller's replies over TCP are read on demand).
class ArmLink : public QObject, private SerialOwner
{
    Q_OBJECT

public:
    enum class Method { None, Network, Serial };
    enum class Reason { ClosedByPeer, HungUp, Failed };

    // The line the controller's serial interface is built for.
    static constexpr char SerialParity = 'N';
    static constexpr unsigned SerialDataBits = 8;
    static constexpr unsigned SerialStopBits = 1;
    static constexpr uint32_t SerialEventMask = 3;
    static constexpr unsigned SerialWriteCapacity = 1024;
    static constexpr int ReceiveBufferSize = 1024;

    explicit ArmLink(QObject *parent = nullptr);
    ~ArmLink() override;

    // Opens and watches the COM port. True once it is live (connected() has been emitted); false
    // with failureText() saying why.
    bool OpenSerial(int comNumber, int baud);
    // Starts connecting; the outcome arrives as connected() or disconnected(Failed). False when
    // no socket could be made.
    bool ConnectNetwork(const QString &host, int port);
    // Ends the link or the pending attempt, if any. Emits nothing.
    void Close();

    // Dropped (false) unless a link is live.
    bool Send(const std::string &frame);
    // Takes what has arrived on the socket, once and without waiting, and hands on every complete
    // frame. Returns the byte count, or -1 when there is no socket, nothing has arrived yet or the
    // read failed.
    int ReadNetworkReplies();
    // One received serial byte (the low eight bits of wparam); the COM number is not used.
    long OnSerialByte(std::uintptr_t wparam, std::uintptr_t lparam);

    Method method() const { return m_method; }
    bool isConnected() const { return m_connected; }
    // A socket exists: connected, or its connection attempt is still pending.
    bool hasSocket() const { return m_socket != nullptr; }
    // Changes with every new link or attempt, so a delayed read can tell it still has the same one.
    unsigned generation() const { return m_generation; }
    const QString &failureText() const { return m_failureText; }

signals:
    void connected();
    void disconnected(ArmLink::Reason reason);
    // via says which way the frame came: the network and the serial line are read differently.
    void frameReceived(const std::string &frame, ArmLink::Method via);

private:
    void OnSerialMessage(unsigned message, std::uintptr_t wparam, std::uintptr_t lparam) override;
    void socketConnected(CClinetSocket *socket, bool ok);
    void socketClosed(CClinetSocket *socket);
    void dropSocket();

    // The port hands its messages over through the owner, so the owner must outlive the port.
    std::unique_ptr<QtSerialOwner> m_serialOwner;
    std::unique_ptr<CSerialPort> m_serialPort;
    CClinetSocket *m_socket = nullptr;
    FrameAssembler m_serialAssembler;
    FrameAssembler m_networkAssembler;
    Method m_method = Method::None;
    bool m_connected = false;
    bool m_closing = false;
    unsigned m_generation = 0;
    QString m_failureText;
};
