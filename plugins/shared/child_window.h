// A module's window inside the host's view: a child window painted
// double-buffered with GDI+, told about presses, double clicks and the
// pointer's moves, and stretched when the view changes size.
#pragma once

#include <windows.h>

#include "gdiplus_include.h"

namespace plugin {

class ChildWindow {
public:
    virtual ~ChildWindow();
    ChildWindow(const ChildWindow&) = delete;
    ChildWindow& operator=(const ChildWindow&) = delete;

    // Makes the window at rect (parent client coordinates) with a class of
    // this module named className; false when Windows refuses.
    bool Create(HWND parent, const RECT& rect, const wchar_t* className);
    HWND Handle() const { return window_; }

    // Keeps the window's left and top and moves its right and bottom edges to
    // right and bottom of the parent's client area.
    void StretchTo(int right, int bottom);
    void Redraw() const;

protected:
    ChildWindow() = default;

    virtual void Paint(Gdiplus::Graphics& graphics, int width, int height) = 0;
    // The left button went down (controls act on the press).
    virtual void Press(POINT) {}
    virtual void DoubleClick(POINT) {}
    // The pointer moved to point; {-1, -1} when it left the window.
    virtual void Hover(POINT) {}

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnPaint();
    void TrackLeave();

    HWND window_ = nullptr;
    bool trackingLeave_ = false;
};

}  // namespace plugin
