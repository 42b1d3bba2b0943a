#pragma once

#include <QJsonObject>

#include <array>
#include <set>
#include <string>
#include <vector>

class ArmClock;

// The stand-in arm: six servos that move over time, the light, servo IDs and medians, and the
// settings of the camera games. All motion is computed from the injected clock when asked, so the
// model needs no timer and any moment of a motion can be inspected.
class ArmModel
{
public:
    static constexpr int ServoCount = 6;
    // Single-servo moves and the middle pose travel at this speed; a six-servo command says its time.
    static constexpr int DegreesPerSecond = 300;
    using Pose = std::array<double, ServoCount>;

    enum class Light { Off = 0, Red = 1, Green = 2, Blue = 3, On = 4 };
    enum class Step { Idle = 0, Started = 1, Confirmed = 2, Cancelled = 3 };

    struct Games
    {
        bool faceTracking = false;
        int colourTracking = 0; // 0 off, 1 red, 2 green, 3 blue, 4 yellow
        bool colourInteraction = false;
        bool tracking = false;
        std::string sortingOrder = "0000";
        bool sortingStarted = false;
        std::string stackingOrder = "0000";
        bool stackingStarted = false;
        int garbage = 0; // 0 none, 1 recognition, 2 sorting
        Step area = Step::Idle;
        int areaX = 0;
        int areaY = 0;
        Step colourCalibration = Step::Idle;
        int calibrationColour = 0;
        int threshold = 0;
        std::string active; // the game the camera runs now, empty when none
    };

    explicit ArmModel(const ArmClock &clock);

    static int MaxAngle(int servo); // servo 1 to 6
    static Pose MiddlePose();

    Pose angles() const;
    std::array<int, ServoCount> roundedAngles() const;
    Pose targets() const;
    bool moving() const;
    bool frozen() const { return m_frozen; }
    int runningAction() const; // 0 when no stored group is playing

    // Angles outside a servo's range are clamped to it; servo is 1 to 6.
    void moveServo(int servo, int angle);
    void moveAll(const std::array<int, ServoCount> &angles, int timeMs);
    void middle();
    bool runAction(int number);
    // While frozen the arm holds still; commands given meanwhile take effect from the resume on.
    void freeze();
    void resume();

    void writeServoId(int id);
    void setMedian(int id);
    void restoreMedians();
    void setLight(Light light) { m_light = light; }
    Light light() const { return m_light; }
    static const char *LightName(Light light);

    void setFaceTracking(bool on);
    void setColourTracking(int colour);
    void startColourInteraction();
    void startTracking();
    void setOrder(bool stacking, bool start, const std::string &order);
    void startGarbage(int mode);
    void calibrateArea(Step step);
    void calibrateColour(Step step, int colour);
    void setThreshold(int value) { m_games.threshold = value; }
    void moveArea(int direction); // 1 up, 2 down, 3 left, 4 right
    const Games &games() const { return m_games; }

    static const char *ColourName(int colour);
    QJsonObject stateJson() const;

private:
    struct Segment
    {
        qint64 start;
        qint64 duration;
        double from;
        double to;
    };
    using Track = std::vector<Segment>;

    qint64 motionNow() const;
    static double valueAt(const Track &track, qint64 t);
    void startMove(int index, double target, qint64 durationMs);
    void cancelAction();
    void setActive(const std::string &game);
    void clearActive(const std::string &game);

    const ArmClock &m_clock;
    std::array<Track, ServoCount> m_tracks;
    bool m_frozen = false;
    qint64 m_freezeStart = 0;
    qint64 m_pausedTotal = 0;
    int m_action = 0;
    qint64 m_actionEnd = 0;

    Light m_light = Light::Off;
    int m_servoId = 0;
    int m_idWrites = 0;
    std::set<int> m_medians;
    int m_medianRestores = 0;
    Games m_games;
};
