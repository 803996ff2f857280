// Base of the windows that this program registers itself (the main frame, its
// view, the drop shadow): registers the class, creates the window and routes
// every message to ProcessWindowMessage.
//
// The object is found from the handle through a window property set at
// WM_NCCREATE from CREATESTRUCT::lpCreateParams; messages that arrive before
// it (WM_GETMINMAXINFO for some styles) get the default procedure. What the map
// leaves unhandled goes to DefWindowProcW. At WM_NCDESTROY the teardown runs
// in a fixed order: forget the object (the property goes), then the object's
// OnFinalMessage, which may delete it.
#pragma once

#include <windows.h>

#include "message_map.h"

// How the window class is registered; each derived class names its own.
struct WindowClassInfo {
    const wchar_t* name = nullptr;
    UINT style = 0;
    HBRUSH background = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    const wchar_t* cursor = IDC_ARROW;  // a system cursor
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
};

// What CreateWindowExW takes besides the class.
struct WindowCreateArgs {
    HWND parent = nullptr;
    RECT rect{CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT};  // CW_USEDEFAULT: let the system place it
    const wchar_t* title = nullptr;
    DWORD style = WS_OVERLAPPEDWINDOW;
    DWORD exStyle = 0;
    UINT_PTR childId = 0;  // control id of a child window
};

class WindowBase : public MessageMap {
public:
    WindowBase() = default;
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;
    // Destroys the window if it still exists (its final messages then reach
    // only the default procedure: the derived part is already gone).
    virtual ~WindowBase();

    // Registers the class on first use and creates the window; null on failure
    // (GetLastError tells why).
    HWND Create(const WindowCreateArgs& args);
    HWND Handle() const { return window_; }

    // Last call for the window, after it has been forgotten.
    virtual void OnFinalMessage(HWND window) {}

protected:
    virtual WindowClassInfo GetWindowClassInfo() const = 0;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT Route(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
};

// The module that holds this library's code: the instance under which its
// window classes and dialogs are registered.
HINSTANCE WindowLayerInstance();
