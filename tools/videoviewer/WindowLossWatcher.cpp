#include "tools/videoviewer/WindowLossWatcher.h"

#include <QCoreApplication>
#include <QWindow>

#include <xcb/xcb.h>

WindowLossWatcher::WindowLossWatcher(QWindow *watched, QObject *parent)
    : QObject(parent), m_window(quintptr(watched->winId()))
{
    QCoreApplication::instance()->installNativeEventFilter(this);
}

WindowLossWatcher::~WindowLossWatcher()
{
    QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool WindowLossWatcher::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != XCB_DESTROY_NOTIFY)
        return false;
    const auto *destroyed = static_cast<const xcb_destroy_notify_event_t *>(message);
    if (destroyed->window == m_window)
        QMetaObject::invokeMethod(this, &WindowLossWatcher::WindowLost, Qt::QueuedConnection);
    return false;
}
