#include "tools/armsim/ArmServer.h"

#include "link/FrameAssembler.h"
#include "tools/armsim/ArmPicture.h"
#include "tools/armsim/ComPortRegistration.h"
#include "tools/armsim/PtyLink.h"
#include "tools/armsim/SteadyArmClock.h"
#include "tools/armsim/VideoServer.h"

#include <QTimer>
#include <QDateTime>
#include <QTcpServer>
#include <QTcpSocket>

struct ArmServer::TcpClient
{
    QString name;
    FrameAssembler assembler;
};

namespace {

const ArmClock &pickClock(const ArmClock *given, std::unique_ptr<ArmClock> &own)
{
    if (given)
        return *given;
    own = std::make_unique<SteadyArmClock>();
    return *own;
}

const QString PtyName = QStringLiteral("pty");

} // namespace

ArmServer::ArmServer(const ArmSimOptions &options, const ArmClock *clock, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_controller(pickClock(clock, m_ownClock))
    , m_tcp(new QTcpServer(this))
    , m_video(new VideoServer(this))
{
    m_controller.setVersion(options.major, options.minor);
    connect(m_tcp, &QTcpServer::newConnection, this, &ArmServer::onNewTcpClient);
    m_video->setStateProvider([this] { return stateJson(); });
    m_video->setPictureProvider([this] {
        return ArmPicture::Render(m_controller.model(), QDateTime::currentDateTime(), ++m_pictureNumber);
    });
    connect(m_video, &VideoServer::initCalled, this, [this] { log(QStringLiteral("camera /init called")); });
}

ArmServer::~ArmServer()
{
    releaseComPort();
}

void ArmServer::setLogger(ArmController::Logger logger)
{
    m_logger = logger;
    m_controller.setLogger(std::move(logger));
}

void ArmServer::log(const QString &line) const
{
    if (m_logger)
        m_logger(line);
}

bool ArmServer::start(QString *error)
{
    m_tcp->setListenBacklogSize(MaxTcpClients);
    if (!m_tcp->listen(m_options.host, m_options.port)) {
        if (error)
            *error = QStringLiteral("cannot listen on %1:%2: %3")
                         .arg(m_options.host.toString())
                         .arg(m_options.port)
                         .arg(m_tcp->errorString());
        return false;
    }
    QString videoError;
    if (!m_video->listen(m_options.host, m_options.videoPort, &videoError)) {
        if (error)
            *error = QStringLiteral("cannot serve the camera on %1:%2: %3")
                         .arg(m_options.host.toString())
                         .arg(m_options.videoPort)
                         .arg(videoError);
        m_tcp->close();
        return false;
    }
    if (m_options.pty) {
        m_pty = new PtyLink(this);
        QString ptyError;
        if (!m_pty->open(&ptyError)) {
            if (error)
                *error = QStringLiteral("cannot open a pseudo-terminal: %1").arg(ptyError);
            return false;
        }
        m_ptyAssembler = std::make_unique<FrameAssembler>();
        connect(m_pty, &PtyLink::sessionStarted, this, &ArmServer::onPtySession);
        connect(m_pty, &PtyLink::received, this, &ArmServer::onPtyData);
        if (m_options.com > 0) {
            m_com = std::make_unique<ComPortRegistration>(m_options.config.toStdString(), m_options.com,
                                                          m_pty->terminalPath().toStdString());
            if (!m_com->registered()) {
                if (error)
                    *error = QStringLiteral("cannot write COM%1 into %2").arg(m_options.com).arg(m_options.config);
                m_com.reset();
                return false;
            }
        }
    }
    return true;
}

void ArmServer::releaseComPort()
{
    m_com.reset();
}

quint16 ArmServer::tcpPort() const
{
    return m_tcp->serverPort();
}

quint16 ArmServer::videoPort() const
{
    return m_video->port();
}

QString ArmServer::ptyPath() const
{
    return m_pty ? m_pty->terminalPath() : QString();
}

void ArmServer::onNewTcpClient()
{
    while (QTcpSocket *socket = m_tcp->nextPendingConnection()) {
        if (m_clients.size() >= MaxTcpClients) {
            ++m_tcpRefused;
            log(QStringLiteral("tcp client refused: %1 already connected").arg(m_clients.size()));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto client = std::make_shared<TcpClient>();
        client->name = QStringLiteral("tcp %1").arg(m_nextClient++);
        TcpClient *raw = client.get();
        client->assembler.setConsumer([this, socket, raw](const std::string &frame) {
            const ArmController::Outcome outcome = m_controller.handleFrame(frame, raw->name);
            if (outcome.reply.empty())
                return;
            if (socket->bytesToWrite() > MaxQueuedReplyBytes) {
                log(QStringLiteral("%1 does not read its replies, one dropped").arg(raw->name));
                return;
            }
            socket->write(outcome.reply.data(), static_cast<qint64>(outcome.reply.size()));
            m_controller.noteReply(outcome.reply, raw->name);
        });
        m_clients.insert(socket, client);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onTcpData(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { onTcpClosed(socket); });
        log(QStringLiteral("%1 connected from %2:%3")
                .arg(client->name, socket->peerAddress().toString())
                .arg(socket->peerPort()));
        // Every new connection is greeted with the controller's version.
        const std::string version = m_controller.versionReply();
        socket->write(version.data(), static_cast<qint64>(version.size()));
        m_controller.noteReply(version, client->name);
        if (socket->bytesAvailable() > 0)
            onTcpData(socket);
    }
}

void ArmServer::onTcpData(QTcpSocket *socket)
{
    const auto it = m_clients.constFind(socket);
    if (it == m_clients.constEnd())
        return;
    // Keep the client alive through the call even if it is dropped meanwhile.
    const std::shared_ptr<TcpClient> client = *it;
    feed(client->assembler, socket->readAll(), client->name);
}

void ArmServer::onTcpClosed(QTcpSocket *socket)
{
    const auto it = m_clients.find(socket);
    if (it == m_clients.end())
        return;
    log(QStringLiteral("%1 closed").arg((*it)->name));
    m_clients.erase(it);
    socket->deleteLater();
}

void ArmServer::onPtySession()
{
    // A new client on the terminal side starts from a clean frame and hears the version first.
    m_ptyAssembler = std::make_unique<FrameAssembler>();
    m_ptyAssembler->setConsumer([this](const std::string &frame) {
        const ArmController::Outcome outcome = m_controller.handleFrame(frame, PtyName);
        if (outcome.reply.empty())
            return;
        m_pty->write(QByteArray::fromStdString(outcome.reply));
        m_controller.noteReply(outcome.reply, PtyName);
    });
    log(QStringLiteral("pty %1 opened by a client").arg(m_pty->terminalPath()));
    // Opening a serial line resets a real controller, which greets once it has booted. Greeting at
    // once would race the opener, which empties the line's buffers as its last step.
    const unsigned session = ++m_ptySession;
    QTimer::singleShot(PtyGreetingDelayMs, this, [this, session] {
        if (session != m_ptySession || !m_ptyAssembler)
            return;
        const std::string version = m_controller.versionReply();
        m_pty->write(QByteArray::fromStdString(version));
        m_controller.noteReply(version, PtyName);
    });
}

void ArmServer::onPtyData(const QByteArray &bytes)
{
    if (m_ptyAssembler)
        feed(*m_ptyAssembler, bytes, PtyName);
}

void ArmServer::feed(FrameAssembler &assembler, const QByteArray &bytes, const QString &link)
{
    for (char c : bytes) {
        const bool wasCollecting = assembler.collecting();
        const bool completed = assembler.Feed(c);
        if (wasCollecting && !completed && !assembler.collecting())
            m_controller.noteOverlong(link);
    }
}

QJsonObject ArmServer::stateJson() const
{
    QJsonObject state = m_controller.stateJson();
    state["camera"] = m_video->statsJson();
    QJsonObject links{{"tcpClients", tcpClients()}, {"tcpRefused", m_tcpRefused}, {"tcpPort", tcpPort()}};
    links["pty"] = m_pty ? QJsonValue(m_pty->terminalPath()) : QJsonValue();
    links["ptyConnected"] = m_pty ? m_pty->connected() : false;
    links["com"] = m_com ? QJsonValue(QString::fromStdString(m_com->key())) : QJsonValue();
    state["links"] = links;
    return state;
}
