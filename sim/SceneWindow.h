#pragma once

#include <QOpenGLWindow>

#include <functional>

class QWidget;

// The OpenGL surface of the 3D view: a native window of its own inside the view's widget. Drawn
// there, the scene never has to be composed into the main window, so a repaint of any other
// widget (the status-bar clock, every second) stays a plain raster flush; a software GL driver
// would spend tens of milliseconds of the UI thread on each composition. The window takes no
// keyboard focus: keys, shortcuts and the menu key stay with the widgets, and mouse input is
// handed to the widget that holds the window.
class SceneWindow : public QOpenGLWindow
{
    Q_OBJECT

public:
    struct Renderer
    {
        std::function<void()> initialize;
        std::function<void(int width, int height)> resize;
        std::function<void()> paint;
    };

    SceneWindow(QWidget *inputReceiver, Renderer renderer);

protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;
    bool event(QEvent *event) override;

private:
    QWidget *m_inputReceiver;
    Renderer m_renderer;
};
