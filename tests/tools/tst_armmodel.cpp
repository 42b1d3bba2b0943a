#include "tools/armsim/ActionGroups.h"
#include "tools/armsim/ArmModel.h"
#include "tools/armsim/ManualArmClock.h"

#include <QTest>

using Angles = std::array<int, 6>;

namespace {
constexpr Angles Middle{90, 90, 90, 90, 90, 180};
}

class TestArmModel : public QObject
{
    Q_OBJECT

private slots:
    void poseMovesLinearlyAndClamps()
    {
        const Angles far{30, 150, 90, 10, 270, 0};
        const std::tuple<Angles, qint64, Angles> rows[] = {
            {far, 0, Middle}, {far, 250, {75, 105, 90, 70, 135, 135}}, {far, 1000, far}, {far, 60000, far},
            {{250, -5, 90, 90, 999, 181}, 1000, {180, 0, 90, 90, 270, 180}}, // out of range
        };
        for (const auto &[target, elapsed, expected] : rows) {
            ManualArmClock clock;
            clock.set(5000);
            ArmModel arm(clock);
            arm.moveAll(target, 1000);
            clock.advance(elapsed);
            QVERIFY2(arm.roundedAngles() == expected, qPrintable(QString::number(elapsed)));
            QCOMPARE(arm.moving(), elapsed < 1000);
        }
    }

    void stopFreezesAndRestoreResumes()
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

    void actionGroupsPlayTheirStepsInTurn()
    {
        for (int number = 1; number <= ActionGroups::Count; ++number) {
            ManualArmClock clock;
            ArmModel arm(clock);
            QVERIFY(!arm.runAction(0) && !arm.runAction(ActionGroups::Count + 1));
            QVERIFY(arm.runAction(number));
            for (const ActionGroups::Step &step : ActionGroups::Steps(number)) {
                clock.advance(step.timeMs);
                QVERIFY2(arm.roundedAngles() == step.angles, qPrintable(QString::number(number)));
            }
            QVERIFY(arm.runningAction() == 0 && arm.roundedAngles() == Middle);
            // A motion command cuts a running group short.
            QVERIFY(arm.runAction(number));
            arm.moveServo(2, 100);
            QCOMPARE(arm.runningAction(), 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestArmModel)
#include "tst_armmodel.moc"
