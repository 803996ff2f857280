#include "subclass.h"

#include <commctrl.h>

#include "window_object.h"

namespace {
// One subclass per object and window: the procedure and this id name it.
constexpr UINT_PTR kSubclassId = 1;
}  // namespace

SubclassedWindow::~SubclassedWindow() {
    Detach();
}

bool SubclassedWindow::Attach(HWND control) {
    if (window_ || !control || FindWindowObject(control)) return false;
    if (!SetWindowSubclass(control, &SubclassedWindow::SubclassProc, kSubclassId,
                           reinterpret_cast<DWORD_PTR>(this))) {
        return false;
    }
    // The property marks the control as one whose notifications its parent
    // may reflect back to it.
    if (!AttachWindowObject(control, this)) {
        RemoveWindowSubclass(control, &SubclassedWindow::SubclassProc, kSubclassId);
        return false;
    }
    window_ = control;
    return true;
}

HWND SubclassedWindow::Detach() {
    HWND control = window_;
    if (!control) return nullptr;
    ForgetWindowObject(control);
    RemoveWindowSubclass(control, &SubclassedWindow::SubclassProc, kSubclassId);
    window_ = nullptr;
    return control;
}

LRESULT CALLBACK SubclassedWindow::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                                UINT_PTR, DWORD_PTR object) noexcept {
    return reinterpret_cast<SubclassedWindow*>(object)->Route(window, message, wParam, lParam);
}

LRESULT SubclassedWindow::Route(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!ProcessWindowMessage(window, message, wParam, lParam, result)) {
        result = IsReflectedMessage(message) ? DefaultReflection(window, message, wParam, lParam)
                                             : DefSubclassProc(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        ForgetWindowObject(window);
        RemoveWindowSubclass(window, &SubclassedWindow::SubclassProc, kSubclassId);
        window_ = nullptr;
        OnFinalMessage(window);
    }
    return result;
}
