#pragma once

#include "sim/CLoad3DS.h"
#include "sim/SceneEnvironment.h"
#include "sim/ViewCamera.h"

#include <QImage>
#include <QSurfaceFormat>
#include <QWidget>

#include <memory>

class ArmPoseModel;
class QAction;
class QMenu;
class QOpenGLContext;
class QTimer;
class QWindow;
class SceneWindow;

// The 3D simulation pane: the room, the coordinate axes and the arm built from the nineteen part
// files in the document's pose, drawn in a SceneWindow that fills the pane. It draws only when
// something it shows changed (pose, camera, environment; size and exposure come from the
// toolkit), at most once per 20 ms tick, so an idle view costs nothing. The left mouse button turns the scene,
// the right one zooms; twelve letter keys move the joints. It offers two menus, "Environment set"
// (floor style and furniture) and "Control" (whether joint keys also drive the real arm), as
// direct QMenu children that the main window puts into its menu bar.
class CMyKorvaneView : public QWidget
{
    Q_OBJECT

public:
    enum Command {
        ID_FLOOR_GRID = 32777,
        ID_FLOOR_TEXTURED = 32778,
        ID_STAGE_NONE = 32782,
        ID_STAGE_DECORATED = 32783,
        ID_SEPARATE_SIMULATION = 32787,
        ID_REALTIME_SIMULATION = 32788,
    };
    static constexpr int RedrawIntervalMs = 20;
    static constexpr int PartFileCount = 19;

    // pose is the document's; without one the view keeps its own.
    explicit CMyKorvaneView(QWidget *parent = nullptr, ArmPoseModel *pose = nullptr);
    ~CMyKorvaneView() override;

    // Compatibility-profile context, 24-bit colour without alpha, the deepest depth buffer
    // available up to 32 bits, double buffered.
    static QSurfaceFormat surfaceFormat();

    QMenu *environmentMenu() const { return m_environmentMenu; }
    QMenu *controlMenu() const { return m_controlMenu; }
    QAction *commandAction(int id) const;

    void OnFloorGrid();
    void OnFloorTextured();
    void OnStageNone();
    void OnStageDecorated();
    void OnSeparateSimulation();
    void OnRealTimeSimulation();

    bool realTime() const { return m_realTime != 0; }
    bool separate() const { return m_separate != 0; }
    bool gridFloor() const { return m_gridFloor; }
    bool showStage() const { return m_showStage; }
    bool modelsLoaded() const { return m_modelsLoaded != 0; }
    ArmPoseModel *pose() const { return m_pose; }
    // The models and textures of the current context (null before the first one exists).
    const CLoad3DS *loader() const { return m_loader.get(); }
    // How many part models hold something (the arm can be drawn when all of them do).
    int loadedModelCount() const;
    // Asks for a frame at the next redraw tick.
    void scheduleRedraw();
    const ViewCamera &camera() const { return m_camera; }
    ViewCamera &camera() { return m_camera; }
    const QTimer *redrawTimer() const { return m_redrawTimer; }
    const SceneEnvironment &environment() const { return m_environment; }

    // The native window the scene is drawn in; it hands its mouse input to this widget.
    QWindow *sceneWindow() const;
    // The scene window's context and picture.
    QOpenGLContext *context() const;
    bool isValid() const;
    void makeCurrent();
    void doneCurrent();
    QImage grabFramebuffer();

signals:
    // A joint key moved a joint: the control panel puts servo's slider at value + 90 and, when
    // send is not 0 (real-time simulation), sends that servo's position to the arm.
    void jointChangedFromView(int send, int servo, int value);
    // A frame reached the screen.
    void frameSwapped();

protected:
    void initializeGL();
    void resizeGL(int width, int height);
    void paintGL();

    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void createMenus();
    QAction *addCommand(QMenu *menu, int id, const QString &caption, const QString &prompt);
    void updateChecks();
    void releaseContextResources();

    void RenderScene();
    void DrawArm();

    int m_realTime = 0;
    int m_separate = 1;
    bool m_showStage = true;
    bool m_gridFloor = false;
    SceneEnvironment m_environment;
    ArmPoseModel *m_pose = nullptr;
    std::unique_ptr<CLoad3DS> m_loader;
    bool m_redrawPending = false;
    int m_modelSlot = 0;
    int m_modelsLoaded = 0;
    ViewCamera m_camera;

    SceneWindow *m_scene = nullptr;
    QWidget *m_sceneContainer = nullptr;
    QTimer *m_redrawTimer = nullptr;
    QMenu *m_environmentMenu = nullptr;
    QMenu *m_controlMenu = nullptr;
};
