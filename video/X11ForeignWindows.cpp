#include "video/X11ForeignWindows.h"

#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QWindow>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <vector>

namespace {

// Windows can vanish between listing them and reading their properties; such errors are expected
// here and must not reach Xlib's default handler, which ends the process.
thread_local int g_trappedErrors = 0;

int trapError(Display *, XErrorEvent *)
{
    ++g_trappedErrors;
    return 0;
}

class ErrorTrap
{
public:
    explicit ErrorTrap(Display *display) : m_display(display)
    {
        g_trappedErrors = 0;
        m_previous = XSetErrorHandler(trapError);
    }
    ~ErrorTrap()
    {
        XSync(m_display, False);
        XSetErrorHandler(m_previous);
    }
    ErrorTrap(const ErrorTrap &) = delete;
    ErrorTrap &operator=(const ErrorTrap &) = delete;

private:
    Display *m_display;
    XErrorHandler m_previous;
};

// Window managers put client windows into frames, sometimes nested; a client is recognised by
// WM_STATE. Frames are not searched deeper than this.
constexpr int MaxFrameDepth = 3;

} // namespace

struct X11ForeignWindows::Connection
{
    Display *display = nullptr;
    Atom netWmName = None;
    Atom utf8String = None;
    Atom wmState = None;
    Atom wmProtocols = None;
    Atom wmDeleteWindow = None;

    Connection()
    {
        display = XOpenDisplay(nullptr);
        if (!display)
            return;
        netWmName = XInternAtom(display, "_NET_WM_NAME", False);
        utf8String = XInternAtom(display, "UTF8_STRING", False);
        wmState = XInternAtom(display, "WM_STATE", False);
        wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
        wmDeleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    }
    ~Connection()
    {
        if (display)
            XCloseDisplay(display);
    }

    // _NET_WM_NAME when the window has one, else WM_NAME; empty for none or a vanished window.
    QString title(Window w) const
    {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char *data = nullptr;
        if (XGetWindowProperty(display, w, netWmName, 0, 1024, False, utf8String, &type, &format, &count,
                               &after, &data) == Success
            && data) {
            QString text;
            if (type == utf8String && format == 8)
                text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(count));
            XFree(data);
            if (type == utf8String)
                return text;
        }
        XTextProperty property{};
        if (!XGetWMName(display, w, &property) || !property.value)
            return {};
        QString text;
        if (property.encoding == XA_STRING && property.format == 8) {
            text = QString::fromLatin1(reinterpret_cast<const char *>(property.value), int(property.nitems));
        } else {
            char **list = nullptr;
            int n = 0;
            if (Xutf8TextPropertyToTextList(display, &property, &list, &n) >= Success && list) {
                if (n > 0)
                    text = QString::fromUtf8(list[0]);
                XFreeStringList(list);
            }
        }
        XFree(property.value);
        return text;
    }

    bool isClient(Window w) const
    {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char *data = nullptr;
        const bool found = XGetWindowProperty(display, w, wmState, 0, 0, False, AnyPropertyType, &type, &format,
                                              &count, &after, &data)
                               == Success
                           && type != None;
        if (data)
            XFree(data);
        return found;
    }

    std::vector<Window> children(Window w) const
    {
        Window rootReturn = 0, parentReturn = 0;
        Window *list = nullptr;
        unsigned int n = 0;
        std::vector<Window> result;
        if (XQueryTree(display, w, &rootReturn, &parentReturn, &list, &n) && list) {
            // Stacking order is bottom to top; the topmost window wins a tie.
            result.assign(list, list + n);
            std::reverse(result.begin(), result.end());
            XFree(list);
        }
        return result;
    }

    // Client windows (those with WM_STATE) inside a window manager's frame, not looking inside
    // clients: what a client holds is not top-level.
    void clientsBelow(Window frame, int depth, std::vector<Window> &clients) const
    {
        for (Window w : children(frame)) {
            if (isClient(w))
                clients.push_back(w);
            else if (depth + 1 < MaxFrameDepth)
                clientsBelow(w, depth + 1, clients);
        }
    }

    // The top-level windows: each child of the root that is a client or holds none (no window
    // manager, or a window never mapped), else the clients inside it.
    std::vector<Window> topLevels() const
    {
        std::vector<Window> result;
        for (Window w : children(DefaultRootWindow(display))) {
            if (isClient(w)) {
                result.push_back(w);
                continue;
            }
            const size_t before = result.size();
            clientsBelow(w, 1, result);
            if (result.size() == before)
                result.push_back(w);
        }
        return result;
    }
};

X11ForeignWindows::X11ForeignWindows() : m_connection(std::make_unique<Connection>()) {}

X11ForeignWindows::~X11ForeignWindows() = default;

ForeignWindows::Handle X11ForeignWindows::FindTopLevel(const QString &title)
{
    Display *display = m_connection->display;
    if (!display || title.isEmpty())
        return 0;
    ErrorTrap trap(display);
    for (Window w : m_connection->topLevels())
        if (m_connection->title(w) == title)
            return Handle(w);
    return 0;
}

QString X11ForeignWindows::TitleOf(Handle window)
{
    Display *display = m_connection->display;
    if (!display || !window)
        return {};
    ErrorTrap trap(display);
    return m_connection->title(Window(window));
}

void X11ForeignWindows::RequestClose(Handle window)
{
    Display *display = m_connection->display;
    if (!display || !window)
        return;
    ErrorTrap trap(display);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = Window(window);
    event.xclient.message_type = m_connection->wmProtocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(m_connection->wmDeleteWindow);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, Window(window), False, NoEventMask, &event);
    // The trap's XSync makes the request reach the server before this returns.
}

QWindow *X11ForeignWindows::Wrap(Handle window)
{
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    return QWindow::fromWinId(WId(window));
}

bool X11ForeignWindows::StartDetached(const QString &program)
{
    // The viewer outlives us: it must not hold our standard output (a pipe of whoever started us
    // would then never see its end).
    QProcess process;
    process.setProgram(program);
    process.setWorkingDirectory(QDir::currentPath());
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    return process.startDetached();
}

std::unique_ptr<ForeignWindows> CreatePlatformForeignWindows()
{
    return std::make_unique<X11ForeignWindows>();
}
