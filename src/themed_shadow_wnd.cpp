#include "themed_shadow_wnd.h"

#include "themed_shadow_geometry.h"

#include <algorithm>

namespace {

constexpr BYTE kConstantAlpha = 128;

// A pixel of the shadow at opacity alpha, premultiplied as layered windows
// take it: black where opaque, paling towards white as it fades out.
UINT32 ShadowPixel(int alpha) {
    const UINT32 a = static_cast<UINT32>(alpha), grey = (255 - a) * a / 255;
    return a << 24 | grey << 16 | grey << 8 | grey;
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

// Laying the rendered bitmap on the window sizes it again to the same size:
// only a new size needs a new bitmap.
void CThemedShadowWnd::OnSize(UINT, SIZE size) {
    if (size.cx != rendered_.cx || size.cy != rendered_.cy) needsRendering_ = true;
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

// A rounded outline graded from transparent at the edge to black a
// twentieth of the way in. Only the strips to the right and below, which
// the owner does not cover, are worked out pixel by pixel; the rest of the
// bitmap stays clear. The whole owner-sized bitmap through a path gradient
// took the main thread most of a second under emulation, at every start.
void CThemedShadowWnd::Render() {
    bitmapHandle_.reset();
    const int width = client_.right - client_.left;
    const int height = client_.bottom - client_.top;
    rendered_ = {width, height};
    if (width <= 0 || height <= 0) return;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB};  // top-down rows
    void* bits = nullptr;
    bitmapHandle_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmapHandle_ || !bits) return;
    auto* pixels = static_cast<UINT32*>(bits);
    std::fill(pixels, pixels + static_cast<size_t>(width) * height, 0u);
    const RECT hidden = ShadowHiddenPart(RECT{0, 0, width, height}, size_, inset_);
    for (int y = 0; y < height; ++y) {
        UINT32* row = pixels + static_cast<size_t>(y) * width;
        for (int x = y < hidden.bottom ? std::max(0, static_cast<int>(hidden.right)) : 0; x < width; ++x)
            row[x] = ShadowPixel(ShadowAlphaAt(x, y, width, height, cornerDiameter_));
    }

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
