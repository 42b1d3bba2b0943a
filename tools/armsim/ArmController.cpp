#include "tools/armsim/ArmController.h"

#include "tools/armsim/ArmFrame.h"
#include "link/ReplyFrames.h"

#include <QJsonArray>

#include <cstdio>

namespace {

std::string codeText(int code)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02X", code & 0xff);
    return buffer;
}

std::string num(long long v)
{
    return std::to_string(v);
}

bool inRange(long long v, long long lo, long long hi)
{
    return v >= lo && v <= hi;
}

const char *stepName(long long step)
{
    switch (step) {
    case 1: return "start";
    case 2: return "confirm";
    case 3: return "cancel";
    default: break;
    }
    return "?";
}

} // namespace

ArmController::ArmController(const ArmClock &clock)
    : m_model(clock)
{
}

void ArmController::setVersion(int major, int minor)
{
    m_major = major;
    m_minor = minor;
}

std::string ArmController::versionReply() const
{
    return ReplyFrames::Version(m_major, m_minor);
}

QString ArmController::Printable(const std::string &text)
{
    QString out;
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7f && c != '\\')
            out += QChar(c);
        else
            out += QString::asprintf("\\x%02x", c);
    }
    return out;
}

void ArmController::log(const QString &line) const
{
    if (m_logger)
        m_logger(line);
}

void ArmController::remember(const std::string &text, const QString &link, bool accepted, const std::string &detail)
{
    m_history.push_back({text, link, accepted, detail});
    while (m_history.size() > static_cast<size_t>(HistorySize))
        m_history.pop_front();
}

ArmController::Outcome ArmController::handleFrame(const std::string &text, const QString &link)
{
    Outcome outcome;
    ArmFrame frame;
    std::string reason = ArmFrame::Decode(text, frame);
    if (reason.empty()) {
        std::string detail;
        if (apply(frame, detail, outcome.reply)) {
            outcome.accepted = true;
            outcome.detail = detail;
        } else {
            reason = detail;
        }
    }
    if (outcome.accepted) {
        ++m_accepted;
        ++m_byCode[frame.code];
        log(QStringLiteral("rx %1  [%2]").arg(QString::fromStdString(outcome.detail), link));
    } else {
        ++m_rejected;
        // Reasons quote pieces of the frame, which may hold any byte the line carried.
        outcome.detail = Printable(reason).toStdString();
        outcome.reply.clear();
        log(QStringLiteral("rx rejected %1: %2  [%3]").arg(Printable(text), QString::fromStdString(outcome.detail), link));
    }
    remember(text, link, outcome.accepted, outcome.detail);
    return outcome;
}

void ArmController::noteOverlong(const QString &link)
{
    ++m_overlong;
    ++m_rejected;
    const std::string reason = "81 characters without '#', dropped";
    remember(std::string(), link, false, reason);
    log(QStringLiteral("rx rejected: %1  [%2]").arg(QString::fromStdString(reason), link));
}

void ArmController::noteReply(const std::string &reply, const QString &link)
{
    ++m_replies;
    log(QStringLiteral("tx %1  [%2]").arg(QString::fromStdString(reply), link));
}

bool ArmController::apply(const ArmFrame &frame, std::string &detail, std::string &reply)
{
    const std::vector<long long> &f = frame.fields;
    const std::string code = codeText(frame.code);
    auto refuse = [&](const std::string &why) {
        detail = why;
        return false;
    };

    switch (frame.code) {
    case 0x03: {
        if (f[0] != 6)
            return refuse("angle request for " + num(f[0]) + " servos, expected 06");
        reply = ReplyFrames::JointAngles(m_model.roundedAngles());
        detail = code + " request angles";
        return true;
    }
    case 0x04: {
        if (!inRange(f[0], 1, ArmModel::ServoCount))
            return refuse("servo " + num(f[0]) + " does not exist");
        m_model.moveServo(static_cast<int>(f[0]), static_cast<int>(f[1]));
        detail = code + " servo=" + num(f[0]) + " angle=" + num(f[1]);
        return true;
    }
    case 0x05: {
        if (f[0] != ArmModel::ServoCount)
            return refuse("pose for " + num(f[0]) + " servos, expected 06");
        std::array<int, ArmModel::ServoCount> pose{};
        std::string list;
        for (int i = 0; i < ArmModel::ServoCount; ++i) {
            pose[i] = static_cast<int>(f[i + 1]);
            list += (i ? "," : "") + num(f[i + 1]);
        }
        const long long time = f[7];
        m_model.moveAll(pose, static_cast<int>(time < 0 ? 0 : time));
        detail = code + " angles=" + list + " time=" + num(time);
        return true;
    }
    case 0x06:
        if (f[0] <= 0)
            return refuse("servo ID " + num(f[0]) + " cannot be written");
        m_model.writeServoId(static_cast<int>(f[0]));
        detail = code + " write id=" + num(f[0]);
        return true;
    case 0x07:
        m_model.middle();
        detail = code + " middle";
        return true;
    case 0x08:
        if (!m_model.runAction(static_cast<int>(f[0])))
            return refuse("no action group " + num(f[0]));
        detail = code + " action=" + num(f[0]);
        return true;
    case 0x09:
        if (f[0] == 0)
            m_model.freeze();
        else if (f[0] == 1)
            m_model.resume();
        else
            return refuse("stop switch " + num(f[0]) + ", expected 0 or 1");
        detail = code + (f[0] == 0 ? " stop" : " restore");
        return true;
    case 0x0A:
        if (f[0] < 0)
            return refuse("median ID " + num(f[0]));
        if (f[0] == 0) {
            m_model.restoreMedians();
            detail = code + " restore medians";
        } else {
            m_model.setMedian(static_cast<int>(f[0]));
            detail = code + " median id=" + num(f[0]);
        }
        return true;
    case 0x0C: {
        if (!inRange(f[0], 0, 4))
            return refuse("light value " + num(f[0]));
        const auto light = static_cast<ArmModel::Light>(f[0]);
        m_model.setLight(light);
        detail = code + " light=" + ArmModel::LightName(light);
        return true;
    }
    case 0x0D:
    case 0x0E: {
        if (!inRange(f[0], 0, 1))
            return refuse("start switch " + num(f[0]));
        std::string order;
        for (size_t i = 1; i < f.size(); ++i) {
            if (!inRange(f[i], 0, 4))
                return refuse("colour code " + num(f[i]) + " in the order");
            if (i <= 4)
                order += static_cast<char>('0' + f[i]);
        }
        const bool stacking = frame.code == 0x0E;
        m_model.setOrder(stacking, f[0] == 1, order);
        detail = code + (stacking ? " stacking" : " sorting") + " order=" + order + " start=" + num(f[0]);
        return true;
    }
    case 0x0F:
        if (!inRange(f[0], 0, 1))
            return refuse("face tracking switch " + num(f[0]));
        m_model.setFaceTracking(f[0] == 1);
        detail = code + (f[0] == 1 ? " face tracking on" : " face tracking off");
        return true;
    case 0x10:
        if (frame.length == 1) {
            if (!inRange(f[0], 0, 4))
                return refuse("tracking colour " + num(f[0]));
            m_model.setColourTracking(static_cast<int>(f[0]));
            detail = code + " colour tracking=" + ArmModel::ColourName(static_cast<int>(f[0]));
            return true;
        }
        if (f[0] == 5) {
            m_model.startColourInteraction();
            detail = code + " colour interaction";
            return true;
        }
        if (f[0] == 6) {
            m_model.startTracking();
            detail = code + " start tracking";
            return true;
        }
        return refuse("tracking game " + num(f[0]));
    case 0x11:
        if (!inRange(f[0], 1, 3))
            return refuse("area calibration step " + num(f[0]));
        m_model.calibrateArea(static_cast<ArmModel::Step>(f[0]));
        detail = code + " area calibration " + stepName(f[0]);
        return true;
    case 0x12:
        if (!inRange(f[0], 1, 2))
            return refuse("garbage game " + num(f[0]));
        m_model.startGarbage(static_cast<int>(f[0]));
        detail = code + (f[0] == 1 ? " garbage recognition" : " garbage sorting");
        return true;
    case 0x13:
        if (!inRange(f[0], 1, 3))
            return refuse("colour calibration step " + num(f[0]));
        if (!inRange(f[1], 1, 4))
            return refuse("calibration colour " + num(f[1]));
        m_model.calibrateColour(static_cast<ArmModel::Step>(f[0]), static_cast<int>(f[1]));
        detail = code + " colour calibration " + stepName(f[0]) + " colour=" +
                 ArmModel::ColourName(static_cast<int>(f[1]));
        return true;
    case 0x14:
        if (!inRange(f[0], 0, 255))
            return refuse("threshold " + num(f[0]) + " outside 0 to 255");
        m_model.setThreshold(static_cast<int>(f[0]));
        detail = code + " threshold=" + num(f[0]);
        return true;
    case 0x15: {
        static const char *const names[] = {"", "up", "down", "left", "right"};
        if (!inRange(f[0], 1, 4))
            return refuse("area move " + num(f[0]));
        m_model.moveArea(static_cast<int>(f[0]));
        detail = code + " area move " + names[f[0]];
        return true;
    }
    default:
        break;
    }
    return refuse("unknown command code " + code);
}

QJsonObject ArmController::stateJson() const
{
    QJsonObject state = m_model.stateJson();
    state["version"] = QStringLiteral("%1.%2").arg(m_major).arg(m_minor);

    QJsonObject byCode;
    for (const auto &[code, count] : m_byCode)
        byCode[QString::fromStdString(codeText(code))] = count;
    QJsonArray last;
    for (const Received &r : m_history) {
        last.append(QJsonObject{{"text", QString::fromLatin1(r.text.data(), static_cast<qsizetype>(r.text.size()))},
                                {"link", r.link},
                                {"accepted", r.accepted},
                                {"detail", QString::fromStdString(r.detail)}});
    }
    state["frames"] = QJsonObject{{"accepted", m_accepted},
                                  {"rejected", m_rejected},
                                  {"overlong", m_overlong},
                                  {"replies", m_replies},
                                  {"byCode", byCode},
                                  {"last", last}};
    return state;
}
