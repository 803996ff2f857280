// What the main frame and its view tell the application. The windows only
// raise these; the host object decides what happens (plug-ins, the bus, the
// shared dialogs), so the windows hold no application state.
#pragma once

#include <windows.h>

class MainFrameEvents {
public:
    // The user or a plug-in asked to close; false keeps the frame open.
    virtual bool OnCloseRequested() = 0;
    // The frame moved on the screen by dx, dy.
    virtual void OnFrameMoved(int dx, int dy) = 0;
    // The view's client area has a new size (signed, as the message gives it).
    virtual void OnViewSized(HWND view, int width, int height) = 0;
    // The frame's display has a new DPI; the view's new size follows.
    virtual void OnDpiChanged(int dpi) = 0;
    // Two seconds after creation, once.
    virtual void OnUpdateCheckDue() = 0;

protected:
    ~MainFrameEvents() = default;
};
