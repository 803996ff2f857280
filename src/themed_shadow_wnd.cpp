#include "themed_shadow_wnd.h"

#include "themed_shadow_geometry.h"

#include <algorithm>

namespace {

constexpr BYTE kConstantAlpha = 128;
// The gradient is transparent at the outline and black from this fraction of
// the way to the centre on.
constexpr float kBlackFrom = 0.05f;

// Reshapes a linear gradient, from transparent white at the outline to black
// at the centre, into the shadow's: the same colours reached within the first
// twentieth. Done on the pixels because Wine's GDI+ ignores a path
// gradient's preset blend (and its focus scales) and draws only the linear
// centre-to-surround gradient, which every GDI+ draws alike; the linear
// alpha tells how far in a pixel lies.
void SteepenGradient(Gdiplus::Bitmap& bitmap) {
    Gdiplus::Rect all(0, 0, static_cast<INT>(bitmap.GetWidth()), static_cast<INT>(bitmap.GetHeight()));
    Gdiplus::BitmapData data{};
    if (bitmap.LockBits(&all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &data) !=
        Gdiplus::Ok)
        return;
    for (UINT y = 0; y < data.Height; ++y) {
        auto* row = reinterpret_cast<UINT32*>(static_cast<BYTE*>(data.Scan0) + y * data.Stride);
        for (UINT x = 0; x < data.Width; ++x) {
            const UINT32 alpha = row[x] >> 24;
            if (alpha == 0) continue;  // outside the outline or behind the owner
            const float depth = std::min(1.0f, alpha / (255.0f * kBlackFrom));
            const auto a = static_cast<UINT32>(depth * 255.0f + 0.5f);
            const UINT32 grey = 255 - a;
            row[x] = a << 24 | grey << 16 | grey << 8 | grey;
        }
    }
    bitmap.UnlockBits(&data);
}

}  // namespace

CThemedShadowWnd::~CThemedShadowWnd() { ReleaseOwner(); }

WindowClassInfo CThemedShadowWnd::GetWindowClassInfo() const {
    return {.name = L"WTL_ThemedShadowWindow", .style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS};
}

// Click-through, kept off the taskbar and never activated, so the shadow can
// never take a click or the focus from the windows around it. It is made
// hidden and shown without activation: made visible, the system would
// activate it (Wine does, whatever its extended style says), which leaves the
// keyboard on the shadow and makes it a window that Wine hands to the window
// manager, whose hiding then stalls when there is none.
bool CThemedShadowWnd::Create(HWND owner) {
    owner_ = owner;
    if (!WindowBase::Create({.rect = {1, 1, 1, 1},
                             .style = WS_POPUP,
                             .exStyle = WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW})) {
        owner_ = nullptr;
        return false;
    }
    if (IsWindowVisible(owner_)) ShowWindow(Handle(), SW_SHOWNA);
    return true;
}

int CThemedShadowWnd::OnCreate(CREATESTRUCTW*) {
    ownerWatch_.Attach(owner_, SubclassedWindow::Mode::Hook);
    SetMsgHandled(false);
    return 0;
}

void CThemedShadowWnd::OnSize(UINT, SIZE) {
    needsRendering_ = true;
    SetMsgHandled(false);
}

void CThemedShadowWnd::FollowOwner(UINT message, WPARAM wParam) {
    if (!owner_) return;
    switch (message) {
    case WM_DESTROY:
        // The hook stays until the owner's last message takes it off.
        owner_ = nullptr;
        DestroyWindow(Handle());
        break;
    case WM_MOVE:
    case WM_SIZE:
    case WM_ACTIVATE:
    case WM_ERASEBKGND:
    case WM_NCACTIVATE:
        if (IsWindowVisible(owner_)) Place();
        break;
    case WM_SHOWWINDOW: ShowWindow(Handle(), wParam ? SW_SHOWNA : SW_HIDE); break;
    default: break;
    }
}

void CThemedShadowWnd::PlaceNow() {
    if (owner_ && IsWindowVisible(owner_)) Place();
}

// Takes the hook off an owner that outlives the shadow and destroys the
// shadow window.
void CThemedShadowWnd::ReleaseOwner() {
    ownerWatch_.Detach();
    if (!owner_) return;
    owner_ = nullptr;
    if (Handle()) DestroyWindow(Handle());
}

void CThemedShadowWnd::Place() {
    RECT ownerRect{};
    GetWindowRect(owner_, &ownerRect);
    const RECT place = ShadowRect(ownerRect, size_);
    // Placing the shadow repaints what lies around it, which reaches the
    // owner as more of the messages that place it: a shadow already in place
    // is left alone, or the two would trade messages for ever.
    RECT now{};
    GetWindowRect(Handle(), &now);
    const bool placed = EqualRect(&now, &place) && GetWindow(owner_, GW_HWNDNEXT) == Handle();
    if (!placed)
        SetWindowPos(Handle(), owner_, place.left, place.top, place.right - place.left, place.bottom - place.top,
                     SWP_NOACTIVATE);
    GetClientRect(Handle(), &client_);
    if (!needsRendering_) return;
    needsRendering_ = false;
    Render();
}

// A rounded outline filled with a gradient from transparent at the edge to
// black a twentieth of the way in; the part behind the owner stays clear.
// The brush draws the gradient linearly over the whole depth; SteepenGradient
// gives it its three stops.
void CThemedShadowWnd::Render() {
    bitmapHandle_.reset();
    bitmap_.reset();
    const int width = client_.right - client_.left;
    const int height = client_.bottom - client_.top;
    if (width <= 0 || height <= 0) return;

    Gdiplus::GraphicsPath outline;
    const int right = client_.left + width - cornerDiameter_;
    const int bottom = client_.top + height - cornerDiameter_;
    outline.AddArc(client_.left, client_.top, cornerDiameter_, cornerDiameter_, 180, 90);
    outline.AddArc(right, client_.top, cornerDiameter_, cornerDiameter_, 270, 90);
    outline.AddArc(right, bottom, cornerDiameter_, cornerDiameter_, 0, 90);
    outline.AddArc(client_.left, bottom, cornerDiameter_, cornerDiameter_, 90, 90);
    outline.CloseFigure();

    bitmap_ = std::make_unique<Gdiplus::Bitmap>(width, height, PixelFormat32bppARGB);
    {
        Gdiplus::Graphics graphics(bitmap_.get());
        Gdiplus::PathGradientBrush brush(&outline);
        Gdiplus::Color surround(0x00FFFFFF);
        INT surroundCount = 1;
        brush.SetCenterColor(Gdiplus::Color(0xFF000000));
        brush.SetSurroundColors(&surround, &surroundCount);
        const RECT hidden = ShadowHiddenPart(client_, size_, inset_);
        graphics.ExcludeClip(
            Gdiplus::Rect(hidden.left, hidden.top, hidden.right - hidden.left, hidden.bottom - hidden.top));
        graphics.FillPath(&brush, &outline);
    }
    SteepenGradient(*bitmap_);
    HBITMAP handle = nullptr;
    if (bitmap_->GetHBITMAP(Gdiplus::Color(0xFF000000), &handle) != Gdiplus::Ok) return;
    bitmapHandle_.reset(handle);

    WindowDC screen(nullptr);
    MemoryDC memory(screen.get());
    ScopedSelectObject selected(memory.get(), bitmapHandle_.get());
    WindowDC own(Handle());
    RECT window{};
    GetWindowRect(Handle(), &window);
    POINT position{window.left, window.top};
    SIZE size{width, height};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, kConstantAlpha, AC_SRC_ALPHA};
    UpdateLayeredWindow(Handle(), own.get(), &position, &size, memory.get(), &source, 0, &blend, ULW_ALPHA);
}
