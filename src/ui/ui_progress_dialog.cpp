#include "ui/ui_progress_dialog.h"

#include "BASUtility.h"
#include "I18n.h"
#include "ui/font_factory.h"
#include "ui/text_measure.h"

namespace {

constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 500;
constexpr int kMargin = 20;
constexpr int kBarTop = 70;
constexpr int kBarHeight = 12;
constexpr int kTextTop = 50;
constexpr int kButtonsBottom = 16;
constexpr int kButtonRadius = 4;
constexpr int kBarCorner = 8;
constexpr int kFillInsetX = 4;
constexpr int kFillInsetY = 2;
constexpr int kPercentGap = 40;

}  // namespace

UiProgressDialog::UiProgressDialog(Gdiplus::Image* closeImage, Gdiplus::Image* closePressedImage)
    : UiDialog(closeImage, closePressedImage) {}

UiProgressDialog::~UiProgressDialog() = default;

bool UiProgressDialog::OnInitDialog(HWND, LPARAM) {
    InitialiseBase();
    barColour_ = CatalogColour("color:title:background", 0x7F7F7F);
    buttonNormal_ = CatalogColour("color:common:button:normal", 0x7F7F7F);
    buttonPressed_ = CatalogColour("color:common:button:pressed", 0xC3C3C3);
    folderLabel_ = wxGetTranslation(L"Show in folder");
    cancelLabel_ = wxGetTranslation(L"Cancel");
    okLabel_ = wxGetTranslation(L"OK");
    CreateFonts();
    folderButton_.CreateForDialog(Handle(), ButtonArgs(kConfirmButtonId, folderLabel_));
    cancelButton_.CreateForDialog(Handle(), ButtonArgs(kSecondButtonId, cancelLabel_));
    Layout();
    return false;
}

void UiProgressDialog::CreateFonts() {
    statusFont_ = MakeGdiFont({.family = L"Arial", .size = 16.0f}, Scale().Dpi());
    buttonFont_ = MakeFont({.family = L"Arial", .size = 13.0f, .bold = true}, Scale().Dpi());
}

DialogButtonArgs UiProgressDialog::ButtonArgs(int id, const std::wstring& label) const {
    const DialogButtonArgs design;
    return {.id = id,
            .label = &label,
            .font = buttonFont_.get(),
            .marginX = Px(design.marginX),
            .marginY = Px(design.marginY),
            .radius = Px(kButtonRadius),
            .normal = buttonNormal_,
            .pressed = buttonPressed_};
}

// The buttons keep the labels they show now ("Cancel" may have become "OK").
void UiProgressDialog::OnScaleChanged() {
    CreateFonts();
    for (BASSwitchButton* button : {&folderButton_, &cancelButton_}) {
        const std::wstring label = button->Label();
        button->Restyle(ButtonArgs(GetDlgCtrlID(button->Handle()), label));
    }
    Layout();
}

void UiProgressDialog::Layout() {
    RECT client{};
    GetClientRect(Handle(), &client);
    const int w = client.right;
    const int h = client.bottom;
    const int margin = Px(kMargin), barTop = Px(kBarTop);
    const int cancelX = w - margin - cancelButton_.Width();
    const int buttonsY = h - Px(kButtonsBottom) - cancelButton_.Height();
    SetWindowPos(cancelButton_.Handle(), nullptr, cancelX, buttonsY, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(folderButton_.Handle(), nullptr, cancelX - margin - folderButton_.Width(), buttonsY, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    bar_ = {margin, barTop, w - margin, barTop + Px(kBarHeight)};
    upperArea_ = {margin, 0, w - margin, barTop};
}

void UiProgressDialog::Reset() {
    UiDialog::Reset();
    state_.Reset();
    closing_ = false;
    showFolderButton_ = true;
    if (cancelButton_.Handle()) {
        cancelButton_.SetEnabled(true);
        cancelButton_.SetLabel(cancelLabel_);
    }
    if (closeButton_.Handle()) closeButton_.SetEnabled(true);
    if (Handle()) Layout();
}

void UiProgressDialog::Start() {
    ShowWindow(folderButton_.Handle(), showFolderButton_ ? SW_SHOW : SW_HIDE);
    state_.Refresh();
    SetTimer(Handle(), kRefreshTimer, kRefreshMs, nullptr);
    timerRunning_ = true;
    Show(SW_SHOW);
    UpdateWindow(Handle());
}

void UiProgressDialog::Stop() {
    KillTimer(Handle(), kRefreshTimer);
    timerRunning_ = false;
    Show(SW_HIDE);
    state_.ClearTexts();
}

bool UiProgressDialog::CancelBy(const char* canceller) {
    if (!state_.StopRequestedBy(canceller)) return false;
    Stop();
    return true;
}

void UiProgressDialog::InvalidateProgress() {
    InvalidateRect(Handle(), &upperArea_, FALSE);
    InvalidateRect(Handle(), &bar_, FALSE);
}

void UiProgressDialog::OnTimer(UINT_PTR timerId) {
    if (timerId == kRefreshTimer) Tick();
    else SetMsgHandled(false);
}

void UiProgressDialog::Tick() {
    if (state_.Refresh()) InvalidateProgress();
    if (!state_.IsFinished()) return;
    state_.ShowEnd(wxGetTranslation(L"Finish"), wxGetTranslation(L"Failed"));
    KillTimer(Handle(), kRefreshTimer);
    timerRunning_ = false;
    cancelButton_.SetLabel(okLabel_);
    Layout();
    InvalidateProgress();
}

void UiProgressDialog::OnCancel() {
    KillTimer(Handle(), kRefreshTimer);
    timerRunning_ = false;
    state_.ClearTexts();
    state_.EndByUser();
    OnClose();
}

void UiProgressDialog::OnFolderCommand(UINT, int, HWND) {
    if (!folder_.empty()) BASUtilityApp::OpenFolder(folder_.c_str());
}

void UiProgressDialog::DrawContent(HDC dc, int, int, int right, int) {
    ScopedSelectObject font(dc, statusFont_.get());
    {
        UniquePen barPen(CreatePen(PS_SOLID, 1, 0xDDDDDD));
        ScopedSelectObject pen(dc, barPen.get());
        ScopedSelectObject brush(dc, GetStockObject(WHITE_BRUSH));
        RoundRect(dc, bar_.left, bar_.top, bar_.right, bar_.bottom, Px(kBarCorner), Px(kBarCorner));
    }
    const int done = state_.ShownDone();
    const int total = state_.ShownTotal();
    const int insetX = Px(kFillInsetX), insetY = Px(kFillInsetY);
    const int fill = ProgressFillWidth(bar_.left, bar_.right, done, total, insetX);
    if (fill > 0) {
        RECT filled{bar_.left + insetX, bar_.top + insetY, bar_.left + insetX + fill, bar_.bottom - insetY};
        UniqueBrush barBrush(CreateSolidBrush(barColour_));
        FillRect(dc, &filled, barBrush.get());
    }
    const std::wstring percent = ProgressPercentText(done, total);
    const wchar_t* status = state_.ShownText();
    const TextMeasure measure(dc);
    const SIZE percentSize = measure.Extent(percent);
    const int lineHeight = measure.LineHeight();
    const int margin = Px(kMargin), textTop = Px(kTextTop);
    RECT band{margin, textTop, right, textTop + lineHeight};
    FillRect(dc, &band, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    RECT statusBox{margin, textTop, right - percentSize.cx - Px(kPercentGap), textTop + lineHeight};
    DrawTextW(dc, status, -1, &statusBox, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    RECT percentBox{bar_.right - percentSize.cx, textTop, bar_.right, textTop + lineHeight};
    DrawTextW(dc, percent.c_str(), -1, &percentBox, DT_RIGHT | DT_TOP | DT_SINGLELINE);
}
