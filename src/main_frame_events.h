// What the main frame and its view tell the application, as callbacks that
// the application fills in before it makes the frame. The windows only raise
// these; the host object decides what happens (plug-ins, the bus, the shared
// dialogs), so the windows hold no application state.
#pragma once

#include <windows.h>

#include <functional>

// Raised when the view's client area has a new size (signed, as the message
// gives it).
using ViewSizedEvent = std::function<void(HWND view, int width, int height)>;

struct MainFrameEvents {
    // The user or a plug-in asked to close; false keeps the frame open.
    std::function<bool()> closeRequested;
    // The frame moved on the screen by dx, dy.
    std::function<void(int dx, int dy)> moved;
    ViewSizedEvent viewSized;
    // The frame's display has a new DPI; the view's new size follows.
    std::function<void(int dpi)> dpiChanged;
    // Two seconds after the timer is started, once.
    std::function<void()> updateCheckDue;
};
