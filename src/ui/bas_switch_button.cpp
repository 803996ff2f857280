#include "ui/bas_switch_button.h"

#include "gdi_owners.h"
#include "dpi_scale.h"
#include "ui/control_accessible.h"
#include "ui/font_factory.h"
#include "ui/control_window.h"
#include "ui/text_measure.h"

Gdiplus::Color OpaqueColour(COLORREF colour) {
    return Gdiplus::Color(255, GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

void AddRoundedRectangle(Gdiplus::GraphicsPath& path, const Gdiplus::RectF& box, float radius) {
    const float d = 2 * radius;
    path.AddArc(box.X, box.Y, d, d, 180, 90);
    path.AddArc(box.X + box.Width - d, box.Y, d, d, 270, 90);
    path.AddArc(box.X + box.Width - d, box.Y + box.Height - d, d, d, 0, 90);
    path.AddArc(box.X, box.Y + box.Height - d, d, d, 90, 90);
    path.CloseFigure();
}

BASSwitchButton::~BASSwitchButton() = default;

bool BASSwitchButton::Create(HWND parent, int controlId) {
    const DWORD style = BS_OWNERDRAW | WS_CHILD | WS_TABSTOP | (visibleOnCreation_ ? WS_VISIBLE : 0);
    HWND button = CreateWindowExW(0, L"BUTTON", L"", style, 0, 0, 0, 0, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), nullptr, nullptr);
    if (!button || !Attach(button)) return false;
    ownFont_ = MakeFont({.family = L"Arial", .size = 12.0f}, kDesignDpi);
    font_ = ownFont_.get();
    return true;
}

bool BASSwitchButton::CreateForDialog(HWND parent, const DialogButtonArgs& args) {
    SetToggleMode(false);
    if (!Create(parent, args.id)) return false;
    Restyle(args);
    return true;
}

void BASSwitchButton::Restyle(const DialogButtonArgs& args) {
    SetFont(args.font, true);
    SetMargins(args.marginX, args.marginY);
    SetRounded(args.radius > 0, args.radius > 0 ? args.radius : radius_);
    SetLabelAndColours(args.anchorX, args.anchorY, args.label ? *args.label : std::wstring(), args.normal, 0xFFFFFF,
                       args.pressed, 0xFFFFFF);
}

void BASSwitchButton::SetFont(Gdiplus::Font* font, bool releasePrevious) {
    if (releasePrevious && font_ == ownFont_.get()) ownFont_.reset();
    font_ = font;
}

void BASSwitchButton::SetLabelAndColours(int anchorX, int anchorY, const std::wstring& label, COLORREF normalBack,
                                         COLORREF normalText, COLORREF pressedBack, COLORREF pressedText) {
    normalBack_ = normalBack;
    normalText_ = normalText;
    pressedBack_ = pressedBack;
    pressedText_ = pressedText;
    anchorX_ = anchorX;
    anchorY_ = anchorY;
    SetLabel(label);
}

void BASSwitchButton::SetLabel(const std::wstring& label) {
    label_ = label;
    if (Handle()) SetWindowTextW(Handle(), label_.c_str());
    // Before the window exists there is nothing to measure on: no size yet.
    const Gdiplus::SizeF measured = Handle() ? TextMeasure(Handle()).Measure(label_, font_) : Gdiplus::SizeF();
    width_ = LabelButtonExtent(measured.Width, marginX_);
    height_ = LabelButtonExtent(measured.Height, marginY_);
    Reanchor(anchorX_, anchorY_);
}

void BASSwitchButton::Reanchor(int anchorX, int anchorY) {
    anchorX_ = anchorX;
    anchorY_ = anchorY;
    if (!Handle()) return;
    PlaceAnchored(Handle(), anchorX, anchorY, width_, height_);
    InvalidateRect(Handle(), nullptr, FALSE);
}

void BASSwitchButton::SetEnabled(bool enabled) {
    state_ = enabled ? ControlState::Normal : ControlState::Disabled;
    EnableWindow(Handle(), enabled);
    InvalidateRect(Handle(), nullptr, FALSE);
}

void BASSwitchButton::OnMouseMove(UINT, POINT) {
    if (!tracking_) {
        TrackHoverAndLeave(Handle());
        tracking_ = true;
    }
    SetMsgHandled(false);
}

void BASSwitchButton::OnMouseHover(UINT, POINT) {
    if (state_ == ControlState::Disabled) return;
    if (!toggle_ || state_ != ControlState::Pressed) state_ = ControlState::Hover;
    InvalidateRect(Handle(), nullptr, FALSE);
}

// The command fires on the press, not on the release.
void BASSwitchButton::OnLButtonDown(UINT, POINT) {
    if (state_ == ControlState::Disabled) return;
    state_ = ControlState::Pressed;
    PostControlCommand(Handle());
    InvalidateRect(Handle(), nullptr, FALSE);
}

void BASSwitchButton::OnMouseLeave() {
    if (tracking_) {
        const bool keep = toggle_ ? state_ == ControlState::Pressed : state_ == ControlState::Disabled;
        if (!keep) state_ = ControlState::Normal;
        InvalidateRect(Handle(), nullptr, !toggle_);
    }
    tracking_ = false;
}

LRESULT BASSwitchButton::OnClick(UINT, WPARAM, LPARAM) {
    if (state_ != ControlState::Disabled) state_ = ControlState::Pressed;
    SetMsgHandled(false);
    return 0;
}

bool BASSwitchButton::OnEraseBackground(HDC dc) {
    RECT client{};
    GetClientRect(Handle(), &client);
    UniqueBrush brush(CreateSolidBrush(surround_));
    FillRect(dc, &client, brush.get());
    return true;
}

void BASSwitchButton::OnDrawItem(UINT, DRAWITEMSTRUCT* item) { Paint(item->hDC, item->rcItem, ShowsFocusCue(*item)); }

LRESULT BASSwitchButton::OnGetObject(UINT, WPARAM wParam, LPARAM lParam) {
    const LRESULT answer = AnswerAsPushButton(Handle(), wParam, lParam);
    if (!answer) SetMsgHandled(false);
    return answer;
}

// Drawn into an ARGB bitmap of the client's size and copied in one step.
void BASSwitchButton::Paint(HDC dc, const RECT& client, bool focusCue) const {
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0) return;
    Gdiplus::Bitmap canvas(width, height, PixelFormat32bppARGB);
    {
        Gdiplus::Graphics graphics(&canvas);
        graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        const Gdiplus::RectF inner(2, 2, static_cast<Gdiplus::REAL>(width - 4), static_cast<Gdiplus::REAL>(height - 4));
        COLORREF back = normalBack_, text = normalText_;
        if (state_ == ControlState::Pressed || state_ == ControlState::Hover) back = pressedBack_, text = pressedText_;
        if (state_ == ControlState::Disabled) back = disabledBack_, text = disabledText_;

        Gdiplus::SolidBrush surround(OpaqueColour(surround_));
        graphics.FillRectangle(&surround, 0, 0, width, height);
        Gdiplus::GraphicsPath shape;
        if (rounded_) AddRoundedRectangle(shape, inner, static_cast<float>(radius_));
        else shape.AddRectangle(inner);
        Gdiplus::SolidBrush fill(OpaqueColour(back));
        graphics.FillPath(&fill, &shape);
        if (border_ != kNoBorder) {
            Gdiplus::Pen outline(OpaqueColour(border_), 1);
            graphics.DrawPath(&outline, &shape);
        }
        if (!label_.empty() && font_) {
            Gdiplus::StringFormat centred;
            centred.SetAlignment(Gdiplus::StringAlignmentCenter);
            centred.SetLineAlignment(Gdiplus::StringAlignmentCenter);
            Gdiplus::SolidBrush ink(OpaqueColour(text));
            graphics.DrawString(label_.c_str(), -1, font_, inner, &centred, &ink);
        }
        // The cue follows the shape 2 pixels inside it, in the label's colour.
        if (focusCue && width > 10 && height > 10) {
            const Gdiplus::RectF ring(4, 4, static_cast<Gdiplus::REAL>(width - 9),
                                      static_cast<Gdiplus::REAL>(height - 9));
            Gdiplus::GraphicsPath cueShape;
            if (rounded_ && radius_ > 2) AddRoundedRectangle(cueShape, ring, static_cast<float>(radius_ - 2));
            else cueShape.AddRectangle(ring);
            Gdiplus::Pen cue(OpaqueColour(text), 1);
            graphics.DrawPath(&cue, &cueShape);
        }
    }
    Gdiplus::Graphics target(dc);
    target.DrawImage(&canvas, client.left, client.top, width, height);
}
