#include "tools/armsim/ActionGroups.h"
#include "tools/armsim/ArmModel.h"
#include "tools/armsim/ManualArmClock.h"

#include <QtTest>

using Angles = std::array<int, 6>;
Q_DECLARE_METATYPE(Angles)

namespace {
constexpr Angles Middle{90, 90, 90, 90, 90, 180};
}

class TestArmModel : public QObject
{
    Q_OBJECT

private slots:
    void poseMovesLinearlyAndClamps_data();
    void poseMovesLinearlyAndClamps();
    void stopFreezesAndRestoreResumes();
    void actionGroupsPlayTheirStepsInTurn_data();
    void actionGroupsPlayTheirStepsInTurn();
};

void TestArmModel::poseMovesLinearlyAndClamps_data()
{
    QTest::addColumn<Angles>("target");
    QTest::addColumn<qint64>("elapsed");
    QTest::addColumn<Angles>("expected");
    const Angles far{30, 150, 90, 10, 270, 0};
    QTest::newRow("start") << far << qint64(0) << Middle;
    QTest::newRow("quarter") << far << qint64(250) << Angles{75, 105, 90, 70, 135, 135};
    QTest::newRow("end") << far << qint64(1000) << far;
    QTest::newRow("long after") << far << qint64(60000) << far;
    QTest::newRow("out of range") << Angles{250, -5, 90, 90, 999, 181} << qint64(1000)
                                  << Angles{180, 0, 90, 90, 270, 180};
}

void TestArmModel::poseMovesLinearlyAndClamps()
{
    QFETCH(Angles, target);
    QFETCH(qint64, elapsed);
    QFETCH(Angles, expected);
    ManualArmClock clock;
    clock.set(5000);
    ArmModel arm(clock);
    arm.moveAll(target, 1000);
    clock.advance(elapsed);
    QCOMPARE(arm.roundedAngles(), expected);
    QCOMPARE(arm.moving(), elapsed < 1000);
}

void TestArmModel::stopFreezesAndRestoreResumes()
{
    ManualArmClock clock;
    ArmModel arm(clock);
    arm.moveAll({90, 180, 90, 90, 90, 180}, 1000);
    clock.advance(400);
    arm.freeze();
    QVERIFY(arm.frozen() && !arm.moving());
    clock.advance(5000);
    QCOMPARE(arm.angles()[1], 126.0);
    arm.resume();
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
    for (const ActionGroups::Step &step : ActionGroups::Steps(number)) {
        clock.advance(step.timeMs);
        QCOMPARE(arm.roundedAngles(), step.angles);
    }
    QCOMPARE(arm.runningAction(), 0);
    QCOMPARE(arm.roundedAngles(), Middle);
    // A motion command cuts a running group short.
    QVERIFY(arm.runAction(number));
    arm.moveServo(2, 100);
    QCOMPARE(arm.runningAction(), 0);
}

QTEST_GUILESS_MAIN(TestArmModel)
#include "tst_armmodel.moc"
