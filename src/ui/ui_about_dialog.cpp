#include "ui/ui_about_dialog.h"

#include <commctrl.h>

#include "BASUserDefaults.h"
#include "BASUtility.h"
#include "I18n.h"
#include "TextFormat.h"
#include "Utf8.h"
#include "product_identity.h"
#include "settings_catalog.h"
#include "ui/font_factory.h"
#include "ui/text_measure.h"

namespace {

constexpr int kBandBottom = 196;
constexpr int kPictureSize = 96;
constexpr int kPictureTop = 28;
constexpr int kTitleTop = 136;
constexpr int kLinkTop = 248;
constexpr float kVersionGap = 16;
constexpr float kLineGap = 40;
constexpr int kButtonMarginX = 24;
constexpr int kButtonAnchor = -10;

// Draws text centred across width with its top at top; the bottom it reached.
// A font that did not load draws nothing and takes no room.
float DrawCentred(Gdiplus::Graphics& graphics, const std::wstring& text, const Gdiplus::Font* font,
                  const Gdiplus::Color& colour, int width, float top) {
    if (!font) return top;
    const Gdiplus::SizeF measured = TextMeasure::Measure(graphics, text, font);
    Gdiplus::StringFormat centred;
    centred.SetAlignment(Gdiplus::StringAlignmentCenter);
    Gdiplus::SolidBrush ink(colour);
    graphics.DrawString(text.c_str(), -1, font, Gdiplus::RectF(0, top, static_cast<float>(width), measured.Height),
                        &centred, &ink);
    return top + measured.Height;
}

}  // namespace

UiAboutDialog::UiAboutDialog(Gdiplus::Image* closeImage, Gdiplus::Image* closePressedImage)
    : UiAlertDialog(closeImage, closePressedImage, nullptr, false, wxGetTranslation(L"Cancel"),
                    wxGetTranslation(L"OK")) {}

UiAboutDialog::~UiAboutDialog() = default;

bool UiAboutDialog::OnInitDialog(HWND, LPARAM) {
    InitialiseBase();
    const BASUserDefaults* store = BASUserDefaults::GetUserDefaults("url");
    siteAddress_ = store && store->IsOk() ? FromUtf8(store->GetString("url:brand")) : L"";
    productTitle_ = ProductIdentity::ProductTitle();
    versionLine_ = std::wstring(wxGetTranslation(L"Version: ")) + ProductIdentity::Version();
    visitLine_ =
        FillInText(wxGetTranslation(L"For more information about %s, please visit:"), ProductIdentity::MakerName());
    rightsLine_ = FillInText(wxGetTranslation(L"© %s Zentrovia. All rights reserved."), ProductIdentity::BuildYear());

    accentColour_ = CatalogColour("color:title:category:select:background", 0x7F7F7F);
    topColour_ = CatalogColour("color:title:background", 0x7F7F7F);
    okNormal_ = CatalogColour("color:common:button:normal", 0x7F7F7F);
    okPressed_ = CatalogColour("color:common:button:pressed", 0xC3C3C3);
    ApplyAboutScale();
    confirmButton_.CreateForDialog(Handle(), AboutButtonArgs());
    CreateLink();
    return false;
}

// Fonts, pens and the application picture at the dialog's scale.
void UiAboutDialog::ApplyAboutScale() {
    const int dpi = Scale().Dpi();
    titleFont_ = MakeFont({.family = L"Arial", .size = 17.0f, .bold = true}, dpi);
    versionFont_ = MakeFont({.family = L"Arial", .size = 14.0f}, dpi);
    rightsFont_ = MakeFont({.family = L"Arial", .size = 14.0f}, dpi);
    aboutButtonFont_ = MakeFont({.family = L"Arial", .size = 15.0f, .bold = true}, dpi);
    linkFont_ = MakeGdiFont({.family = L"Arial", .size = 16.0f}, dpi);
    accentPen_.reset(CreatePen(PS_SOLID, Px(2), accentColour_));
    framePen_.reset(CreatePen(PS_SOLID, Px(1), 0xDDDDDD));
    picture_ = FindNamedImageForDpi("application.png", dpi);
}

DialogButtonArgs UiAboutDialog::AboutButtonArgs() const {
    const DialogButtonArgs design;
    return {.id = kConfirmButtonId,
            .label = &confirmText_,
            .font = aboutButtonFont_.get(),
            .marginX = Px(kButtonMarginX),
            .marginY = Px(design.marginY),
            .normal = okNormal_,
            .pressed = okPressed_,
            .anchorX = Px(kButtonAnchor),
            .anchorY = Px(kButtonAnchor)};
}

void UiAboutDialog::OnScaleChanged() {
    ApplyAboutScale();
    confirmButton_.Restyle(AboutButtonArgs());
    PlaceLink();
}

// The address is both the link's target and its text; it is measured in the
// link's font and centred.
void UiAboutDialog::CreateLink() {
    INITCOMMONCONTROLSEX links{sizeof links, ICC_LINK_CLASS};
    InitCommonControlsEx(&links);
    const std::wstring markup = L"<A HREF=\"" + siteAddress_ + L"\">" + siteAddress_ + L"</A>";
    link_ = CreateWindowExW(0, WC_LINK, markup.c_str(), WS_CHILD | WS_TABSTOP, 0, 0, 0, 0, Handle(),
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLinkId)), nullptr, nullptr);
    if (!link_) return;
    PlaceLink();
    ShowWindow(link_, SW_SHOWNA);
}

void UiAboutDialog::PlaceLink() {
    if (!link_) return;
    SendMessageW(link_, WM_SETFONT, reinterpret_cast<WPARAM>(linkFont_.get()), FALSE);
    const SIZE size = TextMeasure(link_).Extent(siteAddress_, linkFont_.get());
    SetWindowPos(link_, nullptr, (Width() - size.cx) / 2, Px(kLinkTop), size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// Opens the address in the browser; the dialog stays.
LRESULT UiAboutDialog::OnLinkClick(NMHDR* notice) {
    const auto* click = reinterpret_cast<const NMLINK*>(notice);
    BASUtilityApp::OpenUrl(ToUtf8(click->item.szUrl).c_str());
    return 0;
}

void UiAboutDialog::OnPaint(HDC dc, const RECT&) {
    RECT client{};
    GetClientRect(Handle(), &client);
    const int width = client.right;
    const int bandBottom = Px(kBandBottom);
    RECT top{0, 0, width, bandBottom};
    UniqueBrush topBrush(CreateSolidBrush(topColour_));
    FillRect(dc, &top, topBrush.get());
    RECT body{0, bandBottom, width, client.bottom};
    FillRect(dc, &body, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    {
        ScopedSelectObject pen(dc, accentPen_.get());
        MoveToEx(dc, 0, bandBottom, nullptr);
        LineTo(dc, width, bandBottom);
    }
    Gdiplus::Graphics graphics(dc);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHighQuality);
    const int pictureSize = Px(kPictureSize);
    if (picture_) graphics.DrawImage(picture_, (width - pictureSize) / 2, Px(kPictureTop), pictureSize, pictureSize);
    const Gdiplus::Color white(0xFFFFFFFF);
    float bottom = DrawCentred(graphics, productTitle_, titleFont_.get(), white, width, Px(kTitleTop));
    bottom = DrawCentred(graphics, versionLine_, versionFont_.get(), white, width, bottom + Px(kVersionGap));
    bottom = DrawCentred(graphics, visitLine_, aboutButtonFont_.get(), Gdiplus::Color(0xFF000000), width,
                         bottom + Px(kLineGap));
    DrawCentred(graphics, rightsLine_, rightsFont_.get(), Gdiplus::Color(0xFF7F7F7F), width, bottom + Px(kLineGap));
    ScopedSelectObject pen(dc, framePen_.get());
    ScopedSelectObject brush(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, 0, 0, client.right, client.bottom);
}
