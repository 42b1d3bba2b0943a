#include "link/CommandFrames.h"
#include "link/FrameAssembler.h"
#include "tools/armsim/ArmController.h"
#include "tools/armsim/ManualArmClock.h"
#include "link/ReplyFrames.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

using namespace CommandFrames;

using Pose = std::array<int, 6>;
Q_DECLARE_METATYPE(Pose)

namespace {

const QString Link = QStringLiteral("test");

// The value at a slash-separated path of the state, e.g. "games/sorting/order".
QJsonValue at(const QJsonObject &state, const QString &path)
{
    QJsonValue v = state;
    for (const QString &key : path.split(QLatin1Char('/')))
        v = v.toObject().value(key);
    return v;
}

QJsonValue parseValue(const QString &json)
{
    return QJsonDocument::fromJson(("[" + json + "]").toUtf8()).array().at(0);
}

QString compact(const QJsonValue &v)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact));
}

QString q(const std::string &s)
{
    return QString::fromStdString(s);
}

// Cuts a reply with the program's own assembler, as the panel does on receipt.
QStringList cut(const std::string &stream)
{
    QStringList frames;
    FrameAssembler assembler([&](const std::string &f) { frames << q(f); });
    for (char c : stream)
        assembler.Feed(c);
    return frames;
}

} // namespace

class TestArmProtocol : public QObject
{
    Q_OBJECT

private slots:
    void everyCommandOfTheProgramTakesEffect_data();
    void everyCommandOfTheProgramTakesEffect();
    void refusedFramesChangeNothing_data();
    void refusedFramesChangeNothing();
    void checksumLetterCaseDoesNotMatter();
    void jointAngleReplyReadsBackWithTheProgramsRules_data();
    void jointAngleReplyReadsBackWithTheProgramsRules();
    void versionReply_data();
    void versionReply();
    void logLinesNameTheCommandOrTheReason();
    void historyKeepsTheLatestFrames();
};

void TestArmProtocol::everyCommandOfTheProgramTakesEffect_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    auto row = [](const char *name, QStringList before, const std::string &frame, const char *path,
                  const char *expected) {
        QTest::newRow(name) << before << q(frame) << QString::fromLatin1(path) << QString::fromLatin1(expected);
    };
    const QStringList none;
    row("single servo", none, SingleServo(3, 95), "angles", "[90,90,95,90,90,180]");
    row("servo 6 at 180", {q(SingleServo(6, 10))}, SingleServo(6, 180), "angles", "[90,90,90,90,90,180]");
    row("six servos", none, AllServos({90, 90, 90, 90, 110, 180}, 500), "angles", "[90,90,90,90,110,180]");
    row("six servos, negative time", none, AllServos({10, 20, 30, 40, 50, 60}, -100), "angles",
        "[10,20,30,40,50,60]");
    row("middle", {q(AllServos({0, 0, 0, 0, 0, 0}, 0))}, Middle(), "angles", "[90,90,90,90,90,180]");
    row("angle request", none, RequestAngles(), "frames/byCode/03", "1");
    row("write id", none, WriteServoId(5), "servoId/written", "5");
    row("run action 15", none, RunAction(15), "action", "15");
    row("stop", none, Stop(), "motion", "\"frozen\"");
    row("restore", {q(Stop())}, Restore(), "frozen", "false");
    row("median", none, SetMedian(3), "medians/set", "[3]");
    row("restore medians", {q(SetMedian(3)), q(SetMedian(7))}, RestoreMedians(), "medians/set", "[]");
    row("light blue", none, SetLight(Light::Blue), "light", "\"blue\"");
    row("light off", {q(SetLight(Light::On))}, SetLight(Light::Off), "light", "\"off\"");
    row("face off", {q(FaceTracking(true))}, FaceTracking(false), "games/faceTracking", "false");
    row("colour yellow", none, ColourTracking(4), "games/colourTracking", "\"yellow\"");
    row("colour off", {q(ColourTracking(1))}, ColourTracking(0), "games/active", "\"\"");
    row("interaction", none, ColourInteraction(), "games/active", "\"colour interaction\"");
    row("start tracking", none, StartTracking(), "games/tracking", "true");
    row("area start", none, CalibrationArea(CalibrationStep::Start), "games/calibration/area", "\"started\"");
    row("area cancel", none, CalibrationArea(CalibrationStep::Cancel), "games/calibration/area", "\"cancelled\"");
    row("calibrate yellow", none, CalibrateColour(CalibrationStep::Start, 4), "games/calibration/colour",
        "\"yellow\"");
    row("area up", none, MoveArea(AreaMove::Up), "games/calibration/areaOffset", "{\"x\":0,\"y\":-1}");
    row("area right", none, MoveArea(AreaMove::Right), "games/calibration/areaOffset", "{\"x\":1,\"y\":0}");
    row("threshold 0", {q(Threshold(9))}, Threshold(0), "games/calibration/threshold", "0");
    row("threshold 255", none, Threshold(255), "games/calibration/threshold", "255");
    row("sorting order", none, ColourSorting(false, "1234"), "games/sorting", "{\"order\":\"1234\",\"started\":false}");
    row("sorting start", none, ColourSorting(true, "4321"), "games/active", "\"colour sorting 4321\"");
    row("stacking start", none, ColourStacking(true, "2000"), "games/stacking/started", "true");
    row("order with a fifth digit", none, "$0D060123401d#", "games/sorting/order", "\"1234\"");
    row("garbage sorting", none, GarbageSorting(), "games/active", "\"garbage sorting\"");
}

void TestArmProtocol::everyCommandOfTheProgramTakesEffect()
{
    QFETCH(QStringList, before);
    QFETCH(QString, frame);
    QFETCH(QString, path);
    QFETCH(QString, expected);
    ManualArmClock clock;
    ArmController controller(clock);
    for (const QString &b : before) {
        QVERIFY(controller.handleFrame(b.toStdString(), Link).accepted);
        clock.advance(60000);
    }
    const ArmController::Outcome outcome = controller.handleFrame(frame.toStdString(), Link);
    QVERIFY2(outcome.accepted, outcome.detail.c_str());
    QCOMPARE(controller.rejected(), 0);
    QCOMPARE(controller.accepted(), before.size() + 1);
    // Only the angle request is answered.
    QCOMPARE(outcome.reply.empty(), !frame.startsWith(QLatin1String("$03")));
    if (path != QLatin1String("action"))
        clock.advance(60000);
    const QJsonObject state = controller.stateJson();
    QCOMPARE(compact(at(state, path)), compact(parseValue(expected)));
    QCOMPARE(at(state, "frames/last").toArray().last().toObject().value("text").toString(), frame);
}

void TestArmProtocol::refusedFramesChangeNothing_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("reason");
    QTest::newRow("checksum off by one") << "$0407030956e#" << "checksum 6e, expected 6d";
    QTest::newRow("checksum of a fixed frame") << "$0C02010E#" << "checksum";
    QTest::newRow("six servos, time changed") << "$05200609009009009009018010067d#" << "checksum 7d, expected 83";
    QTest::newRow("checksum not hex") << "$0407030956g#" << "not hexadecimal";
    QTest::newRow("length field of the data size") << "$0405030956b#" << "length field 05";
    QTest::newRow("length field of six servos") << "$05240609009009009011018005009d#" << "length field 24";
    QTest::newRow("length field not decimal") << "$04x7030956d#" << "not decimal";
    QTest::newRow("unknown code 02") << "$0200002#" << "unknown command code 02";
    QTest::newRow("reply code 01") << "$01021004#" << "unknown command code 01";
    QTest::newRow("unknown code FF") << "$FF0000ff#" << "unknown command code FF";
    QTest::newRow("code not hex") << "$G40709066#" << "not hexadecimal";
    QTest::newRow("too short") << "$04#" << "not a frame";
    QTest::newRow("data too short") << "$040701906a#" << "does not fit";
    QTest::newRow("data with a letter") << "$04070a09065#" << "not a number";
    QTest::newRow("servo 7") << QString::fromStdString(SingleServo(7, 90)) << "servo 7";
    QTest::newRow("servo 0") << QString::fromStdString(SingleServo(0, 90)) << "servo 0";
    QTest::newRow("action 16") << QString::fromStdString(RunAction(16)) << "no action group 16";
    QTest::newRow("action 0") << QString::fromStdString(RunAction(0)) << "no action group 0";
    QTest::newRow("stop switch 2") << "$090120c#" << "stop switch 2";
    QTest::newRow("light 5") << "$0C020513#" << "light value 5";
    QTest::newRow("write id 0") << QString::fromStdString(WriteServoId(0)) << "cannot be written";
    QTest::newRow("threshold 256") << "$140325617#" << "threshold 256";
    QTest::newRow("order colour 7") << "$0D06070001a#" << "colour code 7";
    QTest::newRow("calibrate colour 0") << "$13021016#" << "calibration colour 0";
    QTest::newRow("tracking game 7") << "$10020719#" << "tracking game 7";
    QTest::newRow("area move 5") << "$150151b#" << "area move 5";
    QTest::newRow("pose of five servos") << "$05200509009009009011018005009c#" << "5 servos";
}

void TestArmProtocol::refusedFramesChangeNothing()
{
    QFETCH(QString, frame);
    QFETCH(QString, reason);
    ManualArmClock clock;
    ArmController controller(clock);
    const QJsonObject before = controller.stateJson();
    const ArmController::Outcome outcome = controller.handleFrame(frame.toStdString(), Link);
    QVERIFY(!outcome.accepted);
    QVERIFY(outcome.reply.empty());
    QVERIFY2(q(outcome.detail).contains(reason), outcome.detail.c_str());
    QCOMPARE(controller.rejected(), 1);
    QCOMPARE(controller.accepted(), 0);
    clock.advance(60000);
    QJsonObject after = controller.stateJson();
    for (const char *key : {"angles", "targets", "light", "games", "medians", "servoId", "action", "motion"})
        QCOMPARE(after.value(key), before.value(key));
    const QJsonObject last = at(after, "frames/last").toArray().last().toObject();
    QCOMPARE(last.value("accepted").toBool(), false);
    QCOMPARE(last.value("detail").toString(), q(outcome.detail));
}

void TestArmProtocol::checksumLetterCaseDoesNotMatter()
{
    ManualArmClock clock;
    ArmController controller(clock);
    for (const char *frame : {"$0C02010F#", "$0C02010f#", "$150141A#", "$150141a#", "$1302141A#", "$0a02030F#"})
        QVERIFY2(controller.handleFrame(frame, Link).accepted, frame);
}

void TestArmProtocol::jointAngleReplyReadsBackWithTheProgramsRules_data()
{
    QTest::addColumn<Pose>("pose");
    QTest::addColumn<QString>("reply");
    QTest::newRow("middle") << Pose{90, 90, 90, 90, 90, 180} << "$03200609009009009009018093#";
    QTest::newRow("small and wide angles") << Pose{0, 7, 45, 180, 270, 1} << "$03200600000704518027000114#";
    QTest::newRow("checksum wraps") << Pose{180, 180, 180, 180, 270, 180} << "$032006180180180180270180af#";
}

void TestArmProtocol::jointAngleReplyReadsBackWithTheProgramsRules()
{
    QFETCH(Pose, pose);
    QFETCH(QString, reply);
    ManualArmClock clock;
    ArmController controller(clock);
    QVERIFY(controller.handleFrame(AllServos(pose, 1000), Link).accepted);
    clock.advance(1000);
    const ArmController::Outcome outcome = controller.handleFrame(RequestAngles(), Link);
    QVERIFY(outcome.accepted);
    // Junk around the reply is what a serial line may carry; the assembler must still find it whole.
    QCOMPARE(cut("\x01zz#" + outcome.reply + "##"), QStringList{reply});
}

void TestArmProtocol::versionReply_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<QString>("expected");
    QTest::newRow("1.0") << 1 << 0 << "$01021004#";
    QTest::newRow("1.3") << 1 << 3 << "$01021307#";
    QTest::newRow("9.9") << 9 << 9 << "$01029915#";
}

void TestArmProtocol::versionReply()
{
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(QString, expected);
    ManualArmClock clock;
    ArmController controller(clock);
    controller.setVersion(major, minor);
    const std::string reply = controller.versionReply();
    QCOMPARE(q(reply), expected);
    const QStringList frames = cut(reply);
    QCOMPARE(frames.size(), 1);
    // The panel reads the major digit at position 5 and the minor at 6.
    QCOMPARE(frames.first().at(5).digitValue(), major);
    QCOMPARE(frames.first().at(6).digitValue(), minor);
}

void TestArmProtocol::logLinesNameTheCommandOrTheReason()
{
    ManualArmClock clock;
    ArmController controller(clock);
    QStringList lines;
    controller.setLogger([&](const QString &line) { lines << line; });
    controller.handleFrame(SingleServo(3, 95), Link);
    controller.handleFrame(AllServos({90, 90, 90, 90, 110, 180}, 500), Link);
    controller.handleFrame("$0407030956e#", Link);
    controller.handleFrame(std::string("$04\x1b[2J\n#"), Link);
    controller.noteOverlong(Link);
    QCOMPARE(lines.size(), 5);
    QVERIFY2(lines[0].startsWith(QLatin1String("rx 04 servo=3 angle=95")), qPrintable(lines[0]));
    QVERIFY2(lines[1].startsWith(QLatin1String("rx 05 angles=90,90,90,90,110,180 time=500")), qPrintable(lines[1]));
    QVERIFY2(lines[2].startsWith(QLatin1String("rx rejected $0407030956e#: checksum 6e, expected 6d")),
             qPrintable(lines[2]));
    // Control characters from the line never reach the terminal the log is printed on.
    QVERIFY2(lines[3].contains(QLatin1String("\\x1b")) && !lines[3].contains(QChar(0x1b)) &&
                 !lines[3].contains(QLatin1Char('\n')),
             qPrintable(lines[3]));
    QVERIFY(lines[4].contains(QLatin1String("81 characters")));
    QCOMPARE(controller.rejected(), 3);
}

void TestArmProtocol::historyKeepsTheLatestFrames()
{
    ManualArmClock clock;
    ArmController controller(clock);
    for (int i = 0; i < ArmController::HistorySize + 10; ++i)
        controller.handleFrame(Threshold(i), Link);
    const QJsonArray last = at(controller.stateJson(), "frames/last").toArray();
    QCOMPARE(last.size(), ArmController::HistorySize);
    QCOMPARE(last.first().toObject().value("text").toString(), q(Threshold(10)));
    QCOMPARE(last.last().toObject().value("text").toString(), q(Threshold(ArmController::HistorySize + 9)));
}

QTEST_GUILESS_MAIN(TestArmProtocol)
#include "tst_armprotocol.moc"
