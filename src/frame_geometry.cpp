#include "frame_geometry.h"

#include <cstdlib>

#include "dpi_scale.h"

namespace {
// The frame's size on the reference screen width.
constexpr int kReferenceScreenWidth = 1280;
constexpr int kReferenceWidth = 954;
constexpr int kReferenceHeight = 614;
// The view leaves one pixel of border on the left and top and three on the
// right and bottom, where the four-pixel border pen and the rounded corners are.
constexpr int kViewOffset = 1;
constexpr int kViewInset = 4;
}  // namespace

RECT InitialFrameRect(int screenWidth, int screenHeight) {
    const int width = kReferenceWidth * screenWidth / kReferenceScreenWidth;
    const int height = kReferenceHeight * width / kReferenceWidth;
    // A screen smaller than the frame still gets a non-negative origin.
    const int left = std::abs(screenWidth - width) / 2;
    const int top = std::abs(screenHeight - height) / 2;
    return RECT{left, top, left + width, top + height};
}

FrameChrome FrameChromeAt(int dpi) {
    const FrameChrome design;
    return {ScaleToDpi(design.border, dpi), ScaleToDpi(design.cornerDiameter, dpi), ScaleToDpi(design.resizeEdge, dpi),
            ScaleToDpi(design.shadowSize, dpi), ScaleToDpi(design.shadowCorner, dpi)};
}

RECT ViewRectAtCreation(int clientWidth, int clientHeight, int dpi) {
    const int offset = ScaleToDpi(kViewOffset, dpi), inset = ScaleToDpi(kViewInset, dpi);
    return RECT{offset, offset, clientWidth - inset, clientHeight - inset};
}

RECT ViewRectAfterRefit(int clientWidth, int clientHeight, int dpi) {
    const int offset = ScaleToDpi(kViewOffset, dpi), inset = ScaleToDpi(kViewInset, dpi);
    return RECT{offset, offset, offset + clientWidth - inset, offset + clientHeight - inset};
}

LRESULT FrameHitTest(POINT p, const RECT& r, int resizeEdge) {
    const bool left = p.x <= r.left + resizeEdge;
    const bool right = p.x >= r.right - resizeEdge;
    const bool top = p.y <= r.top + resizeEdge;
    const bool bottom = p.y >= r.bottom - resizeEdge;
    // Corners before sides: a point in both bands takes the corner.
    if (left && top) return HTTOPLEFT;
    if (right && top) return HTTOPRIGHT;
    if (left && bottom) return HTBOTTOMLEFT;
    if (right && bottom) return HTBOTTOMRIGHT;
    if (left) return HTLEFT;
    if (right) return HTRIGHT;
    if (top) return HTTOP;
    if (!bottom) return HTCAPTION;
    return HTBOTTOM;
}

const wchar_t* SizeCursorForHit(LRESULT hitCode) {
    switch (hitCode) {
    case HTLEFT:
    case HTRIGHT: return IDC_SIZEWE;
    case HTTOP:
    case HTBOTTOM: return IDC_SIZENS;
    case HTTOPLEFT:
    case HTBOTTOMRIGHT: return IDC_SIZENWSE;
    case HTTOPRIGHT:
    case HTBOTTOMLEFT: return IDC_SIZENESW;
    default: return nullptr;
    }
}

int SizeEdgeForHit(LRESULT hitCode) {
    switch (hitCode) {
    case HTLEFT: return WMSZ_LEFT;
    case HTRIGHT: return WMSZ_RIGHT;
    case HTTOP: return WMSZ_TOP;
    case HTTOPLEFT: return WMSZ_TOPLEFT;
    case HTTOPRIGHT: return WMSZ_TOPRIGHT;
    case HTBOTTOM: return WMSZ_BOTTOM;
    case HTBOTTOMLEFT: return WMSZ_BOTTOMLEFT;
    case HTBOTTOMRIGHT: return WMSZ_BOTTOMRIGHT;
    default: return 0;
    }
}
