// Owners for GDI handles, icons and device contexts; the kernel and file
// owners are libBasic's UniqueResource.h, whose template these share.
//
// UniqueGdiObject<H> owns a brush, pen, font, bitmap or region and deletes it;
// UniqueIcon destroys an icon; both are move-only. GdiObjectRef<H> is a
// borrowed handle: it never deletes, so a signature says which of the two it
// takes. ScopedSelectObject selects into
// a DC and puts the previous object back. PaintDC, WindowDC and MemoryDC own
// the three kinds of device context that painting code uses.
#pragma once

#include <windows.h>

#include <cassert>
#include <utility>

#include "UniqueResource.h"

struct DeleteGdiObject {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct DestroyIconHandle {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};

// The owners of libBasic's UniqueResource.h, for GDI: move-only, reset,
// release (SetWindowRgn keeps the region it is given).
template <typename Handle>
using UniqueGdiObject = UniqueResource<Handle, DeleteGdiObject>;

using UniqueBrush = UniqueGdiObject<HBRUSH>;
using UniquePen = UniqueGdiObject<HPEN>;
using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;
using UniqueRegion = UniqueGdiObject<HRGN>;
// An icon made by LoadImage or CreateIcon (never a shared or system icon).
using UniqueIcon = UniqueResource<HICON, DestroyIconHandle>;

// A handle owned elsewhere (a stock object, a control's font, an owner's
// object lent for a call).
template <typename Handle>
class GdiObjectRef {
public:
    GdiObjectRef() = default;
    GdiObjectRef(Handle handle) : handle_(handle) {}
    GdiObjectRef(const UniqueGdiObject<Handle>& owner) : handle_(owner.get()) {}
    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    Handle handle_ = nullptr;
};

// Selects a pen, brush, font or bitmap into dc for the life of the guard.
// Regions are not selected this way (SelectObject keeps no previous region;
// use SelectClipRgn).
class ScopedSelectObject {
public:
    ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc) {
        assert(GetObjectType(object) != OBJ_REGION);
        previous_ = SelectObject(dc, object);
    }
    ~ScopedSelectObject() {
        if (previous_) SelectObject(dc_, previous_);
    }
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_ = nullptr;
};

// BeginPaint to EndPaint, in a WM_PAINT handler.
class PaintDC {
public:
    explicit PaintDC(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
    ~PaintDC() { EndPaint(window_, &paint_); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;

    HDC get() const { return dc_; }
    // The part of the window that needs painting.
    const RECT& UpdateRect() const { return paint_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_ = nullptr;
};

// GetDC to ReleaseDC: the client area of a window (or the screen for null).
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// CreateCompatibleDC to DeleteDC: a memory device context. Move-only.
class MemoryDC {
public:
    MemoryDC() = default;
    explicit MemoryDC(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
    MemoryDC(MemoryDC&& other) noexcept : dc_(std::exchange(other.dc_, nullptr)) {}
    MemoryDC& operator=(MemoryDC&& other) noexcept {
        if (this != &other) {
            if (dc_) DeleteDC(dc_);
            dc_ = std::exchange(other.dc_, nullptr);
        }
        return *this;
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    ~MemoryDC() {
        if (dc_) DeleteDC(dc_);
    }

    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HDC dc_ = nullptr;
};
