#include "sim/ViewCamera.h"

#include <QtTest>

#include <vector>

// One mouse step of a drag: what happened and where.
struct MouseStep
{
    enum Kind { LeftDown, LeftUp, RightDown, RightUp, Move } kind;
    QPoint at;
};
Q_DECLARE_METATYPE(std::vector<MouseStep>)

class TestViewCamera : public QObject
{
    Q_OBJECT

private slots:
    void startsAtTheFixedTilt();
    void drags_data();
    void drags();
    void zoomStaysInFrontOfTheEye_data();
    void zoomStaysInFrontOfTheEye();
};

void TestViewCamera::startsAtTheFixedTilt()
{
    ViewCamera camera;
    camera.leftDown({5, 5});
    camera.move({40, 80});
    camera.rightDown({1, 1});
    camera.reset();
    QCOMPARE(camera.tilt(), QVector3D(20, -20, 0));
    QCOMPARE(camera.eye(), QVector3D(0, 0, -100));
    QCOMPARE(camera.spin(), QVector3D(0, 0, 0));
    QVERIFY(!camera.leftDrag());
    QVERIFY(!camera.rightDrag());
}

void TestViewCamera::drags_data()
{
    QTest::addColumn<QVector3D>("startSpin");
    QTest::addColumn<std::vector<MouseStep>>("steps");
    QTest::addColumn<QVector3D>("spin");
    QTest::addColumn<float>("eyeZ");

    using S = MouseStep;
    const QVector3D zero(0, 0, 0);
    QTest::newRow("3 down 5 right turns 1 about X and 2 about Z")
        << zero << std::vector<S>{{S::LeftDown, {100, 100}}, {S::Move, {105, 103}}} << QVector3D(1, 0, 2) << -100.0f;
    QTest::newRow("-3 pixels round toward zero")
        << zero << std::vector<S>{{S::LeftDown, {100, 100}}, {S::Move, {97, 97}}} << QVector3D(-1, 0, -1) << -100.0f;
    QTest::newRow("single pixels never turn")
        << zero
        << std::vector<S>{{S::LeftDown, {100, 100}}, {S::Move, {101, 101}}, {S::Move, {102, 102}}, {S::Move, {103, 103}}}
        << QVector3D(0, 0, 0) << -100.0f;
    QTest::newRow("X at 360 wraps on the next step")
        << QVector3D(360, 0, 0) << std::vector<S>{{S::LeftDown, {0, 0}}, {S::Move, {0, 2}}} << QVector3D(1, 0, 0) << -100.0f;
    QTest::newRow("Z past 360 wraps even without motion")
        << QVector3D(0, 0, 400) << std::vector<S>{{S::LeftDown, {0, 0}}, {S::Move, {0, 0}}} << QVector3D(0, 0, 40) << -100.0f;
    QTest::newRow("below 360 nothing wraps")
        << QVector3D(359, 0, -720) << std::vector<S>{{S::LeftDown, {0, 0}}, {S::Move, {0, 4}}} << QVector3D(361, 0, -720)
        << -100.0f;
    QTest::newRow("release adds the last stretch")
        << zero << std::vector<S>{{S::LeftDown, {0, 0}}, {S::Move, {10, 10}}, {S::LeftUp, {20, 30}}}
        << QVector3D(15, 0, 10) << -100.0f;
    QTest::newRow("release where the last move ended adds nothing")
        << zero << std::vector<S>{{S::LeftDown, {0, 0}}, {S::Move, {10, 10}}, {S::LeftUp, {10, 10}}}
        << QVector3D(5, 0, 5) << -100.0f;
    QTest::newRow("moves after the release do nothing")
        << zero << std::vector<S>{{S::LeftDown, {0, 0}}, {S::LeftUp, {0, 0}}, {S::Move, {50, 50}}} << zero << -100.0f;
    QTest::newRow("10 pixels up zooms out to -110")
        << zero << std::vector<S>{{S::RightDown, {50, 50}}, {S::Move, {50, 40}}} << zero << -110.0f;
    QTest::newRow("10 pixels down brings the scene closer")
        << zero << std::vector<S>{{S::RightDown, {50, 50}}, {S::Move, {50, 60}}} << zero << -90.0f;
    QTest::newRow("zoom is multiplicative")
        << zero << std::vector<S>{{S::RightDown, {50, 50}}, {S::Move, {50, 40}}, {S::Move, {50, 30}}} << zero << -121.0f;
    QTest::newRow("right release at the last move adds nothing")
        << zero << std::vector<S>{{S::RightDown, {50, 50}}, {S::Move, {50, 40}}, {S::RightUp, {50, 40}}} << zero
        << -110.0f;
    QTest::newRow("right release elsewhere counts the other way")
        << zero << std::vector<S>{{S::RightDown, {50, 50}}, {S::RightUp, {50, 40}}} << zero << -90.0f;
    QTest::newRow("horizontal motion does not zoom")
        << zero << std::vector<S>{{S::RightDown, {50, 50}}, {S::Move, {90, 50}}} << zero << -100.0f;
    QTest::newRow("zoom drag does not turn")
        << zero << std::vector<S>{{S::RightDown, {0, 0}}, {S::LeftDown, {0, 0}}, {S::Move, {40, 40}}} << zero << -60.0f;
}

void TestViewCamera::drags()
{
    QFETCH(QVector3D, startSpin);
    QFETCH(std::vector<MouseStep>, steps);
    QFETCH(QVector3D, spin);
    QFETCH(float, eyeZ);

    ViewCamera camera;
    camera.setSpin(startSpin);
    for (const MouseStep &s : steps) {
        switch (s.kind) {
        case MouseStep::LeftDown: camera.leftDown(s.at); break;
        case MouseStep::LeftUp: camera.leftUp(s.at); break;
        case MouseStep::RightDown: camera.rightDown(s.at); break;
        case MouseStep::RightUp: camera.rightUp(s.at); break;
        case MouseStep::Move:
            camera.move(s.at);
            QCOMPARE(camera.lastMouse(), s.at);
            break;
        }
    }
    QCOMPARE(camera.spin(), spin);
    QVERIFY2(qFuzzyCompare(camera.eye().z(), eyeZ), qPrintable(QString::number(camera.eye().z())));
    QCOMPARE(camera.tilt(), QVector3D(20, -20, 0));
}

void TestViewCamera::zoomStaysInFrontOfTheEye_data()
{
    QTest::addColumn<int>("pixelsDown");
    QTest::addColumn<float>("eyeZ");
    // 100 pixels down in one step would put the eye at 0, from where no zoom could ever move it.
    QTest::newRow("100 down stops at the nearest distance") << 100 << ViewCamera::nearestEyeZ;
    QTest::newRow("250 down does not turn the camera round") << 250 << ViewCamera::nearestEyeZ;
    QTest::newRow("far flick up stops at the farthest distance") << -20000 << ViewCamera::farthestEyeZ;
}

void TestViewCamera::zoomStaysInFrontOfTheEye()
{
    QFETCH(int, pixelsDown);
    QFETCH(float, eyeZ);
    ViewCamera camera;
    camera.rightDown({0, 500});
    camera.move({0, 500 + pixelsDown});
    QCOMPARE(camera.eye().z(), eyeZ);
    // And the operator can always zoom back.
    camera.move({0, 500 + pixelsDown + (pixelsDown > 0 ? -20 : 20)});
    QVERIFY(camera.eye().z() != eyeZ);
}

// Its rows hold GUI value types (QVector3D), which need the GUI application to be registered.
QTEST_MAIN(TestViewCamera)
#include "tst_view_camera.moc"
