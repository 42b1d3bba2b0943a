#include "sim/ArmPose.h"
#include "sim/CMyKorvaneView.h"
#include "sim/LoaderMessage.h"
#include "sim/ArmPoseModel.h"
#include "sim/ModelTable.h"
#include "tools/gen3ds/AssetWriter.h"

#include <QtTest>

#include "tests/common/GlDriver.h"
#include <QAction>
#include <QMenu>
#include <QOpenGLContext>
#include <QVBoxLayout>

#include <GL/gl.h>
#include <dlfcn.h>
#include <link.h>

#include <cmath>
#include <cstring>
#include <memory>

namespace {

// Gives the test the projection step the framework calls on a resize.
class ExposedView : public CMyKorvaneView
{
public:
    using CMyKorvaneView::CMyKorvaneView;
    using CMyKorvaneView::resizeGL;
};

// Counts the key presses that reach the view's parent, i.e. that the view passed on.
class KeySink : public QWidget
{
public:
    int presses = 0;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        ++presses;
        event->accept();
    }
};

int differingPixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return a.width() * a.height();
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += a.pixel(x, y) != b.pixel(x, y);
    return count;
}

struct PictureStats
{
    double brownish = 0; // share of wood-coloured pixels
    double black = 0;
    double white = 0;
    int colours = 0;
};

PictureStats statsOf(const QImage &image)
{
    PictureStats s;
    QSet<QRgb> colours;
    const double total = double(image.width()) * image.height();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            const int r = qRed(p), g = qGreen(p), b = qBlue(p);
            colours.insert(p & 0xFFFFFF);
            if (r > 70 && r > g + 15 && g > b + 10)
                s.brownish += 1;
            if (r < 10 && g < 10 && b < 10)
                s.black += 1;
            if (r > 200 && g > 200 && b > 200)
                s.white += 1;
        }
    s.brownish /= total;
    s.black /= total;
    s.white /= total;
    s.colours = int(colours.size());
    return s;
}

} // namespace

class TestViewDisplay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void createsItsContextAndLoadsTheArm();
    void texturedRoomAndGridLookDifferent();
    void stageShowsOnlyInTheTexturedRoom();
    void armFollowsThePose();
    void missingPartLeavesAGap();
    void mouseTurnsAndZooms();
    void jointKeys_data();
    void jointKeys();
    void menusAndCheckMarks();
    void zeroHeightKeepsAFiniteProjection();

private:
    void makeView(const QString &folder);
    QImage picture();

    QTemporaryDir m_dir;
    QString m_oldCurrent;
    QStringList m_messages;
    std::unique_ptr<KeySink> m_window;
    ExposedView *m_view = nullptr;
};

void TestViewDisplay::initTestCase()
{
    QVERIFY(m_dir.isValid());
    SetLoaderMessageHook([this](const std::string &caption, const std::string &text) {
        m_messages << QString::fromStdString(caption + ": " + text);
    });
    QVERIFY(gen3ds::AssetWriter::writeAll(m_dir.filePath(QStringLiteral("3DS")).toStdString()).empty());
    m_oldCurrent = QDir::currentPath();
}

void TestViewDisplay::makeView(const QString &folder)
{
    m_window.reset();
    m_view = nullptr;
    // The view reads ./3DS from the current folder, as the program does from its runtime folder.
    QVERIFY(QDir::setCurrent(folder));
    m_window = std::make_unique<KeySink>();
    auto *layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    m_view = new ExposedView(m_window.get());
    layout->addWidget(m_view);
    m_window->resize(480, 360);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTRY_VERIFY(m_view->modelsLoaded());
    keepGlDriverLoaded();
}

void TestViewDisplay::init()
{
    m_messages.clear();
    makeView(m_dir.path());
}

void TestViewDisplay::cleanup()
{
    m_window.reset();
    m_view = nullptr;
    QDir::setCurrent(m_oldCurrent);
}

void TestViewDisplay::cleanupTestCase()
{
    SetLoaderMessageHook({});
}

QImage TestViewDisplay::picture()
{
    return m_view->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
}

void TestViewDisplay::createsItsContextAndLoadsTheArm()
{
    QOpenGLContext *context = m_view->context();
    QVERIFY(context && context->isValid());
    const QSurfaceFormat format = context->format();
    // Immediate-mode drawing needs a context without the core profile's removals.
    QVERIFY(format.profile() != QSurfaceFormat::CoreProfile);
    QVERIFY(format.redBufferSize() >= 8 && format.greenBufferSize() >= 8 && format.blueBufferSize() >= 8);
    QCOMPARE(m_view->format().depthBufferSize(), 32);

    // Idle, nothing is drawn and no timer runs; a change is drawn once, at the next 20 ms tick.
    QTRY_VERIFY(!m_view->redrawTimer()->isActive());
    QSignalSpy frames(m_view, &QOpenGLWidget::frameSwapped);
    m_view->pose()->edit([](ArmPose &pose) { pose.joint2 = 30.0f; });
    m_view->pose()->edit([](ArmPose &pose) { pose.joint3 = 30.0f; });
    QVERIFY(m_view->redrawTimer()->isActive());
    QCOMPARE(m_view->redrawTimer()->interval(), 20);
    QTRY_VERIFY(!m_view->redrawTimer()->isActive());
    QCOMPARE(frames.size(), 1);
    m_view->pose()->setPose(m_view->pose()->pose()); // the same pose again is no change
    QVERIFY(!m_view->redrawTimer()->isActive());

    // Files 1 to 19 land in slots 0 to 18; slot 19 stays empty.
    for (int slot = 0; slot < 19; ++slot)
        QVERIFY2(m_view->loader()->Model(slot).objectCount > 0, qPrintable(QString::number(slot)));
    QCOMPARE(m_view->loader()->Model(19).objectCount, 0);
    QCOMPARE(m_view->loader()->Model(0).objectCount, 3);

    // The controller board's material got a real texture in this context.
    const ModelRecord &board = m_view->loader()->Model(15);
    int textured = -1;
    for (int i = 0; i < board.materialCount; ++i)
        if (board.materials[i].textureFile[0])
            textured = i;
    QVERIFY(textured >= 0);
    m_view->makeCurrent();
    QVERIFY(glIsTexture(m_view->loader()->TextureName(15, textured)));
    m_view->doneCurrent();

    QVERIFY(m_view->environment().hasFloorImage());
    QVERIFY(m_view->environment().hasWallImage());
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join('\n')));
}

void TestViewDisplay::texturedRoomAndGridLookDifferent()
{
    QVERIFY(!m_view->gridFloor());
    const QImage textured = picture();
    const PictureStats room = statsOf(textured);
    QVERIFY2(room.brownish > 0.5, qPrintable(QString::number(room.brownish)));
    QVERIFY(room.colours > 100);

    m_view->OnFloorGrid();
    const QImage grid = picture();
    const PictureStats lines = statsOf(grid);
    QVERIFY2(lines.black > 0.5, qPrintable(QString::number(lines.black)));
    QVERIFY(lines.white > 0.01);
    QVERIFY(lines.brownish < 0.05);

    // "Floor" brings the textured room back exactly.
    m_view->OnFloorTextured();
    QCOMPARE(differingPixels(picture(), textured), 0);
}

void TestViewDisplay::stageShowsOnlyInTheTexturedRoom()
{
    // Step back far enough to see the furniture.
    m_view->camera().setEyeZ(-350.0f);
    m_view->camera().setSpin(QVector3D(-60, 0, 40));
    QVERIFY(m_view->showStage());
    const QImage decorated = picture();
    m_view->OnStageNone();
    const QImage bare = picture();
    QVERIFY(differingPixels(decorated, bare) > 1000);

    m_view->OnFloorGrid();
    const QImage gridBare = picture();
    m_view->OnStageDecorated();
    const QImage gridDecorated = picture();
    QCOMPARE(differingPixels(gridBare, gridDecorated), 0);
}

void TestViewDisplay::armFollowsThePose()
{
    // Look at the arm from the side, close up.
    m_view->camera().setSpin(QVector3D(-70, 0, 30));
    m_view->camera().setEyeZ(-45.0f);
    m_view->pose()->setPose(ArmPose{});
    const QImage straight = picture();

    struct Move { float ArmPose::*joint; float degrees; };
    const Move moves[] = {{&ArmPose::joint1, 40}, {&ArmPose::joint2, 45}, {&ArmPose::joint3, -45},
                          {&ArmPose::joint4, 60}, {&ArmPose::joint5, 80}, {&ArmPose::fingerLeft, -60},
                          {&ArmPose::fingerRight, 60}};
    for (const Move &m : moves) {
        m_view->pose()->edit([&m](ArmPose &pose) { pose.*m.joint = m.degrees; });
        const int changed = differingPixels(picture(), straight);
        QVERIFY2(changed > 30, qPrintable(QStringLiteral("%1 pixels").arg(changed)));
        m_view->pose()->setPose(ArmPose{});
    }
    // Nothing is kept between frames: the same pose draws the same picture.
    QCOMPARE(differingPixels(picture(), straight), 0);
}

void TestViewDisplay::missingPartLeavesAGap()
{
    m_view->camera().setSpin(QVector3D(-70, 0, 30));
    m_view->camera().setEyeZ(-45.0f);
    const QImage whole = picture();

    // A second runtime folder without the upper arm; a new view loads the arm again from it.
    QTemporaryDir other;
    QVERIFY(other.isValid());
    QVERIFY(gen3ds::AssetWriter::writeAll(other.filePath(QStringLiteral("3DS")).toStdString()).empty());
    QVERIFY(QFile::remove(other.filePath(QStringLiteral("3DS/3.3DS"))));
    makeView(other.path());
    QCOMPARE(m_view->loader()->Model(2).objectCount, 0);
    // The parts above the gap are still there, each loaded once.
    QCOMPARE(m_view->loader()->Model(3).objectCount, 3);
    QCOMPARE(m_view->loader()->Model(0).objectCount, 3);
    m_view->camera().setSpin(QVector3D(-70, 0, 30));
    m_view->camera().setEyeZ(-45.0f);
    QVERIFY(differingPixels(picture(), whole) > 100);

    // An unreadable floor picture: no message, and the wall's picture is not read either.
    QFile floor(other.filePath(QStringLiteral("3DS/db3.bmp")));
    QVERIFY(floor.open(QIODevice::WriteOnly | QIODevice::Truncate) && floor.write("BM not a bitmap") > 0);
    floor.close();
    makeView(other.path());
    QVERIFY(!m_view->environment().hasFloorImage() && !m_view->environment().hasWallImage());
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join('\n')));
}

void TestViewDisplay::mouseTurnsAndZooms()
{
    auto send = [this](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(at), m_view->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
        QApplication::sendEvent(m_view, &event);
    };
    // Left drag: 3 down and 5 right in one move turns 1 degree about X and 2 about Z.
    send(QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, {105, 103}, Qt::NoButton, Qt::LeftButton);
    QCOMPARE(m_view->camera().spin(), QVector3D(1, 0, 2));
    send(QEvent::MouseButtonRelease, {105, 103}, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(m_view->camera().spin(), QVector3D(1, 0, 2));
    QVERIFY(!m_view->camera().leftDrag());

    // Right drag 10 pixels up zooms out from -100 to -110.
    send(QEvent::MouseButtonPress, {50, 200}, Qt::RightButton, Qt::RightButton);
    send(QEvent::MouseMove, {50, 190}, Qt::NoButton, Qt::RightButton);
    QCOMPARE(m_view->camera().eye().z(), -110.0f);
    send(QEvent::MouseButtonRelease, {50, 190}, Qt::RightButton, Qt::NoButton);
    QCOMPARE(m_view->camera().eye().z(), -110.0f);
    QCOMPARE(m_view->camera().spin(), QVector3D(1, 0, 2));

    // The right button zooms; it does not open a menu.
    QVERIFY(!QApplication::activePopupWidget());
}

void TestViewDisplay::jointKeys_data()
{
    QTest::addColumn<bool>("realTime");
    QTest::addColumn<int>("send");
    QTest::newRow("separate simulation") << false << 0;
    QTest::newRow("real-time simulation") << true << 1;
}

void TestViewDisplay::jointKeys()
{
    QFETCH(bool, realTime);
    QFETCH(int, send);
    if (realTime)
        m_view->OnRealTimeSimulation();
    QCOMPARE(m_view->realTime(), realTime);

    ArmPose start;
    start.joint1 = 89.0f;
    m_view->pose()->setPose(start);
    const ArmPose &pose = m_view->pose()->pose();
    m_view->setFocus();
    QSignalSpy spy(m_view, &CMyKorvaneView::jointChangedFromView);
    const int passedOnBefore = m_window->presses;

    QTest::keyClick(m_view, Qt::Key_A);
    QTest::keyClick(m_view, 'a'); // lower case is the same key; the clamp holds at 90
    QTest::keyClick(m_view, Qt::Key_W, Qt::ShiftModifier);
    QTest::keyClick(m_view, Qt::Key_K);
    QTest::keyClick(m_view, Qt::Key_L);
    QTest::keyClick(m_view, Qt::Key_B); // not a joint key

    const QList<QList<QVariant>> expected = {
        {send, 1, 90}, {send, 1, 90}, {send, 2, -1}, {send, 6, 1}, {send, 5, 1}};
    QCOMPARE(spy.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(spy.at(i), expected.at(i));
    QCOMPARE(pose.joint1, 90.0f);
    QCOMPARE(pose.joint2, -1.0f);
    QCOMPARE(pose.fingerLeft, 1.0f);
    QCOMPARE(pose.fingerRight, -1.0f);
    // Every key, joint key or not, goes on to the default handling too.
    QCOMPARE(m_window->presses - passedOnBefore, 7); // the Shift press as well
}

void TestViewDisplay::menusAndCheckMarks()
{
    // Exactly the two menus are offered to the main window, in menu-bar order.
    const auto menus = m_view->findChildren<QMenu *>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(menus.size(), 2);
    QCOMPARE(menus[0]->title(), QStringLiteral("Environment set"));
    QCOMPARE(menus[1]->title(), QStringLiteral("Control"));

    auto act = [this](int id) {
        QAction *a = m_view->commandAction(id);
        if (!a)
            qFatal("no action %d", id);
        return a;
    };
    QCOMPARE(act(CMyKorvaneView::ID_FLOOR_GRID)->text(), QStringLiteral("Grid"));
    QCOMPARE(act(CMyKorvaneView::ID_STAGE_NONE)->statusTip(), QStringLiteral("场地没有摆设"));
    QCOMPARE(act(CMyKorvaneView::ID_STAGE_DECORATED)->statusTip(), QStringLiteral("内核自带环境。"));
    QCOMPARE(act(CMyKorvaneView::ID_REALTIME_SIMULATION)->text(), QStringLiteral("real-time simulation"));

    auto checks = [&] {
        QString s;
        for (int id : {CMyKorvaneView::ID_FLOOR_GRID, CMyKorvaneView::ID_FLOOR_TEXTURED, CMyKorvaneView::ID_STAGE_NONE,
                       CMyKorvaneView::ID_STAGE_DECORATED, CMyKorvaneView::ID_SEPARATE_SIMULATION,
                       CMyKorvaneView::ID_REALTIME_SIMULATION})
            s += act(id)->isChecked() ? QLatin1Char('x') : QLatin1Char('-');
        return s;
    };
    QCOMPARE(checks(), QStringLiteral("----x-"));

    act(CMyKorvaneView::ID_FLOOR_GRID)->trigger();
    QVERIFY(m_view->gridFloor());
    act(CMyKorvaneView::ID_STAGE_NONE)->trigger();
    QVERIFY(!m_view->showStage());
    // Only the simulation modes carry check marks; the environment items never do.
    QCOMPARE(checks(), QStringLiteral("----x-"));
    QVERIFY(!act(CMyKorvaneView::ID_FLOOR_GRID)->isCheckable());

    act(CMyKorvaneView::ID_REALTIME_SIMULATION)->trigger();
    QVERIFY(m_view->realTime() && !m_view->separate());
    QCOMPARE(checks(), QStringLiteral("-----x"));
    act(CMyKorvaneView::ID_REALTIME_SIMULATION)->trigger();
    QVERIFY(m_view->realTime() && !m_view->separate());
    QCOMPARE(checks(), QStringLiteral("-----x"));
    act(CMyKorvaneView::ID_SEPARATE_SIMULATION)->trigger();
    QVERIFY(!m_view->realTime() && m_view->separate());
    QCOMPARE(checks(), QStringLiteral("----x-"));
    act(CMyKorvaneView::ID_SEPARATE_SIMULATION)->trigger();
    QCOMPARE(checks(), QStringLiteral("----x-"));

    act(CMyKorvaneView::ID_FLOOR_TEXTURED)->trigger();
    act(CMyKorvaneView::ID_STAGE_DECORATED)->trigger();
    QVERIFY(!m_view->gridFloor() && m_view->showStage());
    QCOMPARE(checks(), QStringLiteral("----x-"));
}

void TestViewDisplay::zeroHeightKeepsAFiniteProjection()
{
    const double focal = 1.0 / std::tan(20.0 * M_PI / 180.0); // 40 degree vertical field of view
    auto projection = [this](int width, int height) {
        m_view->makeCurrent();
        m_view->resizeGL(width, height);
        std::array<GLdouble, 16> m{};
        glGetDoublev(GL_PROJECTION_MATRIX, m.data());
        m_view->doneCurrent();
        return m;
    };
    const auto flat = projection(400, 0);
    for (double v : flat)
        QVERIFY(std::isfinite(v));
    QVERIFY(std::fabs(flat[5] - focal) < 1e-6);

    const auto wide = projection(400, 200);
    QVERIFY(std::fabs(wide[5] - focal) < 1e-6);
    QVERIFY(std::fabs(wide[0] - focal / 2.0) < 1e-6);

    // A real resize to no height draws without trouble and comes back.
    m_window->resize(480, 0);
    QApplication::processEvents();
    m_window->resize(480, 360);
    QApplication::processEvents();
    QVERIFY(statsOf(picture()).brownish > 0.5);
}

QTEST_MAIN(TestViewDisplay)
#include "tst_view_display.moc"
