#include "sim/JointKeys.h"

#include <QtTest>

#include <limits>

Q_DECLARE_METATYPE(ArmPose)

namespace {

ArmPose pose(float j1, float j2, float j3, float j4, float j5, float left, float right)
{
    ArmPose p;
    p.joint1 = j1;
    p.joint2 = j2;
    p.joint3 = j3;
    p.joint4 = j4;
    p.joint5 = j5;
    p.fingerLeft = left;
    p.fingerRight = right;
    return p;
}

QString describe(const ArmPose &p)
{
    return QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
        .arg(p.joint1).arg(p.joint2).arg(p.joint3).arg(p.joint4).arg(p.joint5).arg(p.fingerLeft).arg(p.fingerRight);
}

} // namespace

class TestJointKeys : public QObject
{
    Q_OBJECT

private slots:
    void keys_data();
    void keys();
    void otherKeysLeaveThePose();
    void holdingKStopsAtThree();
    void holdingIOpensFully();
    void truncation_data();
    void truncation();
};

void TestJointKeys::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<ArmPose>("before");
    QTest::addColumn<ArmPose>("after");
    QTest::addColumn<int>("servo");
    QTest::addColumn<int>("value");

    const ArmPose zero{};
    QTest::newRow("A turns joint 1 up") << int(Qt::Key_A) << zero << pose(1, 0, 0, 0, 0, 0, 0) << 1 << 1;
    QTest::newRow("D turns joint 1 down") << int(Qt::Key_D) << zero << pose(-1, 0, 0, 0, 0, 0, 0) << 1 << -1;
    QTest::newRow("S joint 2 up") << int(Qt::Key_S) << zero << pose(0, 1, 0, 0, 0, 0, 0) << 2 << 1;
    QTest::newRow("W joint 2 down") << int(Qt::Key_W) << zero << pose(0, -1, 0, 0, 0, 0, 0) << 2 << -1;
    QTest::newRow("G joint 3 up") << int(Qt::Key_G) << zero << pose(0, 0, 1, 0, 0, 0, 0) << 3 << 1;
    QTest::newRow("T joint 3 down") << int(Qt::Key_T) << zero << pose(0, 0, -1, 0, 0, 0, 0) << 3 << -1;
    QTest::newRow("H joint 4 up") << int(Qt::Key_H) << zero << pose(0, 0, 0, 1, 0, 0, 0) << 4 << 1;
    QTest::newRow("F joint 4 down") << int(Qt::Key_F) << zero << pose(0, 0, 0, -1, 0, 0, 0) << 4 << -1;
    QTest::newRow("L joint 5 up") << int(Qt::Key_L) << zero << pose(0, 0, 0, 0, 1, 0, 0) << 5 << 1;
    QTest::newRow("J joint 5 down") << int(Qt::Key_J) << zero << pose(0, 0, 0, 0, -1, 0, 0) << 5 << -1;
    QTest::newRow("I opens both fingers") << int(Qt::Key_I) << zero << pose(0, 0, 0, 0, 0, -1, 1) << 6 << -1;
    QTest::newRow("K closes both fingers") << int(Qt::Key_K) << zero << pose(0, 0, 0, 0, 0, 1, -1) << 6 << 1;

    // At the ends of the ranges the key still reports the (unchanged) angle.
    QTest::newRow("A at 90 stays 90") << int(Qt::Key_A) << pose(90, 0, 0, 0, 0, 0, 0) << pose(90, 0, 0, 0, 0, 0, 0) << 1 << 90;
    QTest::newRow("D at -90 stays") << int(Qt::Key_D) << pose(-90, 0, 0, 0, 0, 0, 0) << pose(-90, 0, 0, 0, 0, 0, 0) << 1 << -90;
    QTest::newRow("S at 89.5 stops at 90") << int(Qt::Key_S) << pose(0, 89.5f, 0, 0, 0, 0, 0) << pose(0, 90, 0, 0, 0, 0, 0) << 2 << 90;
    QTest::newRow("W at -89.5 stops at -90") << int(Qt::Key_W) << pose(0, -89.5f, 0, 0, 0, 0, 0) << pose(0, -90, 0, 0, 0, 0, 0) << 2 << -90;
    QTest::newRow("G at 90") << int(Qt::Key_G) << pose(0, 0, 90, 0, 0, 0, 0) << pose(0, 0, 90, 0, 0, 0, 0) << 3 << 90;
    QTest::newRow("T at -90") << int(Qt::Key_T) << pose(0, 0, -90, 0, 0, 0, 0) << pose(0, 0, -90, 0, 0, 0, 0) << 3 << -90;
    QTest::newRow("H at 90") << int(Qt::Key_H) << pose(0, 0, 0, 90, 0, 0, 0) << pose(0, 0, 0, 90, 0, 0, 0) << 4 << 90;
    QTest::newRow("F at -90") << int(Qt::Key_F) << pose(0, 0, 0, -90, 0, 0, 0) << pose(0, 0, 0, -90, 0, 0, 0) << 4 << -90;
    // Joint 5 can stand far beyond 90 (its servo turns 270 degrees); the key pulls it back in range.
    QTest::newRow("L from 150 snaps to 90") << int(Qt::Key_L) << pose(0, 0, 0, 0, 150, 0, 0) << pose(0, 0, 0, 0, 90, 0, 0) << 5 << 90;
    QTest::newRow("J from 150 just steps") << int(Qt::Key_J) << pose(0, 0, 0, 0, 150, 0, 0) << pose(0, 0, 0, 0, 149, 0, 0) << 5 << 149;
    QTest::newRow("J at -90") << int(Qt::Key_J) << pose(0, 0, 0, 0, -90, 0, 0) << pose(0, 0, 0, 0, -90, 0, 0) << 5 << -90;
    QTest::newRow("K at 3 / -3") << int(Qt::Key_K) << pose(0, 0, 0, 0, 0, 3, -3) << pose(0, 0, 0, 0, 0, 3, -3) << 6 << 3;
    QTest::newRow("I at -90 / 90") << int(Qt::Key_I) << pose(0, 0, 0, 0, 0, -90, 90) << pose(0, 0, 0, 0, 0, -90, 90) << 6 << -90;
    // The fingers clamp separately: each is held only at its own end of the range.
    QTest::newRow("K with the right finger open") << int(Qt::Key_K) << pose(0, 0, 0, 0, 0, 2.5f, 40) << pose(0, 0, 0, 0, 0, 3, 39) << 6 << 3;
    QTest::newRow("K snaps a finger past closed") << int(Qt::Key_K) << pose(0, 0, 0, 0, 0, -20, -40) << pose(0, 0, 0, 0, 0, -19, -3) << 6 << -19;
    QTest::newRow("I with uneven fingers") << int(Qt::Key_I) << pose(0, 0, 0, 0, 0, -30, 89.5f) << pose(0, 0, 0, 0, 0, -31, 90) << 6 << -31;
    // The value is the float cut toward zero, on both sides of zero.
    QTest::newRow("fraction up") << int(Qt::Key_A) << pose(45.7f, 0, 0, 0, 0, 0, 0) << pose(46.7f, 0, 0, 0, 0, 0, 0) << 1 << 46;
    QTest::newRow("fraction down") << int(Qt::Key_D) << pose(-45.7f, 0, 0, 0, 0, 0, 0) << pose(-46.7f, 0, 0, 0, 0, 0, 0) << 1 << -46;
    QTest::newRow("just under one") << int(Qt::Key_W) << pose(0, 1.5f, 0, 0, 0, 0, 0) << pose(0, 0.5f, 0, 0, 0, 0, 0) << 2 << 0;
    QTest::newRow("just above minus one") << int(Qt::Key_S) << pose(0, -1.5f, 0, 0, 0, 0, 0) << pose(0, -0.5f, 0, 0, 0, 0, 0) << 2 << 0;
}

void TestJointKeys::keys()
{
    QFETCH(int, key);
    QFETCH(ArmPose, before);
    QFETCH(ArmPose, after);
    QFETCH(int, servo);
    QFETCH(int, value);

    ArmPose p = before;
    const auto change = JointKeys::apply(key, p);
    QVERIFY(change.has_value());
    QCOMPARE(change->servo, servo);
    QCOMPARE(change->value, value);
    const float got[] = {p.joint1, p.joint2, p.joint3, p.joint4, p.joint5, p.fingerLeft, p.fingerRight};
    const float want[] = {after.joint1, after.joint2, after.joint3, after.joint4, after.joint5, after.fingerLeft, after.fingerRight};
    for (int i = 0; i < 7; ++i)
        QVERIFY2(qFuzzyCompare(1.0f + got[i], 1.0f + want[i]), qPrintable(describe(p) + " / " + describe(after)));
}

void TestJointKeys::otherKeysLeaveThePose()
{
    for (int key : {int(Qt::Key_B), int(Qt::Key_Q), int(Qt::Key_Space), int(Qt::Key_Left), int(Qt::Key_5), 0}) {
        ArmPose p = pose(10, 20, 30, 40, 50, 1, -1);
        QVERIFY(!JointKeys::apply(key, p).has_value());
        QCOMPARE(describe(p), describe(pose(10, 20, 30, 40, 50, 1, -1)));
    }
}

void TestJointKeys::holdingKStopsAtThree()
{
    ArmPose p;
    QList<int> values;
    QList<float> right;
    for (int i = 0; i < 5; ++i) {
        values << JointKeys::apply(Qt::Key_K, p)->value;
        right << p.fingerRight;
    }
    QCOMPARE(values, (QList<int>{1, 2, 3, 3, 3}));
    QCOMPARE(right, (QList<float>{-1, -2, -3, -3, -3}));
}

void TestJointKeys::holdingIOpensFully()
{
    ArmPose p;
    int last = 0;
    for (int i = 0; i < 120; ++i)
        last = JointKeys::apply(Qt::Key_I, p)->value;
    QCOMPARE(last, -90);
    QCOMPARE(p.fingerLeft, -90.0f);
    QCOMPARE(p.fingerRight, 90.0f);
}

void TestJointKeys::truncation_data()
{
    QTest::addColumn<float>("angle");
    QTest::addColumn<int>("value");
    QTest::newRow("positive fraction") << 2.99f << 2;
    QTest::newRow("negative fraction") << -2.99f << -2;
    QTest::newRow("whole") << -90.0f << -90;
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << 0;
    QTest::newRow("infinite") << std::numeric_limits<float>::infinity() << 0;
    QTest::newRow("beyond int") << 3.0e9f << 0;
    QTest::newRow("int minimum") << -2147483648.0f << int(-2147483647 - 1);
}

void TestJointKeys::truncation()
{
    QFETCH(float, angle);
    QFETCH(int, value);
    QCOMPARE(JointKeys::truncate(angle), value);
}

QTEST_GUILESS_MAIN(TestJointKeys)
#include "tst_view_jointkeys.moc"
