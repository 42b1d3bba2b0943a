#pragma once

#include "tools/armsim/ArmModel.h"

#include <QJsonObject>
#include <QString>

#include <deque>
#include <functional>
#include <map>
#include <string>

class ArmClock;
struct ArmFrame;

// The controller's protocol side: checks each received frame, applies it to the arm, answers the
// joint-angle request, and keeps the counts and the recent frames for the state page and the log.
class ArmController
{
public:
    static constexpr int HistorySize = 32;

    struct Outcome
    {
        bool accepted = false;
        std::string detail; // decoded command, or why it was refused
        std::string reply;  // frame to send back to the same link, empty when none
    };
    using Logger = std::function<void(const QString &line)>;

    explicit ArmController(const ArmClock &clock);

    void setLogger(Logger logger) { m_logger = std::move(logger); }
    void setVersion(int major, int minor);
    std::string versionReply() const;

    // frame: the text from "$" to "#" as the assembler cut it; link names where it came from.
    Outcome handleFrame(const std::string &frame, const QString &link);
    // A frame abandoned at the length limit without its "#".
    void noteOverlong(const QString &link);
    void noteReply(const std::string &reply, const QString &link);

    ArmModel &model() { return m_model; }
    const ArmModel &model() const { return m_model; }
    int accepted() const { return m_accepted; }
    int rejected() const { return m_rejected; }
    QJsonObject stateJson() const;

    // Frame text safe to print: anything outside printable ASCII is written as \xNN.
    static QString Printable(const std::string &text);

private:
    struct Received
    {
        std::string text;
        QString link;
        bool accepted;
        std::string detail;
    };

    // Applies a well-formed frame; false (detail: why) when its values are out of range.
    bool apply(const ArmFrame &frame, std::string &detail, std::string &reply);
    void remember(const std::string &text, const QString &link, bool accepted, const std::string &detail);
    void log(const QString &line) const;

    ArmModel m_model;
    Logger m_logger;
    int m_major = 1;
    int m_minor = 0;
    int m_accepted = 0;
    int m_rejected = 0;
    int m_overlong = 0;
    int m_replies = 0;
    std::map<int, int> m_byCode;
    std::deque<Received> m_history;
};
