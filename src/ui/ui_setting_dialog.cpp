#include "ui/ui_setting_dialog.h"

#include "BASUtility.h"
#include "I18n.h"
#include "ui/font_factory.h"
#include "ui/text_measure.h"

namespace {

constexpr int kMargin = 10;
constexpr int kTitleBarHeight = 26;
constexpr int kListWidth = 158;
constexpr int kListHeight = 22;
constexpr int kEnglish = 3;

}  // namespace

const std::vector<LanguageEntry>& OfferedLanguages() {
    static const std::vector<LanguageEntry> languages = {
        {L"简体中文", 0}, {L"繁體中文", 1}, {L"Deutsch", 2},   {L"English", 3}, {L"Français", 4},
        {L"Italiano", 5}, {L"Español", 6},  {L"Português", 7}, {L"日本語", 8},
    };
    return languages;
}

int LanguageEntryFor(int languageIndex) {
    const auto& languages = OfferedLanguages();
    int english = 0;
    for (size_t i = 0; i < languages.size(); ++i) {
        if (languages[i].index == languageIndex) return static_cast<int>(i);
        if (languages[i].index == kEnglish) english = static_cast<int>(i);
    }
    return english;
}

UiSettingDialog::UiSettingDialog(Gdiplus::Image* closeImage, Gdiplus::Image* closePressedImage,
                                 const std::wstring& cancelLabel, const std::wstring& okLabel)
    : UiDialog(closeImage, closePressedImage), okLabel_(okLabel), cancelLabel_(cancelLabel) {}

UiSettingDialog::~UiSettingDialog() = default;

void UiSettingDialog::SetContent(HWND parent, int width, int height, const wchar_t* okLabel) {
    SetPlacement(parent, width, height);
    if (okLabel) okLabel_ = okLabel;
}

void UiSettingDialog::Show(int showCommand) {
    if (Handle()) ShowWindow(Handle(), showCommand);
}

bool UiSettingDialog::OnInitDialog(HWND, LPARAM) {
    InitialiseBase();
    buttonNormal_ = CatalogColour("color:common:button:normal", 0x7F7F7F);
    buttonPressed_ = CatalogColour("color:common:button:pressed", 0xC3C3C3);
    panelFill_ = CatalogColour("color:setting:general:background", 0xF0F0F0);
    panelBorder_ = CatalogColour("color:setting:general:border", 0x7F7F7F);
    CreateFonts();
    okButton_.CreateForDialog(Handle(), ButtonArgs(kConfirmButtonId));
    cancelButton_.CreateForDialog(Handle(), ButtonArgs(kSecondButtonId));
    tabLabel_ = wxGetTranslation(L"General");
    optionLabel_ = wxGetTranslation(L"Language");
    CreateLanguageList();
    LayOut();
    return false;
}

void UiSettingDialog::CreateFonts() {
    labelFont_ = MakeFont({.family = L"Arial", .size = 13.0f}, Scale().Dpi());
    buttonFont_ = MakeFont({.family = L"Arial", .size = 13.0f, .bold = true}, Scale().Dpi());
    comboFont_ = MakeGdiFont({.family = L"Arial", .size = 16.0f}, Scale().Dpi());
}

DialogButtonArgs UiSettingDialog::ButtonArgs(int id) const {
    const DialogButtonArgs design;
    return {.id = id,
            .label = id == kConfirmButtonId ? &okLabel_ : &cancelLabel_,
            .font = buttonFont_.get(),
            .marginX = Px(20),
            .marginY = Px(design.marginY),
            .radius = Px(4),
            .normal = buttonNormal_,
            .pressed = buttonPressed_};
}

void UiSettingDialog::OnScaleChanged() {
    CreateFonts();
    okButton_.Restyle(ButtonArgs(kConfirmButtonId));
    cancelButton_.Restyle(ButtonArgs(kSecondButtonId));
    if (languageList_) SendMessageW(languageList_, WM_SETFONT, reinterpret_cast<WPARAM>(comboFont_.get()), TRUE);
    LayOut();
}

void UiSettingDialog::CreateLanguageList() {
    languageList_ =
        CreateWindowExW(0, L"COMBOBOX", L"combobox", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                        0, 0, Px(kListWidth), Px(200), Handle(),
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLanguageListId)), nullptr, nullptr);
    if (!languageList_) return;
    SendMessageW(languageList_, WM_SETFONT, reinterpret_cast<WPARAM>(comboFont_.get()), FALSE);
    for (const LanguageEntry& entry : OfferedLanguages())
        SendMessageW(languageList_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.name));
    SendMessageW(languageList_, CB_SETCURSEL, LanguageEntryFor(language_), 0);
}

void UiSettingDialog::LayOut() {
    const int w = Width();
    const int h = Height();
    const int margin = Px(kMargin);
    const int cancelX = w - margin - cancelButton_.Width();
    const int buttonsY = h - margin - cancelButton_.Height();
    SetWindowPos(cancelButton_.Handle(), nullptr, cancelX, buttonsY, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(okButton_.Handle(), nullptr, cancelX - margin - okButton_.Width(), buttonsY, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    const TextMeasure measure(Handle());
    const Gdiplus::SizeF tabText = measure.Measure(tabLabel_, buttonFont_.get());
    tabLabelBox_ = Gdiplus::RectF(Px(30.0f), Px(kTitleBarHeight + 16.0f), tabText.Width, tabText.Height);
    const float tabPad = Px(6.0f);
    tabBox_ = Gdiplus::RectF(tabLabelBox_.X - tabPad, tabLabelBox_.Y - tabPad, tabLabelBox_.Width + 2 * tabPad,
                             tabLabelBox_.Height + 2 * tabPad);
    const float panelTop = tabBox_.Y + tabBox_.Height;
    panelBox_ = Gdiplus::RectF(tabBox_.X, panelTop, static_cast<float>(w - Px(40)), buttonsY - panelTop - Px(30.0f));
    const int frameX = Px(16), frameY = Px(24);
    frameBox_ = {static_cast<int>(panelBox_.X + frameX), static_cast<int>(panelBox_.Y + frameY),
                 static_cast<int>(panelBox_.X + frameX) + static_cast<int>(panelBox_.Width - 2 * frameX),
                 static_cast<int>(panelBox_.Y + frameY) + static_cast<int>(panelBox_.Height - 2 * frameY)};
    const Gdiplus::SizeF optionText = measure.Measure(optionLabel_, labelFont_.get());
    optionLabelBox_ = Gdiplus::RectF(static_cast<float>(frameBox_.left + Px(10)), frameBox_.top - optionText.Height / 2,
                                     optionText.Width, optionText.Height);
    const int frameHeight = frameBox_.bottom - frameBox_.top;
    SetWindowPos(languageList_, nullptr, frameBox_.left + Px(24), frameBox_.top + (frameHeight - Px(kListHeight)) / 2,
                 Px(kListWidth), Px(kListHeight), SWP_NOZORDER | SWP_NOACTIVATE);
}

void UiSettingDialog::OnOk(UINT, int, HWND) {
    confirmed_ = true;
    const LRESULT selected = SendMessageW(languageList_, CB_GETCURSEL, 0, 0);
    const auto& languages = OfferedLanguages();
    if (selected >= 0 && static_cast<size_t>(selected) < languages.size()) language_ = languages[selected].index;
    EndDialog(kConfirmButtonId);
}

void UiSettingDialog::OnCancel(UINT, int, HWND) {
    confirmed_ = false;
    EndDialog(kSecondButtonId);
}

void UiSettingDialog::DrawContent(HDC dc, int, int, int, int) {
    Gdiplus::Graphics graphics(dc);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    Gdiplus::SolidBrush fill(OpaqueColour(panelFill_));
    Gdiplus::Pen border(OpaqueColour(panelBorder_), 1);
    graphics.FillRectangle(&fill, tabBox_);
    graphics.DrawRectangle(&border, tabBox_);
    graphics.DrawRectangle(&border, panelBox_);
    Gdiplus::SolidBrush black(Gdiplus::Color(0xFF000000));
    if (buttonFont_) graphics.DrawString(tabLabel_.c_str(), -1, buttonFont_.get(), tabLabelBox_, nullptr, &black);
    Gdiplus::GraphicsPath frame;
    AddRoundedRectangle(frame,
                        Gdiplus::RectF(static_cast<float>(frameBox_.left), static_cast<float>(frameBox_.top),
                                       static_cast<float>(frameBox_.right - frameBox_.left),
                                       static_cast<float>(frameBox_.bottom - frameBox_.top)),
                        Px(4.0f));
    Gdiplus::Pen framePen(Gdiplus::Color(0xFF808080), 1);
    graphics.DrawPath(&framePen, &frame);
    Gdiplus::SolidBrush white(Gdiplus::Color(0xFFFFFFFF));
    graphics.FillRectangle(&white, optionLabelBox_);
    if (labelFont_) graphics.DrawString(optionLabel_.c_str(), -1, labelFont_.get(), optionLabelBox_, nullptr, &black);
}
