#pragma once

// The keyboard's Caps, Num and Scroll Lock state as the display server reports it.
// All off where no X11 display is available (offscreen, Wayland without XWayland).
struct LockKeyState
{
    bool capsLock = false;
    bool numLock = false;
    bool scrollLock = false;

    static LockKeyState current();
};
