#include "link/CommandFrames.h"
#include "link/FrameAssembler.h"
#include "link/FrameChecksum.h"

#include <QtTest>

#include <vector>

using namespace CommandFrames;

class TestCommandFrames : public QObject
{
    Q_OBJECT

private slots:
    void catalogue_data();
    void catalogue();
    void checksumWrapsAndNegatives();
    void wideTimeKeepsItsDigits();
    void trackingChecksumsHaveTwoDigits();
    void thresholdRange();
    void assembler_data();
    void assembler();
    void assemblerKeepsStateAcrossFeeds();
};

void TestCommandFrames::catalogue_data()
{
    QTest::addColumn<QString>("built");
    QTest::addColumn<QString>("expected");
    auto row = [](const char *name, const std::string &built, const char *expected) {
        QTest::newRow(name) << QString::fromStdString(built) << QString::fromLatin1(expected);
    };
    row("angles request", RequestAngles(), "$0302060b#");
    row("servo 1 at 90", SingleServo(1, 90), "$04070109066#");
    row("servo 3 at 95", SingleServo(3, 95), "$0407030956d#");
    row("servo 6 at 180", SingleServo(6, 180), "$040706180c5#");
    row("pose over 500", AllServos({90, 90, 90, 90, 110, 180}, 500), "$05200609009009009011018005009d#");
    row("pose over 1000 wraps", AllServos({90, 90, 90, 90, 90, 180}, 1000), "$05200609009009009009018010007d#");
    row("servo id 5", WriteServoId(5), "$0602050d#");
    row("middle", Middle(), "$070007#");
    row("action 1", RunAction(1), "$0802010b#");
    row("action 2", RunAction(2), "$0802020c#");
    row("action 9", RunAction(9), "$08020913#");
    row("action 10", RunAction(10), "$08021014#");
    row("action 15", RunAction(15), "$08021519#");
    row("stop", Stop(), "$090100a#");
    row("restore", Restore(), "$090110b#");
    row("median 3", SetMedian(3), "$0A02030f#");
    row("restore medians", RestoreMedians(), "$0A02000c#");
    row("light red", SetLight(Light::Red), "$0C02010F#");
    row("light green", SetLight(Light::Green), "$0C020210#");
    row("light blue", SetLight(Light::Blue), "$0C020311#");
    row("light off", SetLight(Light::Off), "$0C02000E#");
    row("light on", SetLight(Light::On), "$0C020412#");
    row("face on", FaceTracking(true), "$0F01111#");
    row("face off", FaceTracking(false), "$0F01010#");
    row("colour off", ColourTracking(0), "$10010011#");
    row("colour red", ColourTracking(1), "$10010112#");
    row("colour yellow", ColourTracking(4), "$10010415#");
    row("interaction", ColourInteraction(), "$10020517#");
    row("start tracking", StartTracking(), "$10020618#");
    row("area start", CalibrationArea(CalibrationStep::Start), "$11020114#");
    row("area ok", CalibrationArea(CalibrationStep::Confirm), "$11020215#");
    row("area cancel", CalibrationArea(CalibrationStep::Cancel), "$11020316#");
    row("calibrate yellow", CalibrateColour(CalibrationStep::Start, 4), "$1302141a#");
    row("calibrate red", CalibrateColour(CalibrationStep::Start, 1), "$13021117#");
    row("calibrate ok yellow", CalibrateColour(CalibrationStep::Confirm, 4), "$1302241b#");
    row("calibrate cancel yellow", CalibrateColour(CalibrationStep::Cancel, 4), "$1302341c#");
    row("up", MoveArea(AreaMove::Up), "$1501117#");
    row("down", MoveArea(AreaMove::Down), "$1501218#");
    row("left", MoveArea(AreaMove::Left), "$1501319#");
    row("right", MoveArea(AreaMove::Right), "$150141A#");
    row("threshold 0", Threshold(0), "$140300017#");
    row("threshold 90", Threshold(90), "$140309071#");
    row("threshold 232", Threshold(232), "$1403232ff#");
    row("threshold 233 wraps", Threshold(233), "$140323300#");
    row("threshold 255", Threshold(255), "$140325516#");
    row("sorting order none", ColourSorting(false, "0000"), "$0D060000013#");
    row("sorting order rgby", ColourSorting(false, "1234"), "$0D06012341d#");
    row("sorting start rgby", ColourSorting(true, "1234"), "$0D06112341e#");
    row("stacking order rgby", ColourStacking(false, "1234"), "$0E06012341e#");
    row("stacking start rgby", ColourStacking(true, "1234"), "$0E06112341f#");
    row("sorting all yellow", ColourSorting(false, "4444"), "$0D060444423#");
    row("garbage recognition", GarbageRecognition(), "$12020115#");
    row("garbage sorting", GarbageSorting(), "$12020216#");
}

void TestCommandFrames::catalogue()
{
    QFETCH(QString, built);
    QFETCH(QString, expected);
    QCOMPARE(built, expected);
}

void TestCommandFrames::checksumWrapsAndNegatives()
{
    QCOMPARE(FrameChecksum(0x05, 20, {6, 90, 90, 90, 90, 110, 180, 500}), 0x9d);
    QCOMPARE(FrameChecksum(0x0C, 2, {1}), 0x0f);
    // A negative field still yields a byte, so the frame keeps its two checksum digits.
    const int c = FrameChecksum(0x04, 7, {1, -20});
    QVERIFY(c >= 0 && c <= 255);
    QCOMPARE(c, (4 + 7 + 1 - 20 + 256) % 256);
    const std::string frame = AllServos({0, 0, 0, 0, 0, 0}, -5);
    QCOMPARE(QString::fromStdString(frame), QStringLiteral("$052006000000000000000000-0051a#"));
}

void TestCommandFrames::wideTimeKeepsItsDigits()
{
    // %04d sets only a minimum width: a five-digit time is printed whole and summed whole.
    const std::string frame = AllServos({90, 90, 90, 90, 90, 180}, 12345);
    const int checksum = (31 + 630 + 12345) % 256;
    char expected[64];
    std::snprintf(expected, sizeof expected, "$05200609009009009009018012345%02x#", checksum);
    QCOMPARE(QString::fromStdString(frame), QString::fromLatin1(expected));
    QCOMPARE(AllServos({180, 180, 180, 180, 270, 180}, 9999).size(), size_t(32));
}

void TestCommandFrames::trackingChecksumsHaveTwoDigits()
{
    for (int colour = 0; colour <= 4; ++colour)
        QCOMPARE(ColourTracking(colour).size(), size_t(10));
    QCOMPARE(FaceTracking(true).size(), size_t(9));
    QCOMPARE(FaceTracking(false).size(), size_t(9));
}

void TestCommandFrames::thresholdRange()
{
    for (int p = 0; p <= 255; ++p) {
        const std::string frame = Threshold(p);
        QCOMPARE(frame.size(), size_t(11));
        const int checksum = std::stoi(frame.substr(8, 2), nullptr, 16);
        QCOMPARE(checksum, (0x17 + p) % 256);
    }
}

void TestCommandFrames::assembler_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("frames");
    const QByteArray body79(79, 'x');
    const QByteArray body80(80, 'x');
    QTest::newRow("plain") << QByteArray("$0102104#") << QStringList{"$0102104#"};
    QTest::newRow("garbage before") << QByteArray("zz#q$0302060b#") << QStringList{"$0302060b#"};
    QTest::newRow("stray hash dropped") << QByteArray("##$01#") << QStringList{"$01#"};
    QTest::newRow("dollar inside is ordinary") << QByteArray("$ab$cd#") << QStringList{"$ab$cd#"};
    QTest::newRow("two in a row") << QByteArray("$1#$2#") << QStringList{"$1#", "$2#"};
    QTest::newRow("81 with hash is a frame")
        << ("$" + body79 + "#") << QStringList{QString::fromLatin1("$" + body79 + "#")};
    QTest::newRow("81 without hash abandoned")
        << ("$" + body80 + "#$ok#") << QStringList{"$ok#"};
    QTest::newRow("abandoned then next dollar")
        << ("$" + body80 + "junk$ok#") << QStringList{"$ok#"};
    QTest::newRow("empty") << QByteArray() << QStringList{};
    QTest::newRow("unterminated") << QByteArray("$0302") << QStringList{};
}

void TestCommandFrames::assembler()
{
    QFETCH(QByteArray, input);
    QFETCH(QStringList, frames);
    QStringList got;
    FrameAssembler assembler([&](const std::string &f) { got << QString::fromStdString(f); });
    for (char c : input)
        assembler.Feed(c);
    QCOMPARE(got, frames);
}

void TestCommandFrames::assemblerKeepsStateAcrossFeeds()
{
    // A frame cut by a disconnection is completed by what arrives later.
    std::vector<std::string> got;
    FrameAssembler assembler([&](const std::string &f) { got.push_back(f); });
    for (char c : std::string("$03200"))
        assembler.Feed(c);
    QVERIFY(assembler.collecting());
    QCOMPARE(assembler.count(), 6);
    for (char c : std::string("6#"))
        assembler.Feed(c);
    QCOMPARE(got.size(), size_t(1));
    QCOMPARE(QString::fromStdString(got[0]), QStringLiteral("$032006#"));
    QVERIFY(!assembler.collecting());
    QCOMPARE(assembler.count(), 0);
}

QTEST_GUILESS_MAIN(TestCommandFrames)
#include "tst_commandframes.moc"
