#include "sim/SceneWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

SceneWindow::SceneWindow(QWidget *inputReceiver, Renderer renderer)
    : QOpenGLWindow(QOpenGLWindow::NoPartialUpdate)
    , m_inputReceiver(inputReceiver)
    , m_renderer(std::move(renderer))
{
    setFlag(Qt::WindowDoesNotAcceptFocus);
}

void SceneWindow::initializeGL()
{
    if (m_renderer.initialize)
        m_renderer.initialize();
}

void SceneWindow::resizeGL(int width, int height)
{
    if (m_renderer.resize)
        m_renderer.resize(width, height);
}

void SceneWindow::paintGL()
{
    if (m_renderer.paint)
        m_renderer.paint();
}

bool SceneWindow::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
        // The window fills the widget, so the positions need no mapping. Sent on as the
        // platform's own event, a press also gives the widget the focus its policy asks for.
        QCoreApplication::sendEvent(m_inputReceiver, event);
        return true;
    default:
        return QOpenGLWindow::event(event);
    }
}
