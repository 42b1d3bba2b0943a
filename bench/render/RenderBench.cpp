// Renders the 3D view (textured floor, stage and arm, as it starts) at the main window's pane size
// and a bare widget that only clears, both through the widget's own update path, and prints the
// median frame times and their ratio. Then a per-part breakdown of the view's frame, and the
// process's CPU share while the view redraws on its own 20 ms timer.
#include "bench/common/PrivateDisplay.h"
#include "sim/CLoad3DS.h"
#include "sim/CMyKorvaneView.h"
#include "sim/SceneEnvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QOpenGLContext>
#include <QOpenGLWindow>
#include <QTimer>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr int ViewWidth = 926;
constexpr int ViewHeight = 771;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

double nowMs()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}


// The baseline: the same surface format, a clear of colour and depth and nothing else.
class ClearingView : public QOpenGLWindow
{
public:
    ClearingView() { setFormat(CMyKorvaneView::surfaceFormat()); }

protected:
    void initializeGL() override { glClearColor(0.0f, 0.0f, 0.0f, 0.0f); }
    void paintGL() override { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }
};

// The view with its frame callable directly, for timing the scene without the swap
// and for timing the scene's parts in the view's own context.
class ProbedView : public CMyKorvaneView
{
public:
    using CMyKorvaneView::paintGL;
};

// Median of `runs` full frames of `widget`: ask for an update as the view's timer does, let the
// event loop paint it and swap, then wait until the GL work is done.
double frameMs(QOpenGLWindow *widget, int runs)
{
    int swapped = 0;
    const QMetaObject::Connection counter =
        QObject::connect(widget, &QOpenGLWindow::frameSwapped, widget, [&swapped] { ++swapped; });
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const int before = swapped;
        const double start = nowMs();
        widget->update();
        while (swapped == before && nowMs() - start < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        widget->makeCurrent();
        glFinish();
        widget->doneCurrent();
        times.push_back(nowMs() - start);
    }
    QObject::disconnect(counter);
    return swapped >= runs ? median(times) : -1;
}

// Median of `runs` calls of `draw` in the widget's context (its framebuffer bound) and glFinish.
double drawMs(QOpenGLWindow *widget, int runs, const std::function<void()> &draw)
{
    widget->makeCurrent();
    std::vector<double> times;
    for (int i = 0; i < runs + 3; ++i) {
        const double start = nowMs();
        draw();
        glFinish();
        if (i >= 3)
            times.push_back(nowMs() - start);
    }
    widget->doneCurrent();
    return median(times);
}

// The view's camera transform, as its frame sets it up before the room and the arm.
void cameraTransform(const ViewCamera &camera)
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const QVector3D eye = camera.eye();
    const QVector3D tilt = camera.tilt();
    const QVector3D spin = camera.spin();
    glTranslatef(eye.x(), eye.y(), eye.z());
    glRotatef(tilt.x(), 1.0f, 0.0f, 0.0f);
    glRotatef(tilt.y(), 0.0f, 1.0f, 0.0f);
    glRotatef(tilt.z(), 0.0f, 0.0f, 1.0f);
    glRotatef(spin.x(), 1.0f, 0.0f, 0.0f);
    glRotatef(spin.y(), 0.0f, 1.0f, 0.0f);
    glRotatef(spin.z(), 0.0f, 0.0f, 1.0f);
}

bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Both views shown and initialised: the timings, printed as name=value lines. 0 when all ran.
int measure(ProbedView &view, ClearingView &clear, int runs)
{
    auto *scene = qobject_cast<QOpenGLWindow *>(view.sceneWindow());
    // The view's own timer would add frames between the timed ones.
    QTimer *redraw = view.findChild<QTimer *>(QStringLiteral("RedrawTimer1"));
    if (!redraw)
        return 1;
    redraw->stop();
    view.makeCurrent();
    std::fprintf(stderr, "renderer: %s\n", reinterpret_cast<const char *>(glGetString(GL_RENDERER)));
    view.doneCurrent();

    // Warm-up: the first frames build the driver's shaders for each state combination.
    frameMs(scene, 10);
    frameMs(&clear, 10);

    // Alternate in blocks so a busy neighbour on the machine hits both alike.
    const auto clearOnly = [] { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); };
    std::vector<double> sceneFrames, bare, sceneRender, bareRender;
    for (int block = 0; block < 5; ++block) {
        sceneFrames.push_back(frameMs(scene, runs / 5));
        bare.push_back(frameMs(&clear, runs / 5));
        sceneRender.push_back(drawMs(scene, runs / 5, [&] { view.paintGL(); }));
        bareRender.push_back(drawMs(&clear, runs / 5, clearOnly));
    }
    if (std::find(sceneFrames.begin(), sceneFrames.end(), -1.0) != sceneFrames.end()
        || std::find(bare.begin(), bare.end(), -1.0) != bare.end()) {
        std::fprintf(stderr, "bench-render: a frame was never swapped\n");
        return 1;
    }
    const double sceneMs = median(sceneFrames);
    const double clearMs = median(bare);
    std::printf("scene_ms=%.2f\nclear_ms=%.2f\nratio=%.2f\n", sceneMs, clearMs, sceneMs / clearMs);
    // The same without swapping: paintGL against a bare clear.
    const double sceneRenderMs = median(sceneRender);
    const double clearRenderMs = median(bareRender);
    std::printf("scene_render_ms=%.2f\nclear_render_ms=%.2f\nrender_ratio=%.2f\n", sceneRenderMs, clearRenderMs,
                sceneRenderMs / clearRenderMs);

    // Where the frame's time goes: each part drawn alone over a clear, in the view's context and
    // state, minus the clear. The arm's parts are drawn at the arm origin.
    SceneEnvironment environment;
    environment.LoadImages("./3DS");
    view.makeCurrent();
    environment.CreateTextures();
    view.doneCurrent();
    CLoad3DS loader;
    const ViewCamera &camera = view.camera();
    const double base = drawMs(scene, runs, clearOnly);
    const auto part = [&](const char *name, const std::function<void()> &draw) {
        const double ms = drawMs(scene, runs, [&] {
            clearOnly();
            cameraTransform(camera);
            draw();
        });
        std::printf("part_%s_ms=%.2f\n", name, ms - base);
    };
    part("axes", [&] { environment.DrawAxes(); });
    part("room", [&] { environment.DrawGround(false, false); });
    part("stage", [&] { environment.DrawStage(); });
    // The stage's round table alone, built as the stage builds it (top and four legs, 30 slices by
    // 150 stacks each), to tell the cylinders from the flat furniture.
    GLUquadric *quadric = gluNewQuadric();
    part("stage_cylinders", [&] {
        glPushMatrix();
        glTranslatef(-60.0f, -60.0f, 15.0f);
        gluCylinder(quadric, 20.0, 20.0, 5.0, 30, 150);
        glPopMatrix();
        for (const float leg : {-50.0f, -70.0f}) {
            for (const float other : {-50.0f, -70.0f}) {
                glPushMatrix();
                glTranslatef(leg, other, 0.0f);
                gluCylinder(quadric, 2.0, 2.0, 18.0, 30, 150);
                glPopMatrix();
            }
        }
    });
    gluDeleteQuadric(quadric);
    part("arm_models", [&] {
        for (int slot = 0; slot < CMyKorvaneView::PartFileCount; ++slot)
            loader.DrawModel(slot, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    });
    view.makeCurrent();
    environment.ReleaseTextures();
    view.doneCurrent();

    // Idle: the view redrawing on its own timer for five seconds, as in the program.
    clear.hide();
    int frames = 0;
    QObject::connect(&view, &CMyKorvaneView::frameSwapped, &view, [&frames] { ++frames; });
    redraw->start();
    // A real event loop, so waiting costs nothing and the CPU time is the view's.
    const auto runFor = [](int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    };
    runFor(500); // settle into the timer's rhythm
    frames = 0;
    const double cpuStart = cpuSeconds();
    const double wallStart = nowMs();
    runFor(5000);
    const double wallSeconds = (nowMs() - wallStart) / 1000.0;
    const double cpu = cpuSeconds() - cpuStart;
    std::printf("idle_cpu_share=%.2f\nfps=%.1f\n", cpu / wallSeconds, frames / wallSeconds);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(5, std::atoi(argv[1])) : 60;
    const PrivateDisplay display;
    int rc = 1;
    {
        QApplication app(argc, argv);
        ProbedView view;
        view.setWindowTitle(QStringLiteral("bench-render scene"));
        view.resize(ViewWidth, ViewHeight);
        view.show();
        ClearingView clear;
        clear.setTitle(QStringLiteral("bench-render clear"));
        clear.resize(ViewWidth, ViewHeight);
        clear.setPosition(ViewWidth / 2, 100);
        clear.show();
        if (waitFor([&] { return view.modelsLoaded() && view.isValid() && clear.isValid(); }, 60000))
            rc = measure(view, clear, runs);
        else
            std::fprintf(stderr, "bench-render: the views did not initialise\n");
    }
    return rc;
}
