#pragma once

#include "tools/videoviewer/MjpegStreamParser.h"

#include <QImage>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <memory>
#include <string>

class QTcpSocket;

// Keeps an HTTP motion-JPEG stream open and decodes its latest picture. When the stream cannot be
// reached, fails, ends or stalls, the client says so and tries again every second. Only the newest
// complete picture of each read is decoded, so a slow decoder never queues pictures up.
class MjpegClient : public QObject
{
    Q_OBJECT

public:
    static constexpr int RetryMs = 1000;
    static constexpr int StallMs = 3000; // no byte for this long: connection given up

    explicit MjpegClient(const QUrl &url, QObject *parent = nullptr);
    ~MjpegClient() override;

    void Start();

    // The retry and stall timers, for checking their periods.
    const QTimer &RetryTimer() const { return m_retry; }
    const QTimer &StallTimer() const { return m_stall; }

signals:
    void FrameDecoded(const QImage &picture);
    void SignalLost(const QString &reason);

private:
    void Connect();
    void OnConnected();
    void OnReadyRead();
    void GiveUp(const QString &reason);

    QUrl m_url;
    QTcpSocket *m_socket = nullptr;
    QTimer m_retry;
    QTimer m_stall;
    std::unique_ptr<MjpegStreamParser> m_parser;
    std::string m_latest;
    bool m_haveLatest = false;
};
