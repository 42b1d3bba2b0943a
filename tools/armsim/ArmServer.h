#pragma once

#include "tools/armsim/ArmController.h"
#include "tools/armsim/ArmSimOptions.h"

#include <QHash>
#include <QObject>

#include <memory>

class ArmClock;
class ComPortRegistration;
class FrameAssembler;
class PtyLink;
class QTcpServer;
class QTcpSocket;
class VideoServer;

// The whole stand-in: one arm shared by every TCP client, the pseudo-terminal and the camera.
class ArmServer : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxTcpClients = 256;
    // How long after a terminal session opens the controller greets it.
    static constexpr int PtyGreetingDelayMs = 300;
    // Replies to a client that does not read are dropped beyond this backlog.
    static constexpr qint64 MaxQueuedReplyBytes = 64 * 1024;

    // clock: nullptr for the steady clock; a given clock must outlive the server.
    explicit ArmServer(const ArmSimOptions &options, const ArmClock *clock = nullptr, QObject *parent = nullptr);
    ~ArmServer() override;

    bool start(QString *error);
    // Takes the COM entry out of the configuration file; also done on destruction.
    void releaseComPort();
    void setLogger(ArmController::Logger logger);

    quint16 tcpPort() const;
    quint16 videoPort() const;
    QString ptyPath() const;
    int tcpClients() const { return static_cast<int>(m_clients.size()); }
    ArmController &controller() { return m_controller; }
    VideoServer *video() const { return m_video; }
    PtyLink *pty() const { return m_pty; }
    QJsonObject stateJson() const;

private:
    struct TcpClient;

    void onNewTcpClient();
    void onTcpData(QTcpSocket *socket);
    void onTcpClosed(QTcpSocket *socket);
    void onPtySession();
    void onPtyData(const QByteArray &bytes);
    // Cuts received bytes into frames; the assembler's consumer answers them on its own link.
    void feed(FrameAssembler &assembler, const QByteArray &bytes, const QString &link);
    void log(const QString &line) const;

    ArmSimOptions m_options;
    std::unique_ptr<ArmClock> m_ownClock;
    ArmController m_controller;
    ArmController::Logger m_logger;
    QTcpServer *m_tcp = nullptr;
    VideoServer *m_video = nullptr;
    PtyLink *m_pty = nullptr;
    std::unique_ptr<FrameAssembler> m_ptyAssembler;
    // Counts terminal sessions, so a greeting still due never reaches a later session.
    unsigned m_ptySession = 0;
    std::unique_ptr<ComPortRegistration> m_com;
    QHash<QTcpSocket *, std::shared_ptr<TcpClient>> m_clients;
    int m_nextClient = 1;
    int m_tcpRefused = 0;
    int m_pictureNumber = 0;
};
