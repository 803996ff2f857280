#include "ui/ui_sheet_dialog.h"

#include <commctrl.h>

#include <algorithm>

#include "BASUtility.h"
#include "I18n.h"
#include "settings_catalog.h"
#include "ui/font_factory.h"

namespace {

constexpr UINT_PTR kOpeningTimer = 1;
constexpr UINT kOpeningStepMs = 50;
constexpr UINT_PTR kDisplayTimer = 2;
constexpr UINT kDisplayMs = 5000;
constexpr int kSteps = 5;
constexpr int kShadowSize = 2;
constexpr int kCloseInset = 8;
constexpr int kFirstTop = 68;
constexpr int kLinkLeft = 16;
constexpr int kLinkTop = 8;
constexpr int kLinkInset = 20;  // the link is this much narrower and lower than the strip

RECT WindowRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

}  // namespace

UiSheetDialog::UiSheetDialog(Gdiplus::Image* closeImage, Gdiplus::Image* closePressedImage)
    : UiDialog(closeImage, closePressedImage, Activation::Never) {}

UiSheetDialog::~UiSheetDialog() = default;

bool UiSheetDialog::Create(HWND parent, int width, int) { return UiDialog::Create(parent, width, kFullHeight); }

int UiSheetDialog::FullHeight() const { return Px(kFullHeight); }

int UiSheetDialog::CurrentHeight() const {
    const RECT r = WindowRect(Handle());
    return r.bottom - r.top;
}

// Sizes are those at 96 DPI scaled to the display of the view it opens over.
bool UiSheetDialog::OnInitDialog(HWND, LPARAM) {
    TakeDisplayScale();
    POINT origin{0, 0};
    ClientToScreen(ParentWindow(), &origin);
    SetWindowPos(Handle(), nullptr, origin.x, origin.y + Px(kFirstTop), Width(), FullHeight() / kSteps,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    Shadow().Create(Handle());
    if (closeButton_.Create(Handle(), kCloseButtonId, false, wxGetTranslation(L"Close")))
        closeButton_.SetBackground(kStripColour);
    INITCOMMONCONTROLSEX links{sizeof links, ICC_LINK_CLASS};
    InitCommonControlsEx(&links);
    // Transparent: without it the link erases its box in the window colour,
    // a white band across the strip (Wine's link control ignores the hollow
    // class brush).
    link_ = CreateWindowExW(0, WC_LINK, L"", WS_CHILD | WS_TABSTOP | LWS_TRANSPARENT, 0, 0, 0, 0, Handle(),
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kConfirmButtonId)), nullptr, nullptr);
    if (link_) SetClassLongPtrW(link_, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(GetStockObject(NULL_BRUSH)));
    ApplyScale();
    return false;
}

// Shadow, close button, link font and place at the sheet's scale.
void UiSheetDialog::ApplyScale() {
    Shadow().SetShadowSize(Px(kShadowSize));
    if (closeButton_.Handle()) {
        const int dpi = Scale().Dpi();
        closeButton_.SetImages(RenderForDpi(CloseImage(), dpi), -Px(kCloseInset), Px(kCloseInset),
                               RenderForDpi(ClosePressedImage(), dpi), ScaledSize(CloseImage(), Scale()));
    }
    linkFont_ = MakeGdiFont({.family = L"Arial", .size = 16.0f}, Scale().Dpi());
    if (link_) SendMessageW(link_, WM_SETFONT, reinterpret_cast<WPARAM>(linkFont_.get()), TRUE);
    Realign();
}

// An open strip takes its full height at the new scale at once; any other
// starts its next opening from the first step.
void UiSheetDialog::OnScaleChanged() {
    const bool open = IsWindowVisible(Handle()) && IsWindowVisible(closeButton_.Handle());
    ApplyScale();
    if (open) ShowOpen();
    else SetHeight(FullHeight() / kSteps);
}

// A link without an address: the whole text is one clickable link. (An
// empty HREF="" is shown as raw markup by Wine's link control.)
void UiSheetDialog::SetNoticeText(const std::wstring& text) {
    const std::wstring markup = L"<A>" + text + L"</A>";
    if (link_) SetWindowTextW(link_, markup.c_str());
    InvalidateRect(Handle(), nullptr, TRUE);
}

void UiSheetDialog::Show(int showCommand) {
    if (!Handle()) return;
    if (showCommand == SW_SHOW) {
        KillTimer(Handle(), kOpeningTimer);
        SetTimer(Handle(), kOpeningTimer, kOpeningStepMs, nullptr);
        ShowWindow(Handle(), SW_SHOWNA);
        return;
    }
    KillTimer(Handle(), kOpeningTimer);
    KillTimer(Handle(), kDisplayTimer);
    ShowWindow(Handle(), SW_HIDE);
    MarkFinished();
}

void UiSheetDialog::Realign() {
    HWND parent = ParentWindow();
    if (!Handle() || !parent) return;
    const RECT area = WindowRect(parent);
    SetWindowPos(Handle(), nullptr, area.left, area.top + Px(topOffset_), area.right - area.left,
                 std::min(CurrentHeight(), FullHeight()), SWP_NOZORDER | SWP_NOACTIVATE);
    if (closeButton_.Handle()) {
        RECT client{};
        GetClientRect(Handle(), &client);
        RECT button = WindowRect(closeButton_.Handle());
        const int width = button.right - button.left;
        SetWindowPos(closeButton_.Handle(), nullptr, client.right - Px(kCloseInset) - width, Px(kCloseInset), 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void UiSheetDialog::OnTimer(UINT_PTR timerId) {
    if (timerId == kOpeningTimer) {
        Grow();
    } else if (timerId == kDisplayTimer) {
        KillTimer(Handle(), kDisplayTimer);
        Show(SW_HIDE);
    } else {
        SetMsgHandled(false);
    }
}

// One step of the opening: 8 pixels more with the top edge kept; at the full
// height the text and the close button appear and the five seconds begin.
void UiSheetDialog::Grow() {
    const int height = CurrentHeight();
    if (height < FullHeight()) {
        SetHeight(height + FullHeight() / kSteps);
        return;
    }
    KillTimer(Handle(), kOpeningTimer);
    SetTimer(Handle(), kDisplayTimer, kDisplayMs, nullptr);
    ShowOpen();
}

void UiSheetDialog::ShowOpen() {
    RECT client{};
    GetClientRect(Handle(), &client);
    if (link_) {
        SetWindowPos(link_, nullptr, Px(kLinkLeft), Px(kLinkTop), client.right - Px(kLinkInset),
                     FullHeight() - Px(kLinkInset), SWP_NOZORDER | SWP_NOACTIVATE);
        ShowWindow(link_, SW_SHOWNA);
    }
    ShowWindow(closeButton_.Handle(), SW_SHOWNA);
    SetHeight(FullHeight());
}

void UiSheetDialog::SetHeight(int height) {
    const RECT r = WindowRect(Handle());
    SetWindowPos(Handle(), nullptr, 0, 0, r.right - r.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HBRUSH UiSheetDialog::OnColour(HDC dc, HWND) {
    SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

LRESULT UiSheetDialog::OnLinkClick(NMHDR*) {
    if (clickCallback_) clickCallback_();
    Show(SW_HIDE);
    return 0;
}

void UiSheetDialog::OnClose() { Show(SW_HIDE); }

void UiSheetDialog::OnPaint(HDC dc, const RECT&) {
    RECT client{};
    GetClientRect(Handle(), &client);
    UniqueBrush strip(CreateSolidBrush(kStripColour));
    FillRect(dc, &client, strip.get());
}
