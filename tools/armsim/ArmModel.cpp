#include "tools/armsim/ArmModel.h"

#include "tools/armsim/ActionGroups.h"
#include "tools/armsim/ArmClock.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>

namespace {

const char *stepName(ArmModel::Step step)
{
    switch (step) {
    case ArmModel::Step::Started: return "started";
    case ArmModel::Step::Confirmed: return "confirmed";
    case ArmModel::Step::Cancelled: return "cancelled";
    case ArmModel::Step::Idle: break;
    }
    return "idle";
}

qint64 travelTime(double from, double to)
{
    return std::llround(std::fabs(to - from) * 1000.0 / ArmModel::DegreesPerSecond);
}

} // namespace

ArmModel::ArmModel(const ArmClock &clock)
    : m_clock(clock)
{
    const Pose middle = MiddlePose();
    for (int i = 0; i < ServoCount; ++i)
        m_tracks[i] = {{0, 0, middle[i], middle[i]}};
}

int ArmModel::MaxAngle(int servo)
{
    return servo == 5 ? 270 : 180;
}

ArmModel::Pose ArmModel::MiddlePose()
{
    return {90, 90, 90, 90, 90, 180};
}

qint64 ArmModel::motionNow() const
{
    const qint64 now = m_clock.nowMs();
    return now - m_pausedTotal - (m_frozen ? now - m_freezeStart : 0);
}

double ArmModel::valueAt(const Track &track, qint64 t)
{
    const Segment *current = &track.front();
    for (const Segment &s : track) {
        if (s.start > t)
            break;
        current = &s;
    }
    if (t < current->start)
        return current->from;
    if (current->duration <= 0 || t >= current->start + current->duration)
        return current->to;
    const double f = static_cast<double>(t - current->start) / static_cast<double>(current->duration);
    return current->from + (current->to - current->from) * f;
}

ArmModel::Pose ArmModel::angles() const
{
    const qint64 t = motionNow();
    Pose pose{};
    for (int i = 0; i < ServoCount; ++i)
        pose[i] = valueAt(m_tracks[i], t);
    return pose;
}

std::array<int, ArmModel::ServoCount> ArmModel::roundedAngles() const
{
    const Pose pose = angles();
    std::array<int, ServoCount> rounded{};
    for (int i = 0; i < ServoCount; ++i)
        rounded[i] = static_cast<int>(std::lround(pose[i]));
    return rounded;
}

ArmModel::Pose ArmModel::targets() const
{
    Pose pose{};
    for (int i = 0; i < ServoCount; ++i)
        pose[i] = m_tracks[i].back().to;
    return pose;
}

bool ArmModel::moving() const
{
    if (m_frozen)
        return false;
    const qint64 t = motionNow();
    return std::any_of(m_tracks.begin(), m_tracks.end(), [t](const Track &track) {
        return track.back().start + track.back().duration > t;
    });
}

int ArmModel::runningAction() const
{
    return m_action != 0 && motionNow() < m_actionEnd ? m_action : 0;
}

void ArmModel::startMove(int index, double target, qint64 durationMs)
{
    const qint64 t = motionNow();
    const double current = valueAt(m_tracks[index], t);
    m_tracks[index] = {{t, std::max<qint64>(durationMs, 0), current, target}};
}

void ArmModel::cancelAction()
{
    // The other servos stop where they are rather than play the rest of the group.
    if (runningAction() != 0) {
        const Pose now = angles();
        for (int i = 0; i < ServoCount; ++i)
            startMove(i, now[i], 0);
    }
    m_action = 0;
}

void ArmModel::moveServo(int servo, int angle)
{
    if (servo < 1 || servo > ServoCount)
        return;
    cancelAction();
    const double target = std::clamp(angle, 0, MaxAngle(servo));
    const int i = servo - 1;
    startMove(i, target, travelTime(valueAt(m_tracks[i], motionNow()), target));
}

void ArmModel::moveAll(const std::array<int, ServoCount> &angles, int timeMs)
{
    cancelAction();
    for (int i = 0; i < ServoCount; ++i)
        startMove(i, std::clamp(angles[i], 0, MaxAngle(i + 1)), timeMs);
}

void ArmModel::middle()
{
    cancelAction();
    const Pose now = angles();
    const Pose middle = MiddlePose();
    for (int i = 0; i < ServoCount; ++i)
        startMove(i, middle[i], travelTime(now[i], middle[i]));
}

bool ArmModel::runAction(int number)
{
    const std::vector<ActionGroups::Step> steps = ActionGroups::Steps(number);
    if (steps.empty())
        return false;
    const qint64 t0 = motionNow();
    const Pose start = angles();
    for (int i = 0; i < ServoCount; ++i) {
        Track track;
        qint64 t = t0;
        double from = start[i];
        for (const ActionGroups::Step &step : steps) {
            const double to = std::clamp(step.angles[i], 0, MaxAngle(i + 1));
            track.push_back({t, step.timeMs, from, to});
            t += step.timeMs;
            from = to;
        }
        m_tracks[i] = std::move(track);
    }
    m_action = number;
    m_actionEnd = m_tracks[0].back().start + m_tracks[0].back().duration;
    return true;
}

void ArmModel::freeze()
{
    if (m_frozen)
        return;
    m_freezeStart = m_clock.nowMs();
    m_frozen = true;
}

void ArmModel::resume()
{
    if (!m_frozen)
        return;
    m_pausedTotal += m_clock.nowMs() - m_freezeStart;
    m_frozen = false;
}

void ArmModel::writeServoId(int id)
{
    m_servoId = id;
    ++m_idWrites;
}

void ArmModel::setMedian(int id)
{
    m_medians.insert(id);
}

void ArmModel::restoreMedians()
{
    m_medians.clear();
    ++m_medianRestores;
}

const char *ArmModel::LightName(Light light)
{
    switch (light) {
    case Light::Red: return "red";
    case Light::Green: return "green";
    case Light::Blue: return "blue";
    case Light::On: return "on";
    case Light::Off: break;
    }
    return "off";
}

const char *ArmModel::ColourName(int colour)
{
    switch (colour) {
    case 1: return "red";
    case 2: return "green";
    case 3: return "blue";
    case 4: return "yellow";
    default: break;
    }
    return "off";
}

void ArmModel::setActive(const std::string &game)
{
    m_games.active = game;
}

void ArmModel::clearActive(const std::string &game)
{
    if (m_games.active.rfind(game, 0) == 0)
        m_games.active.clear();
}

void ArmModel::setFaceTracking(bool on)
{
    m_games.faceTracking = on;
    if (on)
        setActive("face tracking");
    else
        clearActive("face tracking");
}

void ArmModel::setColourTracking(int colour)
{
    m_games.colourTracking = colour;
    if (colour != 0)
        setActive(std::string("colour tracking ") + ColourName(colour));
    else
        clearActive("colour tracking");
}

void ArmModel::startColourInteraction()
{
    m_games.colourInteraction = true;
    setActive("colour interaction");
}

void ArmModel::startTracking()
{
    m_games.tracking = true;
    setActive("tracking");
}

void ArmModel::setOrder(bool stacking, bool start, const std::string &order)
{
    (stacking ? m_games.stackingOrder : m_games.sortingOrder) = order;
    if (!start)
        return;
    (stacking ? m_games.stackingStarted : m_games.sortingStarted) = true;
    setActive((stacking ? "colour stacking " : "colour sorting ") + order);
}

void ArmModel::startGarbage(int mode)
{
    m_games.garbage = mode;
    setActive(mode == 1 ? "garbage recognition" : "garbage sorting");
}

void ArmModel::calibrateArea(Step step)
{
    m_games.area = step;
}

void ArmModel::calibrateColour(Step step, int colour)
{
    m_games.colourCalibration = step;
    m_games.calibrationColour = colour;
}

void ArmModel::moveArea(int direction)
{
    // The recognition area stays within a sensible distance of the picture's centre.
    constexpr int Limit = 100;
    switch (direction) {
    case 1: m_games.areaY = std::max(m_games.areaY - 1, -Limit); break;
    case 2: m_games.areaY = std::min(m_games.areaY + 1, Limit); break;
    case 3: m_games.areaX = std::max(m_games.areaX - 1, -Limit); break;
    case 4: m_games.areaX = std::min(m_games.areaX + 1, Limit); break;
    default: break;
    }
}

QJsonObject ArmModel::stateJson() const
{
    QJsonArray angleList;
    for (int a : roundedAngles())
        angleList.append(a);
    QJsonArray targetList;
    for (double a : targets())
        targetList.append(static_cast<int>(std::lround(a)));
    QJsonArray medianList;
    for (int id : m_medians)
        medianList.append(id);

    const bool isMoving = moving();
    QJsonObject state;
    state["angles"] = angleList;
    state["targets"] = targetList;
    state["moving"] = isMoving;
    state["frozen"] = m_frozen;
    state["motion"] = m_frozen ? "frozen" : (isMoving ? "moving" : "still");
    state["action"] = runningAction();
    state["light"] = LightName(m_light);
    state["servoId"] = QJsonObject{{"written", m_servoId}, {"writes", m_idWrites}};
    state["medians"] = QJsonObject{{"set", medianList}, {"restores", m_medianRestores}};

    const Games &g = m_games;
    QJsonObject games;
    games["active"] = QString::fromStdString(g.active);
    games["faceTracking"] = g.faceTracking;
    games["colourTracking"] = ColourName(g.colourTracking);
    games["colourInteraction"] = g.colourInteraction;
    games["tracking"] = g.tracking;
    games["sorting"] = QJsonObject{{"order", QString::fromStdString(g.sortingOrder)},
                                   {"started", g.sortingStarted}};
    games["stacking"] = QJsonObject{{"order", QString::fromStdString(g.stackingOrder)},
                                    {"started", g.stackingStarted}};
    games["garbage"] = g.garbage == 1 ? "recognition" : (g.garbage == 2 ? "sorting" : "off");
    games["calibration"] = QJsonObject{
        {"area", stepName(g.area)},
        {"areaOffset", QJsonObject{{"x", g.areaX}, {"y", g.areaY}}},
        {"colour", ColourName(g.calibrationColour)},
        {"colourStep", stepName(g.colourCalibration)},
        {"threshold", g.threshold}};
    state["games"] = games;
    return state;
}
