#include "link/CommandFrames.h"
#include "link/FrameAssembler.h"
#include "tools/armsim/ArmController.h"
#include "tools/armsim/ManualArmClock.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

using namespace CommandFrames;

namespace {

const QString Link = QStringLiteral("test");

QJsonValue at(const QJsonObject &state, const QString &path)
{
    QJsonValue v = state;
    for (const QString &key : path.split(QLatin1Char('/')))
        v = v.toObject().value(key);
    return v;
}

QString compact(const QJsonValue &v)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact));
}

QString q(const std::string &s)
{
    return QString::fromStdString(s);
}

} // namespace

class TestArmProtocol : public QObject
{
    Q_OBJECT

private slots:
    void frames_data();
    void frames();
    void repliesAreCutWholeFromNoise();
    void logLinesAreSafeForATerminal();
};

// An empty path means the frame is refused and "expected" is part of the reason.
void TestArmProtocol::frames_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    auto ok = [](const char *name, const std::string &frame, const char *path, const char *expected,
                 QStringList before = {}) {
        QTest::newRow(name) << before << q(frame) << QString::fromLatin1(path) << QString::fromLatin1(expected);
    };
    auto bad = [](const char *name, const std::string &frame, const char *reason) {
        QTest::newRow(name) << QStringList{} << q(frame) << QString() << QString::fromLatin1(reason);
    };
    ok("single servo", SingleServo(3, 95), "angles", "[90,90,95,90,90,180]");
    ok("servo 6 at 180", SingleServo(6, 180), "angles", "[90,90,90,90,90,180]", {q(SingleServo(6, 10))});
    ok("six servos, negative time", AllServos({10, 20, 30, 40, 50, 60}, -100), "angles", "[10,20,30,40,50,60]");
    ok("middle", Middle(), "angles", "[90,90,90,90,90,180]", {q(AllServos({0, 0, 0, 0, 0, 0}, 0))});
    ok("run action 15", RunAction(15), "action", "15");
    ok("restore", Restore(), "frozen", "false", {q(Stop())});
    ok("light off", SetLight(Light::Off), "light", "\"off\"", {q(SetLight(Light::On))});
    ok("checksum in capitals", "$0C02010F#", "light", "\"red\"");
    ok("area up", MoveArea(AreaMove::Up), "games/calibration/areaOffset", "{\"x\":0,\"y\":-1}");
    ok("threshold 255", Threshold(255), "games/calibration/threshold", "255");
    ok("order with a fifth digit", "$0D060123401d#", "games/sorting/order", "\"1234\"");
    bad("checksum off by one", "$0407030956e#", "checksum 6e, expected 6d");
    bad("six servos, time changed", "$05200609009009009009018010067d#", "checksum 7d, expected 83");
    bad("checksum not hex", "$0407030956g#", "not hexadecimal");
    bad("length field of the data size", "$0405030956b#", "length field 05");
    bad("length field not decimal", "$04x7030956d#", "not decimal");
    bad("reply code 01", "$01021004#", "unknown command code 01");
    bad("too short", "$04#", "not a frame");
    bad("data too short", "$040701906a#", "does not fit");
    bad("data with a letter", "$04070a09065#", "not a number");
    bad("servo 7", SingleServo(7, 90), "servo 7");
    bad("action 16", RunAction(16), "no action group 16");
    bad("light 5", "$0C020513#", "light value 5");
    bad("write id 0", WriteServoId(0), "cannot be written");
    bad("threshold 256", "$140325617#", "threshold 256");
    bad("order colour 7", "$0D06070001a#", "colour code 7");
    bad("pose of five servos", "$05200509009009009011018005009c#", "5 servos");
}

void TestArmProtocol::frames()
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
    const QJsonObject initial = controller.stateJson();
    const ArmController::Outcome outcome = controller.handleFrame(frame.toStdString(), Link);
    QVERIFY(outcome.reply.empty());
    if (path != QLatin1String("action"))
        clock.advance(60000);
    const QJsonObject state = controller.stateJson();
    const QJsonObject last = at(state, "frames/last").toArray().last().toObject();
    QCOMPARE(last.value("text").toString(), frame);
    if (path.isEmpty()) {
        QVERIFY(!outcome.accepted);
        QVERIFY2(q(outcome.detail).contains(expected), outcome.detail.c_str());
        QCOMPARE(controller.rejected(), 1);
        QCOMPARE(last.value("detail").toString(), q(outcome.detail));
        for (const char *key : {"angles", "targets", "light", "games", "medians", "servoId", "action", "motion"})
            QCOMPARE(state.value(key), initial.value(key));
    } else {
        QVERIFY2(outcome.accepted, outcome.detail.c_str());
        QCOMPARE(controller.rejected(), 0);
        const QJsonValue want = QJsonDocument::fromJson(("[" + expected + "]").toUtf8()).array().at(0);
        QCOMPARE(compact(at(state, path)), compact(want));
    }
}

void TestArmProtocol::repliesAreCutWholeFromNoise()
{
    ManualArmClock clock;
    ArmController controller(clock);
    controller.setVersion(9, 3);
    QVERIFY(controller.handleFrame(AllServos({180, 7, 45, 180, 270, 1}, 1000), Link).accepted);
    clock.advance(1000);
    const ArmController::Outcome outcome = controller.handleFrame(RequestAngles(), Link);
    QStringList frames;
    FrameAssembler assembler([&](const std::string &f) { frames << q(f); });
    for (char c : "\x01zz#" + outcome.reply + "##" + controller.versionReply())
        assembler.Feed(c);
    QCOMPARE(frames, (QStringList{"$032006180007045180270001c8#", "$0102930f#"}));
}

void TestArmProtocol::logLinesAreSafeForATerminal()
{
    ManualArmClock clock;
    ArmController controller(clock);
    QStringList lines;
    controller.setLogger([&](const QString &line) { lines << line; });
    controller.handleFrame(AllServos({90, 90, 90, 90, 110, 180}, 500), Link);
    controller.handleFrame(std::string("$04\x1b[2J\n#"), Link);
    controller.noteOverlong(Link);
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines[0].startsWith(QLatin1String("rx 05 angles=90,90,90,90,110,180 time=500")), qPrintable(lines[0]));
    QVERIFY2(lines[1].contains(QLatin1String("\\x1b")) && !lines[1].contains(QChar(0x1b)) &&
                 !lines[1].contains(QLatin1Char('\n')),
             qPrintable(lines[1]));
    QVERIFY(lines[2].contains(QLatin1String("81 characters")));
}

QTEST_GUILESS_MAIN(TestArmProtocol)
#include "tst_armprotocol.moc"
