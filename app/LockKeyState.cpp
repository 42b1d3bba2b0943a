#include "app/LockKeyState.h"

#include <QGuiApplication>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace {

bool indicatorOn(Display *display, const char *name)
{
    const Atom atom = XInternAtom(display, name, True);
    if (atom == None)
        return false;
    Bool on = False;
    if (!XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr))
        return false;
    return on;
}

} // namespace

LockKeyState LockKeyState::current()
{
    LockKeyState state;
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display *display = x11 ? x11->display() : nullptr;
    if (!display)
        return state;
    state.capsLock = indicatorOn(display, "Caps Lock");
    state.numLock = indicatorOn(display, "Num Lock");
    state.scrollLock = indicatorOn(display, "Scroll Lock");
    return state;
}
