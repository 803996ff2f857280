#include "ui/bas_img_button.h"

#include "BASUtility.h"
#include "ui/control_window.h"

bool BASImgButton::Create(HWND parent, int controlId, bool visible) {
    const DWORD style = BS_OWNERDRAW | WS_CHILD | (visible ? WS_VISIBLE : 0);
    HWND button = CreateWindowExW(0, L"BUTTON", L"", style, 0, 0, 0, 0, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), nullptr, nullptr);
    return button && Attach(button);
}

void BASImgButton::SetImages(Gdiplus::Image* normal, int anchorX, int anchorY, Gdiplus::Image* pressed) {
    normal_ = normal;
    pressed_ = pressed;
    auto* bitmap = dynamic_cast<Gdiplus::Bitmap*>(normal);
    grey_.reset(BASUtilityImage::ConvertToGray(bitmap));
    width_ = normal ? static_cast<int>(normal->GetWidth()) : 0;
    height_ = normal ? static_cast<int>(normal->GetHeight()) : 0;
    PlaceAnchored(Handle(), anchorX, anchorY, width_, height_);
}

void BASImgButton::SetBackground(COLORREF colour) {
    backgroundOn_ = true;
    background_ = colour;
}

void BASImgButton::SetState(ControlState state) {
    state_ = state;
    InvalidateRect(Handle(), nullptr, FALSE);
}

LRESULT BASImgButton::OnMouseMove(UINT, WPARAM, LPARAM, bool& handled) {
    if (!tracking_) {
        TrackHoverAndLeave(Handle());
        tracking_ = true;
    }
    handled = false;
    return 0;
}

LRESULT BASImgButton::OnMouseHover(UINT, WPARAM, LPARAM, bool&) {
    SetState(ControlState::Pressed);
    return 0;
}

// The command fires on the press: a dialog closes before the button is let go.
LRESULT BASImgButton::OnLButtonDown(UINT, WPARAM, LPARAM, bool&) {
    SetState(ControlState::Pressed);
    PostControlCommand(Handle());
    return 0;
}

LRESULT BASImgButton::OnRelease(UINT message, WPARAM, LPARAM, bool&) {
    if (message == WM_MOUSELEAVE) tracking_ = false;
    SetState(ControlState::Normal);
    return 0;
}

// The picture covers the whole button: erasing first would only flicker.
LRESULT BASImgButton::OnEraseBackground(UINT, WPARAM, LPARAM, bool&) { return TRUE; }

LRESULT BASImgButton::OnDrawItem(UINT, WPARAM, LPARAM lParam, bool&) {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    Gdiplus::Graphics graphics(item->hDC);
    if (backgroundOn_) {
        Gdiplus::SolidBrush fill(Gdiplus::Color(GetRValue(background_), GetGValue(background_), GetBValue(background_)));
        const RECT& r = item->rcItem;
        graphics.FillRectangle(&fill, static_cast<INT>(r.left), static_cast<INT>(r.top), static_cast<INT>(r.right - r.left),
                               static_cast<INT>(r.bottom - r.top));
    }
    Gdiplus::Image* picture = normal_;
    if (state_ == ControlState::Pressed || state_ == ControlState::Hover) picture = pressed_;
    if (state_ == ControlState::Disabled) picture = grey_.get();
    if (picture) graphics.DrawImage(picture, 0, 0, width_, height_);
    return TRUE;
}
