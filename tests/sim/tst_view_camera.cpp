#include "sim/ViewCamera.h"

#include <QTest>

namespace {

// Mouse steps from a starting spin (about X and Z), and the spin and zoom distance after them.
// A step: l / u = left button down / up, r / R = right button down / up, m = move; then x,y.
struct Row { const char *name; float startX, startZ; const char *steps; float spinX, spinZ, eyeZ; };
const Row rows[] = {
    {"3 down 5 right turns 1 about X and 2 about Z", 0, 0, "l100,100 m105,103", 1, 2, -100},
    {"X at 360 wraps on the next step", 360, 0, "l0,0 m0,2", 1, 0, -100},
    {"Z past 360 wraps even without motion", 0, 400, "l0,0 m0,0", 0, 40, -100},
    {"below 360 nothing wraps", 359, -720, "l0,0 m0,4", 361, -720, -100},
    {"release adds the last stretch", 0, 0, "l0,0 m10,10 u20,30", 15, 10, -100},
    {"moves after the release do nothing", 0, 0, "l0,0 u0,0 m50,50", 0, 0, -100},
    {"10 pixels up zooms out to -110", 0, 0, "r50,50 m50,40", 0, 0, -110},
    {"zoom is multiplicative", 0, 0, "r50,50 m50,40 m50,30", 0, 0, -121},
    {"right release elsewhere counts the other way", 0, 0, "r50,50 R50,40", 0, 0, -90},
    {"zoom drag neither turns nor zooms sideways", 0, 0, "r0,0 l0,0 m40,40 m80,40", 0, 0, -60},
    // A zoom step stops at the nearest or farthest distance (not at 0 or beyond), and can come back.
    {"100 down stops at the nearest distance", 0, 0, "r0,500 m0,600", 0, 0, -5},
    {"250 down does not turn the camera round", 0, 0, "r0,500 m0,750 m0,730", 0, 0, -6},
    {"far flick up stops at the farthest", 0, 0, "r0,500 m0,-19500 m0,-19480", 0, 0, -4000},
};

} // namespace

// No GUI value types in the data rows: they need a GUI application to be fetched.
class TestViewCamera : public QObject
{
    Q_OBJECT

private slots:
    void drags_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(std::size(rows)); ++i)
            QTest::newRow(rows[i].name) << i;
    }

    void drags()
    {
        QFETCH(int, row);
        const Row &r = rows[row];
        ViewCamera camera;
        camera.setSpin(QVector3D(r.startX, 0, r.startZ));
        for (const QString &step : QString::fromLatin1(r.steps).split(' ')) {
            const QStringList xy = step.mid(1).split(',');
            const QPoint at(xy[0].toInt(), xy[1].toInt());
            switch (step[0].toLatin1()) {
            case 'l': camera.leftDown(at); break;
            case 'u': camera.leftUp(at); break;
            case 'r': camera.rightDown(at); break;
            case 'R': camera.rightUp(at); break;
            default: camera.move(at); break;
            }
        }
        QCOMPARE(camera.spin().x(), r.spinX);
        QCOMPARE(camera.spin().y(), 0.0f);
        QCOMPARE(camera.spin().z(), r.spinZ);
        QVERIFY2(qFuzzyCompare(camera.eye().z(), r.eyeZ), qPrintable(QString::number(camera.eye().z())));
        QCOMPARE(camera.tilt(), QVector3D(20, -20, 0));
    }
};

// Its rows hold GUI value types (QVector3D), which need the GUI application to be registered.
QTEST_MAIN(TestViewCamera)
#include "tst_view_camera.moc"
