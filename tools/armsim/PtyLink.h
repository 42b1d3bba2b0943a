#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;

// The serial side of the stand-in: a pseudo-terminal pair whose terminal side the program opens
// as its COM port. The master stays open for the whole run, so the terminal's path stays valid
// while the program closes and reopens it; a closed terminal side (hang-up on the master) is
// watched with a slow timer instead of the read notifier, which would otherwise fire endlessly.
class PtyLink : public QObject
{
    Q_OBJECT

public:
    static constexpr int HangupCheckMs = 100;
    // Replies the program does not read are held up to this much, newer ones are dropped.
    static constexpr int MaxPendingBytes = 16 * 1024;

    explicit PtyLink(QObject *parent = nullptr);
    ~PtyLink() override;

    bool open(QString *error);
    QString terminalPath() const { return m_path; }
    bool connected() const { return m_session; }
    void write(const QByteArray &bytes);
    int hangupTimerInterval() const;
    // True while nobody holds the terminal side and the master is only checked by the timer.
    bool waitingForTerminal() const;

signals:
    // The first bytes after the terminal side was (re)opened are about to be delivered.
    void sessionStarted();
    void received(const QByteArray &bytes);

private:
    void readAvailable();
    void flush();
    void hungUp();
    void checkHangup();
    bool terminalClosed() const;

    int m_master = -1;
    QString m_path;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QTimer *m_hangupTimer = nullptr;
    QByteArray m_pending;
    bool m_session = false;
};
