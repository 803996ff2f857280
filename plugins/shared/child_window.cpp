#include "child_window.h"

#include <windowsx.h>

#include "plugin_bus.h"

namespace plugin {
namespace {

// Owns a memory DC with a bitmap selected into it for one paint.
class PaintBuffer {
public:
    PaintBuffer(HDC target, int width, int height)
        : dc_(CreateCompatibleDC(target)), bitmap_(CreateCompatibleBitmap(target, width, height)) {
        if (dc_ && bitmap_) old_ = SelectObject(dc_, bitmap_);
    }
    ~PaintBuffer() {
        if (old_) SelectObject(dc_, old_);
        if (bitmap_) DeleteObject(bitmap_);
        if (dc_) DeleteDC(dc_);
    }
    PaintBuffer(const PaintBuffer&) = delete;
    PaintBuffer& operator=(const PaintBuffer&) = delete;

    bool Ready() const { return old_ != nullptr; }
    HDC Dc() const { return dc_; }

private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_ = nullptr;
};

void RegisterClassOnce(const wchar_t* className, WNDPROC procedure) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(Module(), className, &existing)) return;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = Module();
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass);
}

}  // namespace

ChildWindow::~ChildWindow() {
    if (!window_) return;
    // Forget this object first so that no message reaches it half destroyed.
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
}

bool ChildWindow::Create(HWND parent, const RECT& rect, const wchar_t* className) {
    RegisterClassOnce(className, &ChildWindow::Procedure);
    CreateWindowExW(0, className, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, rect.left, rect.top,
                    rect.right - rect.left, rect.bottom - rect.top, parent, nullptr, Module(), this);
    return window_ != nullptr;
}

void ChildWindow::StretchTo(int right, int bottom) {
    if (!window_) return;
    RECT place{};
    GetWindowRect(window_, &place);
    MapWindowPoints(HWND_DESKTOP, GetParent(window_), reinterpret_cast<POINT*>(&place), 2);
    const int width = right > place.left ? right - place.left : 0;
    const int height = bottom > place.top ? bottom - place.top : 0;
    SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Redraw();
}

void ChildWindow::Redraw() const {
    if (window_) InvalidateRect(window_, nullptr, FALSE);
}

LRESULT CALLBACK ChildWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        // The object comes with the creation and is known from here on.
        auto* created = static_cast<ChildWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* self = reinterpret_cast<ChildWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    return self->OnMessage(message, wParam, lParam);
}

LRESULT ChildWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message) {
    case WM_ERASEBKGND:
        return 1;  // every pixel is painted in WM_PAINT
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_LBUTTONDOWN:
        Press(point);
        return 0;
    case WM_LBUTTONDBLCLK:
        DoubleClick(point);
        return 0;
    case WM_MOUSEMOVE:
        TrackLeave();
        Hover(point);
        return 0;
    case WM_MOUSELEAVE:
        trackingLeave_ = false;
        Hover({-1, -1});
        return 0;
    case WM_NCDESTROY: {
        // The view took its children with it: forget the handle.
        HWND window = window_;
        window_ = nullptr;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void ChildWindow::OnPaint() {
    PAINTSTRUCT paint;
    HDC target = BeginPaint(window_, &paint);
    RECT client{};
    GetClientRect(window_, &client);
    PaintBuffer buffer(target, client.right, client.bottom);
    if (buffer.Ready()) {
        {
            Gdiplus::Graphics graphics(buffer.Dc());
            graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
            graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintClearTypeGridFit);
            Paint(graphics, client.right, client.bottom);
        }
        BitBlt(target, 0, 0, client.right, client.bottom, buffer.Dc(), 0, 0, SRCCOPY);
    }
    EndPaint(window_, &paint);
}

void ChildWindow::TrackLeave() {
    if (trackingLeave_) return;
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window_, 0};
    trackingLeave_ = TrackMouseEvent(&track) != FALSE;
}

}  // namespace plugin
