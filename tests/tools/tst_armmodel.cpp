#include "tools/armsim/ActionGroups.h"
#include "tools/armsim/ArmModel.h"
#include "tools/armsim/ManualArmClock.h"

#include <QtTest>

using Angles = std::array<int, 6>;
Q_DECLARE_METATYPE(Angles)

namespace {

constexpr Angles Middle{90, 90, 90, 90, 90, 180};

QString show(const ArmModel::Pose &pose)
{
    QStringList parts;
    for (double v : pose)
        parts << QString::number(v, 'f', 2);
    return parts.join(' ');
}

bool samePose(const ArmModel::Pose &a, const Angles &b)
{
    for (int i = 0; i < 6; ++i)
        if (std::fabs(a[i] - b[i]) > 1e-6)
            return false;
    return true;
}

#define COMPARE_POSE(pose, expected)                                                                   \
    QVERIFY2(samePose((pose), (expected)), qPrintable(show(pose)))

} // namespace

class TestArmModel : public QObject
{
    Q_OBJECT

private slots:
    void poseMovesLinearlyOverItsTime_data();
    void poseMovesLinearlyOverItsTime();
    void singleServoTravelsAtServoSpeed();
    void newTargetStartsFromWhereTheServoIs();
    void anglesAreClampedToEachServosRange_data();
    void anglesAreClampedToEachServosRange();
    void middleReturnsFromAnyPose();
    void stopFreezesAndRestoreResumes();
    void actionGroupsPlayTheirStepsInTurn_data();
    void actionGroupsPlayTheirStepsInTurn();
    void motionCommandCutsAnActionShort();
};

void TestArmModel::poseMovesLinearlyOverItsTime_data()
{
    QTest::addColumn<qint64>("elapsed");
    QTest::addColumn<Angles>("expected");
    // From the middle pose to 30, 150, 90, 10, 270, 0 over 1000 ms.
    QTest::newRow("start") << qint64(0) << Middle;
    QTest::newRow("quarter") << qint64(250) << Angles{75, 105, 90, 70, 135, 135};
    QTest::newRow("half") << qint64(500) << Angles{60, 120, 90, 50, 180, 90};
    QTest::newRow("end") << qint64(1000) << Angles{30, 150, 90, 10, 270, 0};
    QTest::newRow("long after") << qint64(60000) << Angles{30, 150, 90, 10, 270, 0};
}

void TestArmModel::poseMovesLinearlyOverItsTime()
{
    QFETCH(qint64, elapsed);
    QFETCH(Angles, expected);
    ManualArmClock clock;
    clock.set(5000);
    ArmModel arm(clock);
    arm.moveAll({30, 150, 90, 10, 270, 0}, 1000);
    clock.advance(elapsed);
    COMPARE_POSE(arm.angles(), expected);
    QCOMPARE(arm.moving(), elapsed < 1000);
    COMPARE_POSE(arm.targets(), (Angles{30, 150, 90, 10, 270, 0}));
}

void TestArmModel::singleServoTravelsAtServoSpeed()
{
    ManualArmClock clock;
    ArmModel arm(clock);
    arm.moveServo(3, 150); // 60 degrees at 300 per second: 200 ms
    clock.advance(100);
    QCOMPARE(arm.angles()[2], 120.0);
    QCOMPARE(arm.angles()[0], 90.0);
    clock.advance(99);
    QVERIFY(arm.moving());
    clock.advance(1);
    QCOMPARE(arm.angles()[2], 150.0);
    QVERIFY(!arm.moving());
}

void TestArmModel::newTargetStartsFromWhereTheServoIs()
{
    ManualArmClock clock;
    ArmModel arm(clock);
    arm.moveAll({90, 90, 180, 90, 90, 180}, 0);
    arm.moveAll({90, 90, 80, 90, 90, 180}, 1000);
    clock.advance(500); // halfway from 180 to 80
    QCOMPARE(arm.angles()[2], 130.0);
    arm.moveAll({90, 90, 180, 90, 90, 180}, 1000);
    clock.advance(500); // halfway from 130 back to 180
    QCOMPARE(arm.angles()[2], 155.0);
    // The servo that was not asked to move stays where it was.
    QCOMPARE(arm.angles()[0], 90.0);
}

void TestArmModel::anglesAreClampedToEachServosRange_data()
{
    QTest::addColumn<int>("servo");
    QTest::addColumn<int>("angle");
    QTest::addColumn<double>("expected");
    QTest::newRow("servo 1 above 180") << 1 << 250 << 180.0;
    QTest::newRow("servo 5 reaches 270") << 5 << 270 << 270.0;
    QTest::newRow("servo 5 above 270") << 5 << 999 << 270.0;
    QTest::newRow("servo 6 at 180") << 6 << 180 << 180.0;
    QTest::newRow("negative angle") << 2 << -5 << 0.0;
}

void TestArmModel::anglesAreClampedToEachServosRange()
{
    QFETCH(int, servo);
    QFETCH(int, angle);
    QFETCH(double, expected);
    ManualArmClock clock;
    ArmModel arm(clock);
    arm.moveServo(servo, angle);
    clock.advance(10000);
    QCOMPARE(arm.angles()[servo - 1], expected);
}

void TestArmModel::middleReturnsFromAnyPose()
{
    ManualArmClock clock;
    ArmModel arm(clock);
    arm.moveAll({0, 180, 30, 150, 270, 0}, 0);
    arm.middle();
    QVERIFY(arm.moving());
    // The farthest servo (5: 180 degrees away) needs 600 ms.
    clock.advance(599);
    QVERIFY(arm.moving());
    clock.advance(1);
    COMPARE_POSE(arm.angles(), Middle);
    QVERIFY(!arm.moving());
}

void TestArmModel::stopFreezesAndRestoreResumes()
{
    ManualArmClock clock;
    ArmModel arm(clock);
    arm.moveAll({90, 180, 90, 90, 90, 180}, 1000); // servo 2 goes 90 -> 180
    clock.advance(400);
    QCOMPARE(arm.angles()[1], 126.0);
    arm.freeze();
    QVERIFY(arm.frozen());
    QVERIFY(!arm.moving());
    clock.advance(5000);
    QCOMPARE(arm.angles()[1], 126.0);
    arm.freeze(); // a second stop changes nothing
    clock.advance(100);
    arm.resume();
    QVERIFY(arm.moving());
    QCOMPARE(arm.angles()[1], 126.0);
    clock.advance(300);
    QCOMPARE(arm.angles()[1], 153.0);
    arm.resume(); // a second restore changes nothing
    clock.advance(300);
    QCOMPARE(arm.angles()[1], 180.0);
    QVERIFY(!arm.moving());
}

void TestArmModel::actionGroupsPlayTheirStepsInTurn_data()
{
    QTest::addColumn<int>("number");
    for (int n = 1; n <= ActionGroups::Count; ++n)
        QTest::addRow("group %d", n) << n;
}

void TestArmModel::actionGroupsPlayTheirStepsInTurn()
{
    QFETCH(int, number);
    ManualArmClock clock;
    ArmModel arm(clock);
    QVERIFY(!arm.runAction(0) && !arm.runAction(ActionGroups::Count + 1));
    QVERIFY(arm.runAction(number));
    QCOMPARE(arm.runningAction(), number);
    for (const ActionGroups::Step &step : ActionGroups::Steps(number)) {
        clock.advance(step.timeMs);
        COMPARE_POSE(arm.angles(), step.angles);
    }
    QCOMPARE(arm.runningAction(), 0);
    QVERIFY(!arm.moving());
    // Every group leaves the arm in the middle pose, ready for the next command.
    COMPARE_POSE(arm.angles(), Middle);
}

void TestArmModel::motionCommandCutsAnActionShort()
{
    ManualArmClock clock;
    ArmModel arm(clock);
    QVERIFY(arm.runAction(3));
    clock.advance(700);
    const double servo1 = arm.angles()[0];
    arm.moveServo(2, 100);
    QCOMPARE(arm.runningAction(), 0);
    clock.advance(20000);
    QCOMPARE(arm.angles()[0], servo1);
    QCOMPARE(arm.angles()[1], 100.0);
}

QTEST_GUILESS_MAIN(TestArmModel)
#include "tst_armmodel.moc"
