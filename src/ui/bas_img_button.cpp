#include "ui/bas_img_button.h"

#include "BASUtility.h"
#include "ui/control_accessible.h"
#include "ui/control_window.h"

bool BASImgButton::Create(HWND parent, int controlId, bool visible, const wchar_t* name) {
    const DWORD style = BS_OWNERDRAW | WS_CHILD | WS_TABSTOP | (visible ? WS_VISIBLE : 0);
    HWND button = CreateWindowExW(0, L"BUTTON", name, style, 0, 0, 0, 0, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), nullptr, nullptr);
    return button && Attach(button);
}

void BASImgButton::SetImages(Gdiplus::Image* normal, int anchorX, int anchorY, Gdiplus::Image* pressed, SIZE size) {
    normal_ = normal;
    pressed_ = pressed;
    auto* bitmap = dynamic_cast<Gdiplus::Bitmap*>(normal);
    grey_.reset(BASUtilityImage::ConvertToGray(bitmap));
    width_ = size.cx > 0 ? size.cx : normal ? static_cast<int>(normal->GetWidth()) : 0;
    height_ = size.cy > 0 ? size.cy : normal ? static_cast<int>(normal->GetHeight()) : 0;
    PlaceAnchored(Handle(), anchorX, anchorY, width_, height_);
}

void BASImgButton::SetBackground(COLORREF colour) {
    backgroundOn_ = true;
    background_ = colour;
}

void BASImgButton::SetEnabled(bool enabled) {
    EnableWindow(Handle(), enabled);
    SetState(enabled ? ControlState::Normal : ControlState::Disabled);
}

void BASImgButton::SetState(ControlState state) {
    state_ = state;
    InvalidateRect(Handle(), nullptr, FALSE);
}

void BASImgButton::OnMouseMove(UINT, POINT) {
    if (!tracking_) {
        TrackHoverAndLeave(Handle());
        tracking_ = true;
    }
    SetMsgHandled(false);
}

void BASImgButton::OnMouseHover(UINT, POINT) { SetState(ControlState::Pressed); }

// The command fires on the press: a dialog closes before the button is let go.
void BASImgButton::OnLButtonDown(UINT, POINT) {
    SetState(ControlState::Pressed);
    PostControlCommand(Handle());
}

void BASImgButton::OnLButtonUp(UINT, POINT) { SetState(ControlState::Normal); }

void BASImgButton::OnMouseLeave() {
    tracking_ = false;
    SetState(ControlState::Normal);
}

void BASImgButton::OnDrawItem(UINT, DRAWITEMSTRUCT* item) {
    Gdiplus::Graphics graphics(item->hDC);
    if (backgroundOn_) {
        Gdiplus::SolidBrush fill(
            Gdiplus::Color(GetRValue(background_), GetGValue(background_), GetBValue(background_)));
        const RECT& r = item->rcItem;
        graphics.FillRectangle(&fill, static_cast<INT>(r.left), static_cast<INT>(r.top),
                               static_cast<INT>(r.right - r.left), static_cast<INT>(r.bottom - r.top));
    }
    Gdiplus::Image* picture = normal_;
    if (state_ == ControlState::Pressed || state_ == ControlState::Hover) picture = pressed_;
    if (state_ == ControlState::Disabled) picture = grey_.get();
    if (picture) graphics.DrawImage(picture, 0, 0, width_, height_);
    // The cue is white like the cross, along the button's edge.
    if (ShowsFocusCue(*item)) {
        Gdiplus::Pen cue(Gdiplus::Color(0xFFFFFFFF), 1);
        graphics.DrawRectangle(&cue, 0, 0, width_ - 1, height_ - 1);
    }
}

LRESULT BASImgButton::OnGetObject(UINT, WPARAM wParam, LPARAM lParam) {
    const LRESULT answer = AnswerAsPushButton(Handle(), wParam, lParam);
    if (!answer) SetMsgHandled(false);
    return answer;
}
