#include "sim/ArmPoseModel.h"
#include "sim/CMyKorvaneView.h"
#include "sim/LoaderMessage.h"
#include "tools/gen3ds/AssetWriter.h"

#include "tests/common/GlDriver.h"

#include <QTest>
#include <QTimer>
#include <QSignalSpy>
#include <QAction>
#include <QLineEdit>
#include <QMenu>

#include <GL/gl.h>

#include <memory>

namespace {

// Shares of the picture in the floor's wood colour, in black and in white.
struct Shares { double wood = 0, black = 0, white = 0; };
Shares sharesOf(const QImage &image)
{
    Shares s;
    const double pixel = 1.0 / (image.width() * image.height());
    for (int i = 0; i < image.width() * image.height(); ++i) {
        const QRgb p = image.pixel(i % image.width(), i / image.width());
        const int r = qRed(p), g = qGreen(p), b = qBlue(p);
        s.wood += (r > 70 && r > g + 15 && g > b + 10) ? pixel : 0;
        s.black += (r < 10 && g < 10 && b < 10) ? pixel : 0;
        s.white += (r > 200 && g > 200 && b > 200) ? pixel : 0;
    }
    return s;
}

} // namespace

class TestViewDisplay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SetLoaderMessageHook([this](const std::string &caption, const std::string &text) {
            m_messages << QString::fromStdString(caption + ": " + text);
        });
        QVERIFY(gen3ds::AssetWriter::writeAll(m_dir.filePath(QStringLiteral("3DS")).toStdString()).empty());
        m_oldCurrent = QDir::currentPath();
    }
    void init() { makeView(m_dir.path()); }
    void cleanup()
    {
        m_window.reset();
        m_messages.clear();
        QDir::setCurrent(m_oldCurrent);
    }
    void cleanupTestCase() { SetLoaderMessageHook({}); }

    void drawsOnlyOnChangeWithItsOwnModels()
    {
        // Idle, nothing is drawn and no timer runs; a change is drawn at the next 20 ms tick. The
        // first change also lets the window's own first paints settle.
        QSignalSpy frames(m_view, &CMyKorvaneView::frameSwapped);
        m_view->pose()->edit([](ArmPose &pose) { pose.joint1 = 10.0f; });
        QTRY_VERIFY(!frames.isEmpty() && !m_view->redrawTimer()->isActive());
        frames.clear();
        m_view->pose()->edit([](ArmPose &pose) { pose.joint2 = 30.0f; });
        m_view->pose()->edit([](ArmPose &pose) { pose.joint3 = 30.0f; });
        QVERIFY(m_view->redrawTimer()->isActive());
        QTRY_VERIFY(!frames.isEmpty() && !m_view->redrawTimer()->isActive());
        QVERIFY2(frames.size() <= 2, qPrintable(QString::number(frames.size()))); // one tick's frame, maybe an expose
        m_view->pose()->setPose(m_view->pose()->pose()); // the same pose again is no change
        QVERIFY(!m_view->redrawTimer()->isActive());

        // Files 1 to 19 land in slots 0 to 18 of this view's own loader, each once; slot 19 stays empty.
        QCOMPARE(m_view->loadedModelCount(), 19);
        QCOMPARE(m_view->loader()->Model(19).objectCount, 0);
        QCOMPARE(m_view->loader()->Model(0).objectCount, 3);
        // The controller board's textured material, and only that, has a texture in this context.
        const ModelRecord &board = m_view->loader()->Model(15);
        m_view->makeCurrent();
        for (int i = 0; i < board.materialCount; ++i)
            QCOMPARE(bool(glIsTexture(m_view->loader()->TextureName(15, i))), board.materials[i].textureFile[0] != 0);
        m_view->doneCurrent();
        QVERIFY(m_view->environment().hasFloorImage() && m_view->environment().hasWallImage());
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join('\n')));
    }

    void roomGridAndStage()
    {
        const QImage textured = picture();
        QVERIFY(sharesOf(textured).wood > 0.5);
        m_view->OnFloorGrid();
        const Shares grid = sharesOf(picture());
        QVERIFY(grid.black > 0.5 && grid.white > 0.01 && grid.wood < 0.05);
        m_view->OnFloorTextured(); // brings the textured room back exactly
        QCOMPARE(picture(), textured);

        // Stepped back to see the furniture: it shows in the textured room only.
        m_view->camera().setEyeZ(-350.0f);
        m_view->camera().setSpin(QVector3D(-60, 0, 40));
        const QImage decorated = picture();
        m_view->OnStageNone();
        QVERIFY(picture() != decorated);
        m_view->OnFloorGrid();
        const QImage gridBare = picture();
        m_view->OnStageDecorated();
        QCOMPARE(picture(), gridBare);
    }

    void armFollowsThePose()
    {
        m_view->camera().setSpin(QVector3D(-70, 0, 30)); // from the side, close up
        m_view->camera().setEyeZ(-45.0f);
        const QImage straight = picture();
        const std::pair<float ArmPose::*, float> moves[] = {
            {&ArmPose::joint1, 40}, {&ArmPose::joint2, 45}, {&ArmPose::joint3, -45}, {&ArmPose::joint4, 60},
            {&ArmPose::joint5, 80}, {&ArmPose::fingerLeft, -60}, {&ArmPose::fingerRight, 60}};
        for (const auto &[joint, degrees] : moves) {
            m_view->pose()->edit([&](ArmPose &pose) { pose.*joint = degrees; });
            QVERIFY(picture() != straight);
            m_view->pose()->setPose(ArmPose{});
        }
        QCOMPARE(picture(), straight); // nothing is kept between frames
    }

    void missingPartAndUnreadableFloor()
    {
        // A runtime folder without the upper arm: a new view loads the rest, each part once.
        QTemporaryDir other;
        QVERIFY(gen3ds::AssetWriter::writeAll(other.filePath(QStringLiteral("3DS")).toStdString()).empty());
        QVERIFY(QFile::remove(other.filePath(QStringLiteral("3DS/3.3DS"))));
        makeView(other.path());
        QCOMPARE(m_view->loader()->Model(2).objectCount, 0);
        QCOMPARE(m_view->loader()->Model(3).objectCount, 3);
        QCOMPARE(m_view->loadedModelCount(), 18);
        // An unreadable floor picture: plain tiles, no message, and the wall's picture is not read.
        QFile floor(other.filePath(QStringLiteral("3DS/db3.bmp")));
        QVERIFY(floor.open(QIODevice::WriteOnly | QIODevice::Truncate) && floor.write("BM not a bitmap") > 0);
        floor.close();
        makeView(other.path());
        QVERIFY(!m_view->environment().hasFloorImage() && !m_view->environment().hasWallImage());
        QVERIFY(sharesOf(picture()).wood < 0.05);
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join('\n')));
    }

    void mouseTurnsAndZooms()
    {
        // Through the scene window, as the platform delivers it: the window hands input to the view.
        QWindow *scene = m_view->sceneWindow();
        QTRY_VERIFY(!m_view->redrawTimer()->isActive());
        auto *other = new QLineEdit(m_window.get());
        other->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        other->setFocus();
        // Left drag: 3 down and 5 right in one move turns 1 degree about X and 2 about Z, drawn.
        QTest::mousePress(scene, Qt::LeftButton, {}, {100, 100});
        QVERIFY(m_view->hasFocus()); // a click gives the pane the keyboard, so the joint keys work
        QTest::mouseMove(scene, {105, 103});
        QVERIFY(m_view->redrawTimer()->isActive());
        QTest::mouseRelease(scene, Qt::LeftButton, {}, {105, 103});
        QCOMPARE(m_view->camera().spin(), QVector3D(1, 0, 2));
        // Right drag 10 pixels up zooms out from -100 to -110.
        QTest::mousePress(scene, Qt::RightButton, {}, {50, 200});
        QTest::mouseMove(scene, {50, 190});
        QTest::mouseRelease(scene, Qt::RightButton, {}, {50, 190});
        QCOMPARE(m_view->camera().eye().z(), -110.0f);
    }

    void menusAndCheckMarks()
    {
        // Exactly the two menus are offered to the main window, in menu-bar order.
        const auto menus = m_view->findChildren<QMenu *>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(menus.size(), 2);
        QCOMPARE(menus[0]->title(), QStringLiteral("Environment set"));
        QCOMPARE(menus[1]->title(), QStringLiteral("Control"));
        using V = CMyKorvaneView;
        QCOMPARE(m_view->commandAction(V::ID_STAGE_NONE)->statusTip(), QStringLiteral("场地没有摆设"));
        QCOMPARE(m_view->commandAction(V::ID_REALTIME_SIMULATION)->text(), QStringLiteral("real-time simulation"));

        // Only the simulation modes carry check marks, and they follow the mode whatever was clicked.
        // Each command's marks, then floor (grid or textured), stage (none or decorated) and mode.
        auto run = [this](int id) {
            m_view->commandAction(id)->trigger();
            QString s;
            for (int each : {V::ID_FLOOR_GRID, V::ID_FLOOR_TEXTURED, V::ID_STAGE_NONE, V::ID_STAGE_DECORATED,
                             V::ID_SEPARATE_SIMULATION, V::ID_REALTIME_SIMULATION})
                s += m_view->commandAction(each)->isChecked() ? 'x' : '-';
            return s + (m_view->gridFloor() ? " g" : " t") + (m_view->showStage() ? 'd' : 'n')
                + (m_view->realTime() ? 'r' : '-') + (m_view->separate() ? 's' : '-');
        };
        QCOMPARE(run(V::ID_FLOOR_GRID), QStringLiteral("----x- gd-s"));
        QCOMPARE(run(V::ID_STAGE_NONE), QStringLiteral("----x- gn-s"));
        QCOMPARE(run(V::ID_REALTIME_SIMULATION), QStringLiteral("-----x gnr-"));
        QCOMPARE(run(V::ID_REALTIME_SIMULATION), QStringLiteral("-----x gnr-"));
        QCOMPARE(run(V::ID_SEPARATE_SIMULATION), QStringLiteral("----x- gn-s"));
        QCOMPARE(run(V::ID_SEPARATE_SIMULATION), QStringLiteral("----x- gn-s"));
        QCOMPARE(run(V::ID_FLOOR_TEXTURED), QStringLiteral("----x- tn-s"));
        QCOMPARE(run(V::ID_STAGE_DECORATED), QStringLiteral("----x- td-s"));
    }

private:
    void makeView(const QString &folder)
    {
        m_window.reset();
        // The view reads ./3DS from the current folder, as the program does from its runtime folder.
        QVERIFY(QDir::setCurrent(folder));
        m_window = std::make_unique<QWidget>();
        m_view = new CMyKorvaneView(m_window.get());
        m_view->resize(480, 360);
        m_window->resize(480, 360);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QTRY_VERIFY(m_view->modelsLoaded());
        keepGlDriverLoaded();
    }
    QImage picture() { return m_view->grabFramebuffer().convertToFormat(QImage::Format_RGB32); }

    QTemporaryDir m_dir;
    QString m_oldCurrent;
    QStringList m_messages;
    std::unique_ptr<QWidget> m_window;
    CMyKorvaneView *m_view = nullptr;
};

QTEST_MAIN(TestViewDisplay)
#include "tst_view_display.moc"
