#include "frame_geometry.h"

#include <cstdlib>

namespace {
// The frame's size on the reference screen width.
constexpr int kReferenceScreenWidth = 1280;
constexpr int kReferenceWidth = 954;
constexpr int kReferenceHeight = 614;
// How far inside each side a point still grabs that side.
constexpr int kResizeEdge = 5;
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

RECT ViewRectAtCreation(int clientWidth, int clientHeight) {
    return RECT{kViewOffset, kViewOffset, clientWidth - kViewInset, clientHeight - kViewInset};
}

RECT ViewRectAfterRefit(int clientWidth, int clientHeight) {
    return RECT{kViewOffset, kViewOffset, kViewOffset + clientWidth - kViewInset,
                kViewOffset + clientHeight - kViewInset};
}

LRESULT FrameHitTest(POINT p, const RECT& r) {
    const bool left = p.x <= r.left + kResizeEdge;
    const bool right = p.x >= r.right - kResizeEdge;
    const bool top = p.y <= r.top + kResizeEdge;
    const bool bottom = p.y >= r.bottom - kResizeEdge;
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
    case HTRIGHT:
        return IDC_SIZEWE;
    case HTTOP:
    case HTBOTTOM:
        return IDC_SIZENS;
    case HTTOPLEFT:
    case HTBOTTOMRIGHT:
        return IDC_SIZENWSE;
    case HTTOPRIGHT:
    case HTBOTTOMLEFT:
        return IDC_SIZENESW;
    default:
        return nullptr;
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
