#include "ui/ui_update_download_dialog.h"

#include "BASUtility.h"
#include "I18n.h"
#include "ui/text_measure.h"

namespace {

constexpr int kMargin = 20;
constexpr int kTextTop = 50;

// A readable size as the library gives it, freed here.
std::wstring ReadableSize(int bytes) {
    wchar_t* text = BASUtilityFile::ZLGetFormatSizeFromBytes(static_cast<uint64_t>(static_cast<int64_t>(bytes)));
    std::wstring size = text ? text : L"";
    BASUtilityString::Free(text);
    return size;
}

}  // namespace

std::wstring DownloadSizeText(const std::wstring& downloadedWord, const std::wstring& totalWord, int done, int total) {
    return L"(" + downloadedWord + L" " + ReadableSize(done) + L", " + totalWord + L" " + ReadableSize(total) + L")";
}

UiUpdateDownloadDialog::UiUpdateDownloadDialog(Gdiplus::Image* closeImage, Gdiplus::Image* closePressedImage)
    : UiProgressDialog(closeImage, closePressedImage) {}

UiUpdateDownloadDialog::~UiUpdateDownloadDialog() = default;

void UiUpdateDownloadDialog::ShowClosingNotice() {
    closing_ = true;
    SetStatusText(wxGetTranslation(L"Closing application, wait a moment..."));
    State().Refresh();  // shown now, not at the next tick
    InvalidateTextBand();
    // The download has ended: neither button may cancel it now, nor may Escape.
    cancelButton_.SetEnabled(false);
    closeButton_.SetEnabled(false);
    // A disabled control loses the focus: the dialog keeps it, so its keys still reach it.
    if (Handle() && !GetFocus()) SetFocus(Handle());
}

void UiUpdateDownloadDialog::ShowFailure(const std::wstring& text) {
    cancelNotification_ = nullptr;
    closing_ = true;
    SetStatusText(text.c_str());
    State().Refresh();
    if (Handle()) InvalidateRect(Handle(), nullptr, TRUE);
}

void UiUpdateDownloadDialog::InvalidateTextBand() {
    if (!Handle()) return;
    RECT client{};
    GetClientRect(Handle(), &client);
    RECT band{Px(kMargin), Px(kTextTop), client.right, Bar().top};
    InvalidateRect(Handle(), &band, TRUE);
}

// The flag is taken before the base ends the run, which marks it ended.
void UiUpdateDownloadDialog::OnCancel() {
    const bool finished = IsRunFinished();
    UiProgressDialog::OnCancel();
    if (cancelNotification_) cancelNotification_(finished);
}

void UiUpdateDownloadDialog::DrawContent(HDC dc, int, int, int right, int) {
    ScopedSelectObject font(dc, StatusFont());
    const RECT& bar = Bar();
    {
        UniquePen barPen(CreatePen(PS_SOLID, 1, 0xDDDDDD));
        ScopedSelectObject pen(dc, barPen.get());
        ScopedSelectObject brush(dc, GetStockObject(WHITE_BRUSH));
        RoundRect(dc, bar.left, bar.top, bar.right, bar.bottom, Px(8), Px(8));
    }
    const int done = State().ShownDone();
    const int total = State().ShownTotal();
    const int insetX = Px(4), insetY = Px(2);
    const int fill = ProgressFillWidth(bar.left, bar.right, done, total, insetX);
    if (fill > 0) {
        RECT filled{bar.left + insetX, bar.top + insetY, bar.left + insetX + fill, bar.bottom - insetY};
        UniqueBrush barBrush(CreateSolidBrush(CatalogColour("color:title:background", 0x7F7F7F)));
        FillRect(dc, &filled, barBrush.get());
    }
    SetBkMode(dc, TRANSPARENT);
    const TextMeasure measure(dc);
    const int h = measure.LineHeight();
    const int margin = Px(kMargin), textTop = Px(kTextTop);
    RECT band{margin, textTop, right, textTop + h};
    if (!closing_) {
        const std::wstring sizes =
            DownloadSizeText(wxGetTranslation(L"downloaded"), wxGetTranslation(L"total"), done, total);
        const SIZE extent = measure.Extent(sizes);
        RECT sizeBox{bar.right - extent.cx, textTop, bar.right, textTop + h};
        DrawTextW(dc, sizes.c_str(), -1, &sizeBox, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
        band.right = sizeBox.left - margin;  // a long status gives way to the sizes
    }
    DrawTextW(dc, State().ShownText(), -1, &band, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}
