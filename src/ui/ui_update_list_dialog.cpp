#include "ui/ui_update_list_dialog.h"

#include <commctrl.h>

#include "BASUserDefaults.h"
#include "BASUtility.h"
#include "I18n.h"
#include "ui/font_factory.h"
#include "ui/text_measure.h"
#include "Utf8.h"

namespace {

constexpr int kEdge = 20;
constexpr int kNotesLeft = 40;
constexpr int kNotesTop = 80;
constexpr int kNotesBottom = 230;
constexpr int kBandBottom = 280;
constexpr int kCaptionTop = 40;
constexpr int kLinkAboveBottom = 120;
constexpr int kMaxLinesWithoutScrollBar = 9;
constexpr COLORREF kFrameColour = 0xDDDDDD;
constexpr COLORREF kWhite = 0xFFFFFF;

std::wstring HistoryAddress() {
    const BASUserDefaults* store = BASUserDefaults::GetUserDefaults("url");
    if (!store || !store->IsOk()) return {};
    const char* address = store->GetString("url:history");
    return address ? FromUtf8(address) : std::wstring();
}

void Place(HWND control, POINT at) {
    SetWindowPos(control, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

UpdateListLayout LayOutUpdateList(int width, int height, SIZE laterButton, SIZE updateButton, const DpiScale& scale) {
    const int edge = scale.Px(kEdge), notesLeft = scale.Px(kNotesLeft);
    UpdateListLayout layout;
    layout.notes = {notesLeft, scale.Px(kNotesTop), width - notesLeft, scale.Px(kNotesBottom)};
    layout.laterButton = {width - edge - laterButton.cx, height - edge - laterButton.cy};
    layout.updateButton = {layout.laterButton.x - edge - updateButton.cx, layout.laterButton.y};
    layout.link = {notesLeft, height - scale.Px(kLinkAboveBottom)};
    return layout;
}

UiUpdateListDialog::UiUpdateListDialog(Gdiplus::Image* closeImage, Gdiplus::Image* closePressedImage)
    : UiDialog(closeImage, closePressedImage) {}

UiUpdateListDialog::~UiUpdateListDialog() = default;

bool UiUpdateListDialog::OnInitDialog(HWND, LPARAM) {
    InitialiseBase();
    historyAddress_ = HistoryAddress();
    accentColour_ = CatalogColour("color:title:category:select:background", 0x7F7F7F);
    topColour_ = CatalogColour("color:title:background", 0x7F7F7F);
    caption_ = wxGetTranslation(L"New version is found. What's new:");
    linkLabel_ = wxGetTranslation(L"Read More Versions");
    laterLabel_ = wxGetTranslation(L"Remind Me Later");
    updateLabel_ = wxGetTranslation(L"Update Now");
    ApplyListScale();
    laterButton_.CreateForDialog(Handle(), ButtonArgs(kLaterId));
    updateButton_.CreateForDialog(Handle(), ButtonArgs(kUpdateId));
    CreateLink();
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;
    notes_.Create(Handle(), RECT{}, kNotesId, style);
    PlaceChildren();
    return false;
}

// Fonts and pens at the dialog's scale.
void UiUpdateListDialog::ApplyListScale() {
    const int dpi = Scale().Dpi();
    captionFont_ = MakeGdiFont({.family = L"Arial", .size = 18.0f, .bold = true}, dpi);
    notesFont_ = MakeGdiFont({.family = L"Arial", .size = 16.0f}, dpi);
    boldFont_ = MakeGdiFont({.family = L"Arial", .size = 16.0f, .bold = true}, dpi);
    buttonFont_ = MakeFont({.family = L"Arial", .size = 15.0f, .bold = true}, dpi);
    accentPen_.reset(CreatePen(PS_SOLID, Px(2), accentColour_));
    framePen_.reset(CreatePen(PS_SOLID, Px(1), kFrameColour));
}

DialogButtonArgs UiUpdateListDialog::ButtonArgs(int id) const {
    const bool later = id == kLaterId;
    return {.id = id,
            .label = later ? &laterLabel_ : &updateLabel_,
            .font = buttonFont_.get(),
            .marginX = Px(20),
            .marginY = Px(8),
            .radius = Px(6),
            .normal = later ? CatalogColour("color:common:button:normal", 0x7F7F7F)
                            : CatalogColour("color:update:button:normal", accentColour_),
            .pressed = later ? CatalogColour("color:common:button:pressed", 0xC3C3C3)
                             : CatalogColour("color:update:button:pressed", 0xC3C3C3)};
}

// The notes box, the buttons and the link where the layout puts them, in
// the fonts of the dialog's scale.
void UiUpdateListDialog::PlaceChildren() {
    const UpdateListLayout layout = LayOutUpdateList(Width(), Height(), {laterButton_.Width(), laterButton_.Height()},
                                                     {updateButton_.Width(), updateButton_.Height()}, Scale());
    if (notes_.Handle()) {
        SendMessageW(notes_.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(notesFont_.get()), FALSE);
        SetWindowPos(notes_.Handle(), nullptr, layout.notes.left, layout.notes.top,
                     layout.notes.right - layout.notes.left, layout.notes.bottom - layout.notes.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    Place(laterButton_.Handle(), layout.laterButton);
    Place(updateButton_.Handle(), layout.updateButton);
    if (link_) {
        SendMessageW(link_, WM_SETFONT, reinterpret_cast<WPARAM>(notesFont_.get()), FALSE);
        linkSize_ = TextMeasure(Handle()).Extent(linkLabel_, notesFont_.get());
        SetWindowPos(link_, nullptr, layout.link.x, layout.link.y, linkSize_.cx, linkSize_.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void UiUpdateListDialog::OnScaleChanged() {
    ApplyListScale();
    laterButton_.Restyle(ButtonArgs(kLaterId));
    updateButton_.Restyle(ButtonArgs(kUpdateId));
    PlaceChildren();
}

void UiUpdateListDialog::CreateLink() {
    INITCOMMONCONTROLSEX links{sizeof links, ICC_LINK_CLASS};
    InitCommonControlsEx(&links);
    const std::wstring markup = L"<A HREF=\"" + historyAddress_ + L"\">" + linkLabel_ + L"</A>";
    link_ = CreateWindowExW(0, WC_LINK, markup.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | LWS_TRANSPARENT, 0, 0, 0,
                            0, Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLinkId)), nullptr, nullptr);
    if (link_) SetClassLongPtrW(link_, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(GetStockObject(NULL_BRUSH)));
}

void UiUpdateListDialog::ClearNotes() {
    if (notes_.Handle()) SetWindowTextW(notes_.Handle(), L"");
}

void UiUpdateListDialog::AppendNotes(const std::wstring& text) {
    if (HWND box = notes_.Handle()) {
        const int end = GetWindowTextLengthW(box);
        SendMessageW(box, EM_SETSEL, end, end);
        SendMessageW(box, EM_SCROLLCARET, 0, 0);
        SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

void UiUpdateListDialog::Show(int showCommand) {
    if (showCommand == SW_SHOW && notes_.Handle()) {
        const auto lines = SendMessageW(notes_.Handle(), EM_GETLINECOUNT, 0, 0);
        ShowScrollBar(notes_.Handle(), SB_VERT, lines > kMaxLinesWithoutScrollBar);
        // Appending left the box at the end of the notes; they are read from the newest version's first line.
        SendMessageW(notes_.Handle(), EM_SETSEL, 0, 0);
        SendMessageW(notes_.Handle(), EM_SCROLLCARET, 0, 0);
        SendMessageW(notes_.Handle(), WM_VSCROLL, SB_TOP, 0);
    }
    UiDialog::Show(showCommand);
}

// Hidden first: the callback opens the download dialog in its place.
void UiUpdateListDialog::OnUpdate(UINT, int, HWND) {
    Show(SW_HIDE);
    if (updateCallback_) updateCallback_();
}

LRESULT UiUpdateListDialog::OnLinkClick(NMHDR* notice) {
    const auto* click = reinterpret_cast<const NMLINK*>(notice);
    BASUtilityApp::OpenUrl(ToUtf8(click->item.szUrl).c_str());
    return 0;
}

// The notes box sits on the coloured top in white; the other children draw
// on whatever is behind them.
HBRUSH UiUpdateListDialog::OnColour(HDC dc, HWND control) {
    if (control == notes_.Handle()) {
        SetBkColor(dc, topColour_);
        SetTextColor(dc, kWhite);
    } else {
        SetBkMode(dc, TRANSPARENT);
    }
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

void UiUpdateListDialog::OnPaint(HDC dc, const RECT&) {
    RECT client{};
    GetClientRect(Handle(), &client);
    SetBkMode(dc, TRANSPARENT);
    const int bandBottom = Px(kBandBottom);
    RECT top{0, 0, client.right, bandBottom};
    UniqueBrush topBrush(CreateSolidBrush(topColour_));
    FillRect(dc, &top, topBrush.get());
    RECT body{0, bandBottom, client.right, client.bottom};
    FillRect(dc, &body, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    {
        ScopedSelectObject pen(dc, accentPen_.get());
        MoveToEx(dc, 0, bandBottom, nullptr);
        LineTo(dc, client.right, bandBottom);
    }
    {
        ScopedSelectObject font(dc, captionFont_.get());
        SetTextColor(dc, kWhite);
        const SIZE size = TextMeasure(dc).Extent(caption_);
        const int left = Px(kNotesLeft), captionTop = Px(kCaptionTop);
        RECT box{left, captionTop, left + size.cx, captionTop + size.cy};
        DrawTextW(dc, caption_.c_str(), -1, &box, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    }
    ScopedSelectObject pen(dc, framePen_.get());
    ScopedSelectObject brush(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, client.left, client.top, client.right, client.bottom);
}
