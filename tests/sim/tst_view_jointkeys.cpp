#include "sim/JointKeys.h"

#include <QTest>

#include <limits>

namespace {

// A key on a pose with one joint (5: the fingers, left then right) away from 0, that joint after
// it and the servo and value it names.
struct Row { const char *name; int key, joint; float before, after; int servo, value; float rightBefore = 0, rightAfter = 0; };
const Row rows[] = {
    {"A turns joint 1 up", Qt::Key_A, 0, 0, 1, 1, 1},
    {"D turns joint 1 down", Qt::Key_D, 0, 0, -1, 1, -1},
    {"S joint 2 up", Qt::Key_S, 1, 0, 1, 2, 1},
    {"W joint 2 down", Qt::Key_W, 1, 0, -1, 2, -1},
    {"G joint 3 up", Qt::Key_G, 2, 0, 1, 3, 1},
    {"T joint 3 down", Qt::Key_T, 2, 0, -1, 3, -1},
    {"H joint 4 up", Qt::Key_H, 3, 0, 1, 4, 1},
    {"F joint 4 down", Qt::Key_F, 3, 0, -1, 4, -1},
    {"L joint 5 up", Qt::Key_L, 4, 0, 1, 5, 1},
    {"J joint 5 down", Qt::Key_J, 4, 0, -1, 5, -1},
    {"I opens both fingers", Qt::Key_I, 5, 0, -1, 6, -1, 0, 1},
    {"K closes both fingers", Qt::Key_K, 5, 0, 1, 6, 1, 0, -1},
    // At the ends of the ranges the key still reports the angle.
    {"S at 89.5 stops at 90", Qt::Key_S, 1, 89.5f, 90, 2, 90},
    {"T at -89.5 stops at -90", Qt::Key_T, 2, -89.5f, -90, 3, -90},
    // Joint 5 can stand far beyond 90 (its servo turns 270 degrees); the key pulls it back.
    {"L from 150 snaps to 90", Qt::Key_L, 4, 150, 90, 5, 90},
    {"J from 150 just steps", Qt::Key_J, 4, 150, 149, 5, 149},
    // The fingers clamp separately: each is held only at its own end of the range.
    {"I with uneven fingers", Qt::Key_I, 5, -30, -31, 6, -31, 89.5f, 90},
    {"K with the right finger open", Qt::Key_K, 5, 2.5f, 3, 6, 3, 40, 39},
    {"K snaps a finger past closed", Qt::Key_K, 5, -20, -19, 6, -19, -40, -3},
};

} // namespace

class TestJointKeys : public QObject
{
    Q_OBJECT

private slots:
    void keys_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(std::size(rows)); ++i)
            QTest::newRow(rows[i].name) << i;
    }

    void keys()
    {
        QFETCH(int, row);
        const Row &r = rows[row];
        ArmPose pose, want;
        float *const joints[] = {&pose.joint1, &pose.joint2, &pose.joint3, &pose.joint4, &pose.joint5, &pose.fingerLeft};
        float *const wanted[] = {&want.joint1, &want.joint2, &want.joint3, &want.joint4, &want.joint5, &want.fingerLeft};
        *joints[r.joint] = r.before;
        *wanted[r.joint] = r.after;
        pose.fingerRight = r.rightBefore;
        want.fingerRight = r.rightAfter;
        const auto change = JointKeys::apply(r.key, pose);
        QCOMPARE(change ? std::pair(change->servo, change->value) : std::pair(0, 0), std::pair(r.servo, r.value));
        QVERIFY(pose == want);
    }

    void otherKeysAndTruncation()
    {
        ArmPose pose;
        QVERIFY(!JointKeys::apply(Qt::Key_B, pose).has_value() && !JointKeys::apply(0, pose).has_value());
        // Anything that is not a finite number within the int range gives 0.
        const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
        const std::pair<float, int> cases[] = {{2.99f, 2}, {-2.99f, -2}, {nan, 0}, {inf, 0}, {-inf, 0},
            {3.0e9f, 0}, {2147483648.0f, 0}, {-2147483648.0f, std::numeric_limits<int>::min()}};
        for (const auto &[angle, value] : cases)
            QCOMPARE(JointKeys::truncate(angle), value);
    }
};

QTEST_GUILESS_MAIN(TestJointKeys)
#include "tst_view_jointkeys.moc"
