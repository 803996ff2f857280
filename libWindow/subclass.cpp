#include "subclass.h"

#include <commctrl.h>

#include "window_object.h"

namespace {
// One subclass per object and window: the procedure and the object's address
// name it, so a hook and an object can sit on the same window.
UINT_PTR SubclassId(const SubclassedWindow* object) { return reinterpret_cast<UINT_PTR>(object); }
}  // namespace

SubclassedWindow::~SubclassedWindow() { Detach(); }

bool SubclassedWindow::Attach(HWND control, Mode mode) {
    if (window_ || !control) return false;
    if (mode == Mode::Object && FindWindowObject(control)) return false;
    if (!SetWindowSubclass(control, &SubclassedWindow::SubclassProc, SubclassId(this),
                           reinterpret_cast<DWORD_PTR>(this))) {
        return false;
    }
    // The property marks the control as one whose notifications its parent
    // may reflect back to it.
    if (mode == Mode::Object && !AttachWindowObject(control, this)) {
        RemoveWindowSubclass(control, &SubclassedWindow::SubclassProc, SubclassId(this));
        return false;
    }
    window_ = control;
    mode_ = mode;
    return true;
}

HWND SubclassedWindow::Detach() {
    HWND control = window_;
    if (!control) return nullptr;
    if (mode_ == Mode::Object) ForgetWindowObject(control);
    RemoveWindowSubclass(control, &SubclassedWindow::SubclassProc, SubclassId(this));
    window_ = nullptr;
    return control;
}

LRESULT CALLBACK SubclassedWindow::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                DWORD_PTR object) noexcept {
    return reinterpret_cast<SubclassedWindow*>(object)->Route(window, message, wParam, lParam);
}

LRESULT SubclassedWindow::Route(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!ProcessWindowMessage(window, message, wParam, lParam, result)) {
        result = mode_ == Mode::Object && IsReflectedMessage(message)
                     ? DefaultReflection(window, message, wParam, lParam)
                     : DefSubclassProc(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        if (mode_ == Mode::Object) ForgetWindowObject(window);
        RemoveWindowSubclass(window, &SubclassedWindow::SubclassProc, SubclassId(this));
        window_ = nullptr;
        OnFinalMessage(window);
    }
    return result;
}
