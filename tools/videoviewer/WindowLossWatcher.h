#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

class QWindow;

// Tells when the X server destroys a window of ours that someone else holds. The controller
// adopts the picture window into its own; when the controller goes away, X destroys that window
// with it, and a viewer left without its window has nothing left to do.
class WindowLossWatcher : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit WindowLossWatcher(QWindow *watched, QObject *parent = nullptr);
    ~WindowLossWatcher() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

signals:
    void WindowLost();

private:
    quintptr m_window;
};
