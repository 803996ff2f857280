#include "ui/ui_alert_dialog.h"

#include <algorithm>

#include "settings_catalog.h"
#include "ui/alert_layout.h"
#include "ui/font_factory.h"
#include "ui/text_measure.h"

namespace {

constexpr int kButtonMarginX = 30;
constexpr int kButtonMarginY = 6;
constexpr int kButtonRadius = 6;
constexpr int kIconMargin = 20;
// The layout expects cells (ascent and descent) of these heights.
constexpr float kButtonCell = 17.0f;
constexpr float kTextCell = 16.0f;
constexpr int kScrollBarWidth = 16;  // within the right margin of the text
constexpr int kWheelLines = 3;

}  // namespace

UiAlertDialog::UiAlertDialog(Gdiplus::Image* closeImage, Gdiplus::Image* closePressedImage, Gdiplus::Image* icon,
                             bool twoButtons, const std::wstring& secondText, const std::wstring& confirmText)
    : UiDialog(closeImage, closePressedImage),
      confirmText_(confirmText),
      twoButtons_(twoButtons),
      secondText_(secondText),
      icon_(icon) {}

UiAlertDialog::~UiAlertDialog() = default;

void UiAlertDialog::SetContent(HWND parent, int width, int height, const std::wstring& message,
                               const wchar_t* confirmText) {
    SetPlacement(parent, width, height);
    message_ = message;
    if (confirmText) confirmText_ = confirmText;
}

void UiAlertDialog::Show(int showCommand) {
    if (Handle()) ShowWindow(Handle(), showCommand);
}

void UiAlertDialog::CreateFonts() {
    buttonFont_ = MakeFont({.family = L"Arial", .size = kButtonCell, .height = FontHeight::Cell}, Scale().Dpi());
    textFont_ = MakeFont({.family = L"Arial", .size = kTextCell, .height = FontHeight::Cell}, Scale().Dpi());
}

bool UiAlertDialog::OnInitDialog(HWND, LPARAM) {
    InitialiseBase();
    ApplyScale();
    // The message is painted, never shown as a caption; as the window's text
    // it is there for tools that read windows, such as screen readers.
    SetWindowTextW(Handle(), message_.c_str());
    buttonNormal_ = CatalogColour("color:common:button:normal", 0x7F7F7F);
    buttonPressed_ = CatalogColour("color:common:button:pressed", 0xC3C3C3);
    confirmButton_.CreateForDialog(Handle(), ButtonArgs(kConfirmButtonId));
    secondButton_.CreateForDialog(Handle(), ButtonArgs(kSecondButtonId));
    if (!twoButtons_) ShowWindow(secondButton_.Handle(), SW_HIDE);
    LayOut();
    return false;
}

// The fonts, and the icon in its render for the display, in its size at 96
// DPI scaled.
void UiAlertDialog::ApplyScale() {
    CreateFonts();
    iconSize_ = ScaledSize(icon_, Scale());
    iconRender_ = RenderForDpi(icon_, Scale().Dpi());
}

DialogButtonArgs UiAlertDialog::ButtonArgs(int id) const {
    return {.id = id,
            .label = id == kConfirmButtonId ? &confirmText_ : &secondText_,
            .font = buttonFont_.get(),
            .marginX = Px(kButtonMarginX),
            .marginY = Px(kButtonMarginY),
            .radius = Px(kButtonRadius),
            .normal = buttonNormal_,
            .pressed = buttonPressed_};
}

void UiAlertDialog::OnScaleChanged() {
    ApplyScale();
    confirmButton_.Restyle(ButtonArgs(kConfirmButtonId));
    secondButton_.Restyle(ButtonArgs(kSecondButtonId));
    LayOut();
}

// The window keeps its top-left corner and its height follows the message,
// as long as it fits the work area: a longer message scrolls in the room
// left, and a dialog that would reach past the area's bottom moves up.
void UiAlertDialog::LayOut() {
    AlertLayout box = AlertTextBox(Width(), iconSize_.cx, Scale());
    const Gdiplus::SizeF measured = TextMeasure(Handle()).Measure(message_, textFont_.get(), box.textWidth);
    const SIZE confirm{confirmButton_.Width(), confirmButton_.Height()};
    const SIZE second{secondButton_.Width(), secondButton_.Height()};
    RECT place{};
    GetWindowRect(Handle(), &place);
    const RECT work = WorkAreaAround(place);
    const AlertLayout layout = LayOutAlert(Width(), iconSize_.cx, iconSize_.cy, measured.Height, confirm, second,
                                           twoButtons_, Scale(), work.bottom - work.top);
    textX_ = layout.textX;
    textWidth_ = layout.textWidth;
    textHeight_ = layout.cut ? layout.textHeight : 0;
    textTop_ = layout.textTop;
    fullTextHeight_ = measured.Height;
    PlaceScrollBar(layout);
    SetPixelHeight(layout.height);
    const POINT origin = KeptInside({place.left, place.top}, Width(), layout.height, work);
    SetWindowPos(Handle(), nullptr, origin.x, origin.y, Width(), layout.height, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(secondButton_.Handle(), nullptr, layout.secondButton.x, layout.secondButton.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(confirmButton_.Handle(), nullptr, layout.confirmButton.x, layout.confirmButton.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void UiAlertDialog::PlaceScrollBar(const AlertLayout& layout) {
    if (!layout.cut) {
        if (scrollBar_) ShowWindow(scrollBar_, SW_HIDE);
        ScrollTo(0);
        return;
    }
    const int x = static_cast<int>(layout.textX + layout.textWidth) + Px(2);
    const int y = static_cast<int>(layout.textTop);
    const int height = static_cast<int>(layout.textHeight);
    if (!scrollBar_) {
        scrollBar_ = CreateWindowExW(0, L"SCROLLBAR", L"", WS_CHILD | WS_TABSTOP | SBS_VERT, 0, 0, 0, 0, Handle(),
                                     nullptr, nullptr, nullptr);
    }
    SetWindowPos(scrollBar_, nullptr, x, y, Px(kScrollBarWidth), height, SWP_NOZORDER | SWP_NOACTIVATE);
    SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL};
    info.nMax = static_cast<int>(fullTextHeight_ + 0.5f);
    info.nPage = static_cast<UINT>(height);
    SetScrollInfo(scrollBar_, SB_CTL, &info, FALSE);
    ShowWindow(scrollBar_, SW_SHOWNA);
    ScrollTo(scrollY_);
}

// Clamped to the message's end; the bar shows the same place.
void UiAlertDialog::ScrollTo(int position) {
    const int most = textHeight_ > 0 ? static_cast<int>(fullTextHeight_ + 0.5f - textHeight_) : 0;
    position = std::clamp(position, 0, std::max(most, 0));
    if (scrollBar_) SetScrollPos(scrollBar_, SB_CTL, position, TRUE);
    if (position == scrollY_) return;
    scrollY_ = position;
    InvalidateRect(Handle(), nullptr, FALSE);
}

LRESULT UiAlertDialog::OnVScroll(UINT, WPARAM wParam, LPARAM lParam) {
    if (!scrollBar_ || reinterpret_cast<HWND>(lParam) != scrollBar_) return 0;
    const int line = Px(static_cast<int>(kTextCell)), page = static_cast<int>(textHeight_) - line;
    switch (LOWORD(wParam)) {
    case SB_LINEUP: ScrollTo(scrollY_ - line); break;
    case SB_LINEDOWN: ScrollTo(scrollY_ + line); break;
    case SB_PAGEUP: ScrollTo(scrollY_ - page); break;
    case SB_PAGEDOWN: ScrollTo(scrollY_ + page); break;
    case SB_TOP: ScrollTo(0); break;
    case SB_BOTTOM: ScrollTo(static_cast<int>(fullTextHeight_)); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        SCROLLINFO info{sizeof info, SIF_TRACKPOS};
        GetScrollInfo(scrollBar_, SB_CTL, &info);
        ScrollTo(info.nTrackPos);
        break;
    }
    default: break;
    }
    return 0;
}

LRESULT UiAlertDialog::OnMouseWheel(UINT, WPARAM wParam, LPARAM) {
    if (textHeight_ <= 0) return 0;
    const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
    ScrollTo(scrollY_ - notches * kWheelLines * Px(static_cast<int>(kTextCell)));
    return 0;
}

void UiAlertDialog::OnButton(UINT, int id, HWND) {
    confirmed_ = id == kConfirmButtonId;
    EndDialog(id);
}

void UiAlertDialog::DrawContent(HDC dc, int, int top, int right, int bottom) {
    Gdiplus::Graphics graphics(dc);
    const int margin = Px(kIconMargin);
    if (iconRender_) graphics.DrawImage(iconRender_, margin, top + margin, iconSize_.cx, iconSize_.cy);
    if (!textFont_) return;  // no family loaded: no text rather than text in a font that failed
    Gdiplus::StringFormat format;
    format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    Gdiplus::SolidBrush black(Gdiplus::Color(0xFF000000));
    Gdiplus::RectF box(textX_, 0, right - textX_ - margin, static_cast<Gdiplus::REAL>(bottom));
    if (textHeight_ > 0) {
        // The room below the title bar shows the part of the whole message
        // that the scroll position reaches.
        const Gdiplus::RectF room(textX_, textTop_, box.Width, textHeight_);
        graphics.SetClip(room);
        box = Gdiplus::RectF(textX_, room.Y - static_cast<Gdiplus::REAL>(scrollY_), box.Width,
                             fullTextHeight_ + Px(kTextCell));
        format.SetLineAlignment(Gdiplus::StringAlignmentNear);
    }
    graphics.DrawString(message_.c_str(), -1, textFont_.get(), box, &format, &black);
}
