#include "ui/ui_dialog.h"

#include <algorithm>

#include "BASUserDefaults.h"
#include "I18n.h"
#include "dpi.h"
#include "gdi_owners.h"
#include "settings_catalog.h"
#include "ui/font_factory.h"
#include "ui/text_measure.h"

namespace {

constexpr int kTitleBarHeight = 26;
constexpr COLORREF kFrameGrey = 0x7F7F7F;
constexpr int kShadowSize = 4;
constexpr int kCloseAnchorX = -8;
constexpr int kCloseAnchorY = 4;

// The top-level window above dialog: parents of children, owners of popups.
HWND TopLevelOwner(HWND dialog) {
    HWND found = nullptr;
    for (HWND up = GetParent(dialog); up; up = GetParent(up)) found = up;
    return found;
}

}  // namespace

RECT WorkAreaAround(const RECT& area) {
    MONITORINFO monitor{sizeof monitor};
    if (GetMonitorInfoW(MonitorFromRect(&area, MONITOR_DEFAULTTONEAREST), &monitor)) return monitor.rcWork;
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

POINT CentredDialogOrigin(const RECT& parentRect, int width, int height) {
    return POINT{parentRect.left + (parentRect.right - parentRect.left - width) / 2,
                 parentRect.top + (parentRect.bottom - parentRect.top - height) / 2};
}

SIZE ScaledSize(Gdiplus::Image* picture, const DpiScale& scale) {
    if (!picture) return {};
    return {scale.Px(static_cast<int>(picture->GetWidth())), scale.Px(static_cast<int>(picture->GetHeight()))};
}

POINT KeptInside(POINT origin, int width, int height, const RECT& workArea) {
    origin.x = std::max(std::min(origin.x, workArea.right - width), workArea.left);
    origin.y = std::max(std::min(origin.y, workArea.bottom - height), workArea.top);
    return origin;
}

COLORREF CatalogColour(const char* key, COLORREF fallback) {
    const BASUserDefaults* store = BASUserDefaults::GetUserDefaults("url");
    return store && store->IsOk() ? store->GetRGB(key, fallback) : fallback;
}

UiDialog::UiDialog(Gdiplus::Image* closeImage, Gdiplus::Image* closePressedImage, Activation activation)
    : DialogBase({.style = WS_POPUP | (activation == Activation::Never ? 0u : WS_SYSMENU) | DS_SETFONT | DS_FIXEDSYS,
                  .width = 316,
                  .height = 183}),
      closeImage_(closeImage),
      closePressedImage_(closePressedImage) {}

UiDialog::~UiDialog() = default;

bool UiDialog::Create(HWND parent, int width, int height) {
    SetPlacement(parent, width, height);
    DialogBase::Create(parent);
    return true;
}

void UiDialog::Show(int showCommand) {
    if (showCommand == SW_SHOW) RememberFocus();  // before the parent is disabled, which takes the focus away
    if (HWND shadow = shadow_.Handle()) ShowWindow(shadow, showCommand == SW_SHOW ? SW_SHOWNA : showCommand);
    if (parent_) EnableWindow(parent_, showCommand != SW_SHOW);
    if (Handle()) ShowWindow(Handle(), showCommand);
}

void UiDialog::Reset() { finished_ = closed_ = false; }

void UiDialog::MoveBy(int dx, int dy) {
    RECT place{};
    if (!Handle() || !GetWindowRect(Handle(), &place)) return;
    SetWindowPos(Handle(), nullptr, place.left + dx, place.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool UiDialog::OnInitDialog(HWND, LPARAM) {
    InitialiseBase();
    return false;  // the dialog sets no focus of its own
}

void UiDialog::TakeDisplayScale() {
    if (!parent_) parent_ = TopLevelOwner(Handle());
    scale_ = DpiScale(DpiForWindow(parent_ ? parent_ : Handle()));
}

void UiDialog::InitialiseBase() {
    TakeDisplayScale();
    width_ = Px(designWidth_);
    height_ = Px(designHeight_);
    // Centred on the window above, or on the work area when there is none,
    // and kept inside the work area of the monitor it opens on.
    RECT parentRect{};
    if (!parent_ || !GetWindowRect(parent_, &parentRect)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &parentRect, 0);
    const POINT origin =
        KeptInside(CentredDialogOrigin(parentRect, width_, height_), width_, height_, WorkAreaAround(parentRect));
    SetWindowPos(Handle(), HWND_TOP, origin.x, origin.y, width_, height_, SWP_HIDEWINDOW | SWP_NOACTIVATE);
    shadow_.Create(Handle());
    titleColour_ = CatalogColour("color:title:background", kFrameGrey);
    // The title is painted, never shown as a caption; as the window's text
    // it is what screen readers announce.
    if (!title_.empty()) SetWindowTextW(Handle(), title_.c_str());
    if (closeButton_.Create(Handle(), kCloseButtonId, true, wxGetTranslation(L"Close")))
        closeButton_.SetBackground(titleColour_);
    ApplyBaseScale();
}

void UiDialog::ApplyBaseScale() {
    titleFont_ = MakeFont({.family = L"Arial", .size = 13.0f}, scale_.Dpi());
    if (shadow_.Handle()) shadow_.SetShadowSize(Px(kShadowSize), Px(20));
    if (closeButton_.Handle()) {
        closeButton_.SetImages(RenderForDpi(closeImage_, scale_.Dpi()), Px(kCloseAnchorX), Px(kCloseAnchorY),
                               RenderForDpi(closePressedImage_, scale_.Dpi()), ScaledSize(closeImage_, scale_));
    }
}

void UiDialog::OnPaint(HDC dc, const RECT&) {
    RECT client{};
    GetClientRect(Handle(), &client);
    SetBkMode(dc, TRANSPARENT);
    {
        UniquePen framePen(CreatePen(PS_SOLID, 1, kFrameGrey));
        ScopedSelectObject pen(dc, framePen.get());
        ScopedSelectObject brush(dc, GetStockObject(WHITE_BRUSH));
        Rectangle(dc, client.left, client.top, client.right, client.bottom);
    }
    const int barHeight = Px(kTitleBarHeight);
    RECT bar{client.left, client.top, client.right, client.top + barHeight};
    UniqueBrush barBrush(CreateSolidBrush(titleColour_));
    FillRect(dc, &bar, barBrush.get());
    if (!title_.empty() && titleFont_) {
        Gdiplus::Graphics graphics(dc);
        const Gdiplus::SizeF measured = TextMeasure::Measure(graphics, title_, titleFont_.get());
        Gdiplus::StringFormat centred;
        centred.SetAlignment(Gdiplus::StringAlignmentCenter);
        centred.SetLineAlignment(Gdiplus::StringAlignmentCenter);
        const Gdiplus::RectF box(Px(8.0f), std::abs(barHeight - measured.Height) / 2, measured.Width, measured.Height);
        Gdiplus::SolidBrush white(Gdiplus::Color(0xFFFFFFFF));
        graphics.DrawString(title_.c_str(), -1, titleFont_.get(), box, &centred, &white);
    }
    DrawContent(dc, client.left + 1, client.top + barHeight, client.right - 1, client.bottom - 1);
}

// Pressing anywhere on the body drags the dialog, as its caption would.
void UiDialog::OnLButtonDown(UINT, POINT point) {
    PostMessageW(Handle(), WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
}

// The size is the dialog's own at the new scale rather than the suggested
// one, which only scales the old size: the texts measured at the new scale
// decide it (the alert's height follows its message).
void UiDialog::OnDpiChanged(int dpi, const RECT* suggested) {
    const bool rescale = DpiScale(dpi).Dpi() != scale_.Dpi();
    if (rescale) {
        scale_ = DpiScale(dpi);
        width_ = Px(designWidth_);
        height_ = Px(designHeight_);
    }
    RECT place{};
    GetWindowRect(Handle(), &place);
    if (suggested) place = *suggested;
    SetWindowPos(Handle(), nullptr, place.left, place.top, rescale ? width_ : place.right - place.left,
                 rescale ? height_ : place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
    if (!rescale) return;
    ApplyBaseScale();
    OnScaleChanged();
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void UiDialog::OnCloseButton(UINT, int, HWND) { OnClose(); }

void UiDialog::OnClose() {
    if (parent_) EnableWindow(parent_, TRUE);
    Show(SW_HIDE);
    closed_ = true;
}
