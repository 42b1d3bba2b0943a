// The baseline: a bare main window with one OpenGL child, probed the same way as the program.
#include "app/StartupProbe.h"

#include <QApplication>
#include <QMainWindow>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>
#include <QScreen>

namespace {

class ClearingView : public QOpenGLWidget, protected QOpenGLFunctions
{
protected:
    void initializeGL() override { initializeOpenGLFunctions(); }
    void paintGL() override
    {
        glClearColor(0.2f, 0.2f, 0.3f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    auto *view = new ClearingView;
    window.setCentralWidget(view);
    window.setGeometry(window.screen()->availableGeometry());
    new StartupProbe({view}, view, StartupProbe::quitRequested(), &window);
    window.showMaximized();
    return app.exec();
}
