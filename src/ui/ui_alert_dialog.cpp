#include "ui/ui_alert_dialog.h"

#include "I18n.h"
#include "ui/alert_layout.h"

namespace {

constexpr int kButtonMarginX = 30;
constexpr int kButtonMarginY = 6;
constexpr int kButtonRadius = 6;
constexpr int kGb2312Charset = 134;

int IconWidth(Gdiplus::Image* icon) { return icon ? static_cast<int>(icon->GetWidth()) : 0; }
int IconHeight(Gdiplus::Image* icon) { return icon ? static_cast<int>(icon->GetHeight()) : 0; }

// An Arial font of the given cell height in the current language's
// character set: simplified Chinese needs GB2312 to find its glyphs.
std::unique_ptr<Gdiplus::Font> ArialForLanguage(HDC dc, int cellHeight) {
    LOGFONTW face{};
    face.lfHeight = -cellHeight;
    face.lfWeight = FW_NORMAL;
    const I18nLocale* locale = wxGetLocale();
    face.lfCharSet = locale && locale->GetLanguage() == 0 ? kGb2312Charset : DEFAULT_CHARSET;
    wcscpy(face.lfFaceName, L"Arial");
    return std::make_unique<Gdiplus::Font>(dc, &face);
}

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
    HDC dc = GetDC(Handle());
    buttonFont_ = ArialForLanguage(dc, 17);
    textFont_ = ArialForLanguage(dc, 16);
    ReleaseDC(Handle(), dc);
}

bool UiAlertDialog::OnInitDialog(HWND, LPARAM) {
    CreateFonts();
    InitialiseBase();
    // The message is painted, never shown as a caption; as the window's text
    // it is there for tools that read windows, such as screen readers.
    SetWindowTextW(Handle(), message_.c_str());
    const COLORREF normal = CatalogColour("color:common:button:normal", 0x7F7F7F);
    const COLORREF pressed = CatalogColour("color:common:button:pressed", 0xC3C3C3);
    for (auto [button, id, label] : {std::tuple{&confirmButton_, kConfirmButtonId, &confirmText_},
                                     std::tuple{&secondButton_, kSecondButtonId, &secondText_}}) {
        button->CreateForDialog(Handle(), {.id = id, .label = label, .font = buttonFont_.get(), .marginX = kButtonMarginX,
                                           .marginY = kButtonMarginY, .radius = kButtonRadius, .normal = normal,
                                           .pressed = pressed});
    }
    if (!twoButtons_) ShowWindow(secondButton_.Handle(), SW_HIDE);
    LayOut();
    return false;
}

// The window keeps its top-left corner; only its height follows the message.
void UiAlertDialog::LayOut() {
    AlertLayout box = AlertTextBox(Width(), IconWidth(icon_));
    Gdiplus::RectF measured;
    {
        HDC dc = GetDC(Handle());
        Gdiplus::Graphics graphics(dc);
        graphics.MeasureString(message_.c_str(), -1, textFont_.get(), Gdiplus::RectF(box.textX, 0, box.textWidth, 0),
                               &measured);
        ReleaseDC(Handle(), dc);
    }
    const SIZE confirm{confirmButton_.Width(), confirmButton_.Height()};
    const SIZE second{secondButton_.Width(), secondButton_.Height()};
    const AlertLayout layout =
        LayOutAlert(Width(), IconWidth(icon_), IconHeight(icon_), measured.Height, confirm, second, twoButtons_);
    textX_ = layout.textX;
    textWidth_ = layout.textWidth;
    SetPlacement(ParentWindow(), Width(), layout.height);
    SetWindowPos(Handle(), nullptr, 0, 0, Width(), layout.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(secondButton_.Handle(), nullptr, layout.secondButton.x, layout.secondButton.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(confirmButton_.Handle(), nullptr, layout.confirmButton.x, layout.confirmButton.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void UiAlertDialog::OnButton(UINT, int id, HWND) {
    confirmed_ = id == kConfirmButtonId;
    EndDialog(id);
}

void UiAlertDialog::DrawContent(HDC dc, int, int top, int right, int bottom) {
    Gdiplus::Graphics graphics(dc);
    if (icon_) graphics.DrawImage(icon_, 20, top + 20, IconWidth(icon_), IconHeight(icon_));
    Gdiplus::StringFormat format;
    format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    Gdiplus::SolidBrush black(Gdiplus::Color(0xFF000000));
    const Gdiplus::RectF box(textX_, 0, right - textX_ - 20, static_cast<Gdiplus::REAL>(bottom));
    graphics.DrawString(message_.c_str(), -1, textFont_.get(), box, &format, &black);
}
