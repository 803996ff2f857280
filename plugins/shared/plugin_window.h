// A module's window inside the host's view, header-only: the class is
// registered on first use, the object rides in with the creation parameters
// and is kept in the class's extra bytes, and every paint is double-buffered
// with GDI+. Panes are told about presses, double clicks and the pointer's
// moves, and stretched when the view changes size. Panes draw and lay out at
// 96 DPI: the paint is scaled to the host's DPI (so text and shapes are drawn
// at the display's resolution, and pictures from the host's larger renders
// stay sharp), and points come back in the same 96-DPI units.
#pragma once

#include <windows.h>
#include <windowsx.h>

#include "gdiplus_include.h"
#include "plugin_bus.h"

namespace plugin {

class ChildWindow {
public:
    virtual ~ChildWindow() {
        if (!window_) return;
        // Forget this object first so that no message reaches it half destroyed.
        SetWindowLongPtrW(window_, kObjectSlot, 0);
        DestroyWindow(window_);
    }
    ChildWindow(const ChildWindow&) = delete;
    ChildWindow& operator=(const ChildWindow&) = delete;

    // Makes the window at rect (parent client coordinates, in pixels) with a
    // class of this module named className, at the host's DPI; false when
    // Windows refuses.
    bool Create(HWND parent, const RECT& rect, const wchar_t* className) {
        dpi_ = HostDpi();
        RegisterClassOnce(className);
        CreateWindowExW(0, className, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, rect.left, rect.top,
                        rect.right - rect.left, rect.bottom - rect.top, parent, nullptr, Module(), this);
        return window_ != nullptr;
    }
    HWND Handle() const { return window_; }

    // Keeps the window's left and top and moves its right and bottom edges to
    // right and bottom of the parent's client area.
    void StretchTo(int right, int bottom) {
        if (!window_) return;
        RECT place{};
        GetWindowRect(window_, &place);
        MapWindowPoints(HWND_DESKTOP, GetParent(window_), reinterpret_cast<POINT*>(&place), 2);
        const int width = right > place.left ? right - place.left : 0;
        const int height = bottom > place.top ? bottom - place.top : 0;
        SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        Redraw();
    }
    void Redraw() const {
        if (window_) InvalidateRect(window_, nullptr, FALSE);
    }
    // The host's display changed its DPI: draw at the new scale from now on.
    void SetDpi(int dpi) {
        dpi_ = dpi > 0 ? dpi : kDesignDpi;
        Redraw();
    }
    int Dpi() const { return dpi_; }

protected:
    ChildWindow() = default;

    // The client area in the 96-DPI units the pane draws in.
    RECT LogicalClient() const {
        RECT client{};
        if (window_) GetClientRect(window_, &client);
        return {0, 0, ToLogical(client.right), ToLogical(client.bottom)};
    }

    virtual void Paint(Gdiplus::Graphics& graphics, int width, int height) = 0;
    // The left button went down (controls act on the press).
    virtual void Press(POINT) {}
    virtual void DoubleClick(POINT) {}
    // The pointer moved to point; {-1, -1} when it left the window.
    virtual void Hover(POINT) {}

private:
    static constexpr int kObjectSlot = 0;  // the class's extra bytes: the host's windows keep user data free

    int ToLogical(int pixels) const { return MulDiv(pixels, kDesignDpi, dpi_); }

    static void RegisterClassOnce(const wchar_t* className) {
        WNDCLASSEXW windowClass{sizeof windowClass};
        if (GetClassInfoExW(Module(), className, &windowClass)) return;
        windowClass = {sizeof windowClass};
        windowClass.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
        windowClass.lpfnWndProc = &ChildWindow::Procedure;
        windowClass.cbWndExtra = sizeof(ChildWindow*);
        windowClass.hInstance = Module();
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.lpszClassName = className;
        RegisterClassExW(&windowClass);
    }

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* created = static_cast<ChildWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            created->window_ = window;
            SetWindowLongPtrW(window, kObjectSlot, reinterpret_cast<LONG_PTR>(created));
        }
        auto* self = reinterpret_cast<ChildWindow*>(GetWindowLongPtrW(window, kObjectSlot));
        if (!self) return DefWindowProcW(window, message, wParam, lParam);
        return self->OnMessage(message, wParam, lParam);
    }

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        const POINT point{ToLogical(GET_X_LPARAM(lParam)), ToLogical(GET_Y_LPARAM(lParam))};
        switch (message) {
        case WM_ERASEBKGND: return 1;  // every pixel is painted in WM_PAINT
        case WM_PAINT: PaintBuffered(); return 0;
        case WM_LBUTTONDOWN: Press(point); return 0;
        case WM_LBUTTONDBLCLK: DoubleClick(point); return 0;
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
            SetWindowLongPtrW(window, kObjectSlot, 0);
            return DefWindowProcW(window, message, wParam, lParam);
        }
        }
        return DefWindowProcW(window_, message, wParam, lParam);
    }

    // A memory DC with a bitmap of the client's size selected, for one paint.
    class PaintBuffer {
    public:
        PaintBuffer(HDC target, int width, int height)
            : dc_(CreateCompatibleDC(target)), bitmap_(CreateCompatibleBitmap(target, width, height)) {
            if (dc_ && bitmap_) previous_ = SelectObject(dc_, bitmap_);
        }
        ~PaintBuffer() {
            if (previous_) SelectObject(dc_, previous_);
            if (bitmap_) DeleteObject(bitmap_);
            if (dc_) DeleteDC(dc_);
        }
        PaintBuffer(const PaintBuffer&) = delete;
        PaintBuffer& operator=(const PaintBuffer&) = delete;

        HDC Ready() const { return previous_ ? dc_ : nullptr; }

    private:
        HDC dc_;
        HBITMAP bitmap_;
        HGDIOBJ previous_ = nullptr;
    };

    // Draws the whole client area off-screen and copies it in one blit.
    void PaintBuffered() {
        PAINTSTRUCT paint;
        HDC target = BeginPaint(window_, &paint);
        RECT client{};
        GetClientRect(window_, &client);
        {
            const PaintBuffer buffer(target, client.right, client.bottom);
            if (HDC memory = buffer.Ready()) {
                {
                    Gdiplus::Graphics graphics(memory);
                    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
                    graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintClearTypeGridFit);
                    const float scale = static_cast<float>(dpi_) / kDesignDpi;
                    graphics.ScaleTransform(scale, scale);
                    Paint(graphics, ToLogical(client.right), ToLogical(client.bottom));
                }
                BitBlt(target, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
            }
        }
        EndPaint(window_, &paint);
    }

    void TrackLeave() {
        if (trackingLeave_) return;
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window_, 0};
        trackingLeave_ = TrackMouseEvent(&track) != FALSE;
    }

    HWND window_ = nullptr;
    bool trackingLeave_ = false;
    int dpi_ = kDesignDpi;
};

}  // namespace plugin
