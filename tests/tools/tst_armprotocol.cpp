#include "link/CommandFrames.h"
#include "link/FrameAssembler.h"
#include "tools/armsim/ArmController.h"
#include "tools/armsim/ManualArmClock.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

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
QString compact(const QJsonValue &v) { return QString::fromUtf8(QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact)); }
QString q(const std::string &s) { return QString::fromStdString(s); }

} // namespace

class TestArmProtocol : public QObject
{
    Q_OBJECT

    std::unique_ptr<ManualArmClock> m_clock;
    std::unique_ptr<ArmController> m_arm;

private slots:
    void init() { m_clock = std::make_unique<ManualArmClock>(), m_arm = std::make_unique<ArmController>(*m_clock); }

    // An empty path means the frame is refused and "expected" is part of the reason.
    void frames_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        auto ok = [](const char *name, const std::string &frame, QString path, QString expected, QStringList before = {}) {
            QTest::newRow(name) << before << q(frame) << path << expected;
        };
        auto bad = [&ok](const char *name, const std::string &frame, const char *reason) { ok(name, frame, {}, reason); };
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
        bad("checksum not hex", "$0407030956g#", "not hexadecimal"); bad("length field not decimal", "$04x7030956d#", "not decimal");
        bad("length field of the data size", "$0405030956b#", "length field 05");
        bad("reply code 01", "$01021004#", "unknown command code 01");
        bad("too short", "$04#", "not a frame"); bad("data too short", "$040701906a#", "does not fit");
        bad("data with a letter", "$04070a09065#", "not a number"); bad("servo 7", SingleServo(7, 90), "servo 7");
        bad("action 16", RunAction(16), "no action group 16"); bad("light 5", "$0C020513#", "light value 5");
        bad("write id 0", WriteServoId(0), "cannot be written"); bad("threshold 256", "$140325617#", "threshold 256");
        bad("order colour 7", "$0D06070001a#", "colour code 7");
        bad("pose of five servos", "$05200509009009009011018005009c#", "5 servos");
    }

    void frames()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, frame);
        QFETCH(QString, path);
        QFETCH(QString, expected);
        for (const QString &b : before) // a refused one shows in the count of refusals below
            m_arm->handleFrame(b.toStdString(), Link), m_clock->advance(60000);
        const QJsonObject initial = m_arm->stateJson();
        const ArmController::Outcome outcome = m_arm->handleFrame(frame.toStdString(), Link);
        QVERIFY(outcome.reply.empty());
        if (path != QLatin1String("action"))
            m_clock->advance(60000);
        const QJsonObject state = m_arm->stateJson();
        const QJsonObject last = at(state, "frames/last").toArray().last().toObject();
        QCOMPARE(last.value("text").toString(), frame);
        QVERIFY2(outcome.accepted == !path.isEmpty(), outcome.detail.c_str());
        QCOMPARE(m_arm->rejected(), path.isEmpty() ? 1 : 0);
        if (path.isEmpty()) {
            QVERIFY2(q(outcome.detail).contains(expected), outcome.detail.c_str());
            QCOMPARE(last.value("detail").toString(), q(outcome.detail));
            for (const char *key : {"angles", "targets", "light", "games", "medians", "servoId", "action", "motion"})
                QCOMPARE(state.value(key), initial.value(key));
        } else {
            QCOMPARE(compact(at(state, path)), "[" + expected + "]");
        }
    }

    void repliesAreCutWholeFromNoise()
    {
        m_arm->setVersion(9, 3);
        QVERIFY(m_arm->handleFrame(AllServos({180, 7, 45, 180, 270, 1}, 1000), Link).accepted);
        m_clock->advance(1000);
        QStringList frames;
        FrameAssembler assembler([&](const std::string &f) { frames << q(f); });
        for (char c : "\x01zz#" + m_arm->handleFrame(RequestAngles(), Link).reply + "##" + m_arm->versionReply())
            assembler.Feed(c);
        QCOMPARE(frames, (QStringList{"$032006180007045180270001c8#", "$0102930f#"}));
    }

    void logLinesAreSafeForATerminal()
    {
        QStringList lines;
        m_arm->setLogger([&](const QString &line) { lines << line; });
        m_arm->handleFrame(AllServos({90, 90, 90, 90, 110, 180}, 500), Link);
        m_arm->handleFrame(std::string("$04\x1b[2J\n#"), Link);
        m_arm->noteOverlong(Link);
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].startsWith(QLatin1String("rx 05 angles=90,90,90,90,110,180 time=500")), qPrintable(lines[0]));
        QVERIFY2(lines[1].contains(QLatin1String("\\x1b")) && !lines[1].contains(QChar(0x1b)) && !lines[1].contains(QLatin1Char('\n')),
                 qPrintable(lines[1]));
        QVERIFY(lines[2].contains(QLatin1String("81 characters")));
    }
};

QTEST_GUILESS_MAIN(TestArmProtocol)
#include "tst_armprotocol.moc"
