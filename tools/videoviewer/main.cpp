// The video viewer: shows the arm camera's motion-JPEG stream named in ./Video/config.ini
// ([video_addr] addr=http://host:port) in a window titled "Quorvel Tavrik". A second, never
// mapped window titled "./Video/Video" is the handle by which the controller ends it: a close
// request to either window ends the program, and so does the X server destroying the picture
// window (the controller that adopted it has gone).

#include "link/PrivateProfile.h"
#include "tools/videoviewer/MjpegClient.h"
#include "tools/videoviewer/ViewerWindow.h"
#include "tools/videoviewer/WindowLossWatcher.h"

#include <QApplication>
#include <QEvent>
#include <QUrl>
#include <QWindow>

namespace {

class CloseHandle : public QWindow
{
public:
    CloseHandle()
    {
        setTitle(QStringLiteral("./Video/Video"));
        setFlags(Qt::Tool);
        resize(1, 1);
    }

protected:
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::Close)
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        return QWindow::event(event);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Video"));

    const QString address = QString::fromStdString(
        PrivateProfile::GetString("./Video/config.ini", "video_addr", "addr", ""));

    ViewerWindow window(address);
    MjpegClient client(QUrl(address.trimmed()));
    QObject::connect(&client, &MjpegClient::FrameDecoded, &window, &ViewerWindow::ShowPicture);
    QObject::connect(&client, &MjpegClient::SignalLost, &window, &ViewerWindow::ShowNoSignal);
    QObject::connect(&window, &ViewerWindow::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    // Created natively but never shown: it only has to exist, with its title, for the close request.
    CloseHandle closeHandle;
    closeHandle.create();

    window.ShowNoSignal(QString());
    window.show();
    // The controller that adopted the window ended and took the window with it.
    WindowLossWatcher watcher(window.windowHandle());
    QObject::connect(&watcher, &WindowLossWatcher::WindowLost, &app, &QCoreApplication::quit);
    client.Start();
    return app.exec();
}
