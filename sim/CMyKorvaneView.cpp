#include "sim/CMyKorvaneView.h"

#include "sim/ArmPoseModel.h"
#include "sim/JointKeys.h"
#include "sim/SceneWindow.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QTimer>
#include <QVBoxLayout>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstdio>

CMyKorvaneView::CMyKorvaneView(QWidget *parent, ArmPoseModel *pose)
    : QWidget(parent)
    , m_pose(pose ? pose : new ArmPoseModel(this))
{
    setFocusPolicy(Qt::StrongFocus);

    m_scene = new SceneWindow(this, {[this] { initializeGL(); },
                                     [this](int width, int height) { resizeGL(width, height); },
                                     [this] { paintGL(); }});
    m_scene->setFormat(surfaceFormat());
    connect(m_scene, &QOpenGLWindow::frameSwapped, this, &CMyKorvaneView::frameSwapped);
    m_sceneContainer = QWidget::createWindowContainer(m_scene, this);
    m_sceneContainer->setObjectName(QStringLiteral("SceneContainer"));
    // The pane keeps the focus; the window only draws.
    m_sceneContainer->setFocusPolicy(Qt::NoFocus);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_sceneContainer);

    m_environment.LoadImages("./3DS");

    // Runs only while there is something to draw: a tick with nothing new stops it.
    m_redrawTimer = new QTimer(this);
    m_redrawTimer->setObjectName(QStringLiteral("RedrawTimer1"));
    m_redrawTimer->setInterval(RedrawIntervalMs);
    connect(m_redrawTimer, &QTimer::timeout, this, [this] {
        if (!m_redrawPending) {
            m_redrawTimer->stop();
            return;
        }
        m_redrawPending = false;
        m_scene->update();
    });
    connect(m_pose, &ArmPoseModel::changed, this, &CMyKorvaneView::scheduleRedraw);

    createMenus();
}

CMyKorvaneView::~CMyKorvaneView()
{
    m_redrawTimer->stop();
    if (context() && context()->isValid()) {
        // The window and its context would go after this object's members are gone; the
        // release hook must not run then.
        disconnect(context(), nullptr, this, nullptr);
        makeCurrent();
        releaseContextResources();
        doneCurrent();
    }
    delete m_sceneContainer; // the window with it, while the members it draws with still exist
}

QWindow *CMyKorvaneView::sceneWindow() const
{
    return m_scene;
}

QOpenGLContext *CMyKorvaneView::context() const
{
    return m_scene->context();
}

bool CMyKorvaneView::isValid() const
{
    return m_scene->isValid();
}

void CMyKorvaneView::makeCurrent()
{
    m_scene->makeCurrent();
}

void CMyKorvaneView::doneCurrent()
{
    m_scene->doneCurrent();
}

QImage CMyKorvaneView::grabFramebuffer()
{
    if (!m_scene->isValid())
        return {};
    // The back buffer holds nothing defined after a swap: draw the scene into it again, read it
    // and leave it unswapped, so the screen does not change.
    m_scene->makeCurrent();
    paintGL();
    return m_scene->grabFramebuffer();
}

QSurfaceFormat CMyKorvaneView::surfaceFormat()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setAlphaBufferSize(0);
    format.setDepthBufferSize(32);
    format.setStencilBufferSize(0);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    return format;
}

int CMyKorvaneView::loadedModelCount() const
{
    int count = 0;
    for (int slot = 0; m_loader && slot < kModelSlotCount; ++slot)
        count += m_loader->Model(slot).objects.empty() ? 0 : 1;
    return count;
}

void CMyKorvaneView::scheduleRedraw()
{
    m_redrawPending = true;
    if (!m_redrawTimer->isActive())
        m_redrawTimer->start();
}

void CMyKorvaneView::createMenus()
{
    // Parented to the view so the main window finds exactly these two as its direct QMenu children.
    m_environmentMenu = new QMenu(QStringLiteral("Environment set"), this);
    m_environmentMenu->setObjectName(QStringLiteral("EnvironmentSet"));
    QMenu *floor = m_environmentMenu->addMenu(QStringLiteral("floor set"));
    addCommand(floor, ID_FLOOR_GRID, QStringLiteral("Grid"), QString());
    addCommand(floor, ID_FLOOR_TEXTURED, QStringLiteral("Floor"), QString());
    QMenu *stage = m_environmentMenu->addMenu(QStringLiteral("stage set"));
    addCommand(stage, ID_STAGE_NONE, QStringLiteral("None"), QStringLiteral("场地没有摆设"));
    addCommand(stage, ID_STAGE_DECORATED, QStringLiteral("Decorate the family"), QStringLiteral("内核自带环境。"));

    m_controlMenu = new QMenu(QStringLiteral("Control"), this);
    m_controlMenu->setObjectName(QStringLiteral("Control"));
    QMenu *method = m_controlMenu->addMenu(QStringLiteral("Robot control method"));
    addCommand(method, ID_SEPARATE_SIMULATION, QStringLiteral("separate simulation"), QString());
    addCommand(method, ID_REALTIME_SIMULATION, QStringLiteral("real-time simulation"), QString());

    for (QMenu *menu : {m_environmentMenu, m_controlMenu, floor, stage, method})
        connect(menu, &QMenu::aboutToShow, this, &CMyKorvaneView::updateChecks);
    updateChecks();
}

QAction *CMyKorvaneView::addCommand(QMenu *menu, int id, const QString &caption, const QString &prompt)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QString::number(id));
    action->setData(id);
    // Only the two simulation modes show a check mark; the environment items are plain commands.
    action->setCheckable(id == ID_SEPARATE_SIMULATION || id == ID_REALTIME_SIMULATION);
    if (!prompt.isEmpty())
        action->setStatusTip(prompt);
    connect(action, &QAction::triggered, this, [this, id] {
        switch (id) {
        case ID_FLOOR_GRID: OnFloorGrid(); break;
        case ID_FLOOR_TEXTURED: OnFloorTextured(); break;
        case ID_STAGE_NONE: OnStageNone(); break;
        case ID_STAGE_DECORATED: OnStageDecorated(); break;
        case ID_SEPARATE_SIMULATION: OnSeparateSimulation(); break;
        case ID_REALTIME_SIMULATION: OnRealTimeSimulation(); break;
        default: break;
        }
        // A checkable action flips itself when triggered; the check marks follow the state instead.
        updateChecks();
    });
    return action;
}

QAction *CMyKorvaneView::commandAction(int id) const
{
    for (QMenu *menu : {m_environmentMenu, m_controlMenu})
        if (QAction *a = menu->findChild<QAction *>(QString::number(id)))
            return a;
    return nullptr;
}

void CMyKorvaneView::updateChecks()
{
    const std::pair<int, bool> states[] = {
        {ID_SEPARATE_SIMULATION, m_separate != 0},
        {ID_REALTIME_SIMULATION, m_realTime != 0},
    };
    for (const auto &[id, checked] : states)
        if (QAction *a = commandAction(id))
            a->setChecked(checked);
}

void CMyKorvaneView::OnFloorGrid()
{
    m_gridFloor = true;
    updateChecks();
    scheduleRedraw();
}

void CMyKorvaneView::OnFloorTextured()
{
    m_gridFloor = false;
    updateChecks();
    scheduleRedraw();
}

void CMyKorvaneView::OnStageNone()
{
    m_showStage = false;
    updateChecks();
    scheduleRedraw();
}

void CMyKorvaneView::OnStageDecorated()
{
    m_showStage = true;
    updateChecks();
    scheduleRedraw();
}

void CMyKorvaneView::OnSeparateSimulation()
{
    if (m_realTime == 1) {
        m_separate = 1;
        m_realTime = 0;
    }
    updateChecks();
}

void CMyKorvaneView::OnRealTimeSimulation()
{
    if (m_separate == 1) {
        m_realTime = 1;
        m_separate = 0;
    }
    updateChecks();
}

void CMyKorvaneView::initializeGL()
{
    // A re-created context (the window destroyed and made again) starts empty: free what belonged
    // to the old one while it is still current.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this,
            [this] {
                makeCurrent();
                releaseContextResources();
                doneCurrent();
            });

    m_modelsLoaded = 0;
    m_modelSlot = 0;
    m_camera.reset();

    glShadeModel(GL_FLAT);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    // The modelview matrix is the identity here, so the light stays put relative to the eye.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const GLfloat ambient[] = {0.3f, 0.3f, 0.3f, 1.0f};
    const GLfloat diffuse[] = {0.7f, 0.7f, 0.7f, 1.0f};
    const GLfloat position[] = {6000.0f, 6000.0f, 6000.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);

    m_environment.CreateTextures();

    // File n lands in slot n - 1 of this context's own loader, so a new context (the widget moved
    // to another window) never draws with texture names of the old one.
    m_loader = std::make_unique<CLoad3DS>();
    for (int n = 1; n <= PartFileCount; ++n) {
        char path[32];
        std::snprintf(path, sizeof path, "./3DS/%d.3DS", n);
        m_loader->ImportModel(path, static_cast<unsigned>(m_modelSlot));
        ++m_modelSlot;
    }
    m_modelsLoaded = 1;
}

void CMyKorvaneView::releaseContextResources()
{
    m_environment.ReleaseTextures();
    if (m_loader) {
        m_loader->Release();
        m_loader.reset();
    }
    m_modelsLoaded = 0;
}

void CMyKorvaneView::resizeGL(int width, int height)
{
    // A pane squeezed to no height still gets a finite projection.
    const int safeHeight = std::max(height, 1);
    const qreal ratio = m_scene->devicePixelRatio();
    glViewport(0, 0, static_cast<GLsizei>(width * ratio), static_cast<GLsizei>(height * ratio));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(40.0, static_cast<double>(width) / static_cast<double>(safeHeight), 1.0, 10000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void CMyKorvaneView::paintGL()
{
    RenderScene();
}

void CMyKorvaneView::RenderScene()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const QVector3D eye = m_camera.eye();
    const QVector3D tilt = m_camera.tilt();
    const QVector3D spin = m_camera.spin();
    glTranslatef(eye.x(), eye.y(), eye.z());
    glRotatef(tilt.x(), 1.0f, 0.0f, 0.0f);
    glRotatef(tilt.y(), 0.0f, 1.0f, 0.0f);
    glRotatef(tilt.z(), 0.0f, 0.0f, 1.0f);

    glPushMatrix();
    glRotatef(spin.x(), 1.0f, 0.0f, 0.0f);
    glRotatef(spin.y(), 0.0f, 1.0f, 0.0f);
    glRotatef(spin.z(), 0.0f, 0.0f, 1.0f);
    m_environment.DrawAxes();
    m_environment.DrawGround(m_gridFloor, m_showStage);
    if (m_modelsLoaded == 1 && m_loader)
        DrawArm();
    glPopMatrix();
    // The window swaps the buffers once paintGL returns.
}

void CMyKorvaneView::DrawArm()
{
    const ArmPose &pose = m_pose->pose();
    // The fixed parts at the arm origin.
    for (int slot : {0, 15, 16, 17, 18})
        m_loader->DrawModel(slot, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    // Up the chain; each step builds on the one before.
    glRotatef(pose.joint1, 0.0f, 0.0f, 1.0f);
    glTranslatef(0.0f, 0.0f, 3.07087f);
    m_loader->DrawModel(1, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f);

    glTranslatef(0.0f, 0.0f, 1.16142f);
    glRotatef(pose.joint2, 1.0f, 0.0f, 0.0f);
    m_loader->DrawModel(2, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f);

    glTranslatef(0.0f, 0.0f, 3.26181f);
    glRotatef(pose.joint3, 1.0f, 0.0f, 0.0f);
    m_loader->DrawModel(3, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f);

    glTranslatef(0.0f, 0.0f, 3.26181f);
    glRotatef(pose.joint4, 1.0f, 0.0f, 0.0f);
    m_loader->DrawModel(4, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    m_loader->DrawModel(14, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f);

    glTranslatef(0.0f, 0.07f, 2.92717f);
    glRotatef(pose.joint5, 0.0f, 0.0f, 1.0f);
    m_loader->DrawModel(5, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f);

    m_loader->DrawModel(6, 0.37f, -0.26f, 1.28f, 1.0f, pose.fingerLeft, 0.0f, 0.0f, 1.0f);
    m_loader->DrawModel(7, -0.37f, -0.26f, 1.28f, 1.0f, pose.fingerRight, 0.0f, 0.0f, 1.0f);
}

void CMyKorvaneView::mousePressEvent(QMouseEvent *event)
{
    // Input from the scene window arrives sent on, which the toolkit's click-to-focus skips.
    setFocus(Qt::MouseFocusReason);
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton)
        m_camera.leftDown(p);
    else if (event->button() == Qt::RightButton)
        m_camera.rightDown(p);
    QWidget::mousePressEvent(event);
}

void CMyKorvaneView::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        m_camera.leftUp(p);
        scheduleRedraw();
    } else if (event->button() == Qt::RightButton) {
        m_camera.rightUp(p);
        scheduleRedraw();
    }
    QWidget::mouseReleaseEvent(event);
}

void CMyKorvaneView::mouseMoveEvent(QMouseEvent *event)
{
    const bool dragging = m_camera.leftDrag() || m_camera.rightDrag();
    m_camera.move(event->position().toPoint());
    if (dragging)
        scheduleRedraw();
    QWidget::mouseMoveEvent(event);
}

void CMyKorvaneView::keyPressEvent(QKeyEvent *event)
{
    ArmPose pose = m_pose->pose();
    if (const auto change = JointKeys::apply(event->key(), pose)) {
        m_pose->setPose(pose);
        emit jointChangedFromView(m_realTime, change->servo, change->value);
    }
    // Every key goes on to the default handling as well.
    QWidget::keyPressEvent(event);
}

void CMyKorvaneView::contextMenuEvent(QContextMenuEvent *event)
{
    // The right button zooms, so only the keyboard's menu key opens the view's menus here.
    if (event->reason() != QContextMenuEvent::Keyboard) {
        event->accept();
        return;
    }
    QMenu popup;
    popup.addMenu(m_environmentMenu);
    popup.addMenu(m_controlMenu);
    popup.exec(event->globalPos());
}
