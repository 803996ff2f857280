#include "window_base.h"

#include <cassert>

#include "window_object.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

HINSTANCE WindowLayerInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

namespace {
// Registers info once per process; a class already registered (by an earlier
// window of the same kind) is not an error.
bool RegisterWindowClass(const WindowClassInfo& info, WNDPROC procedure) {
    assert(info.name && "every window class needs a name");
    WNDCLASSEXW existing{sizeof existing};
    if (GetClassInfoExW(WindowLayerInstance(), info.name, &existing)) return true;
    WNDCLASSEXW windowClass{sizeof windowClass};
    windowClass.style = info.style;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = WindowLayerInstance();
    windowClass.hIcon = info.icon;
    windowClass.hIconSm = info.smallIcon;
    windowClass.hCursor = info.cursor ? LoadCursorW(nullptr, info.cursor) : nullptr;
    windowClass.hbrBackground = info.background;
    windowClass.lpszClassName = info.name;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}
}  // namespace

WindowBase::~WindowBase() {
    if (window_) DestroyWindow(window_);
}

HWND WindowBase::Create(const WindowCreateArgs& args) {
    assert(!window_ && "one object, one window");
    if (!RegisterWindowClass(GetWindowClassInfo(), &WindowBase::WindowProc)) return nullptr;
    const RECT& r = args.rect;
    const bool defaultPlace = r.left == static_cast<LONG>(CW_USEDEFAULT);
    HMENU menuOrId = reinterpret_cast<HMENU>(args.childId);
    // window_ is set at WM_NCCREATE, so the handle is known to the handlers of
    // WM_CREATE; a failed creation leaves it null again through WM_NCDESTROY.
    return CreateWindowExW(args.exStyle, GetWindowClassInfo().name, args.title, args.style, r.left,
                           defaultPlace ? CW_USEDEFAULT : r.top, defaultPlace ? CW_USEDEFAULT : r.right - r.left,
                           defaultPlace ? CW_USEDEFAULT : r.bottom - r.top, args.parent, menuOrId,
                           WindowLayerInstance(), this);
}

LRESULT CALLBACK WindowBase::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<WindowBase*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (self) {
            self->window_ = window;
            if (!AttachWindowObject(window, self)) {
                self->window_ = nullptr;
                return FALSE;  // creation fails rather than run a window nobody answers
            }
        }
    }
    // Only this procedure reads the link on windows of its classes, so the
    // object is a WindowBase.
    auto* self = static_cast<WindowBase*>(FindWindowObject(window));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    return self->Route(window, message, wParam, lParam);
}

LRESULT WindowBase::Route(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!ProcessWindowMessage(window, message, wParam, lParam, result)) {
        result = IsReflectedMessage(message) ? DefaultReflection(window, message, wParam, lParam)
                                             : DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        ForgetWindowObject(window);
        window_ = nullptr;
        OnFinalMessage(window);
    }
    return result;
}
