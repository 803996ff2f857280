// The about dialog: the application picture, the product title, the
// version, an invitation to visit the maker's site with a clickable address
// that opens in the browser, and the rights line, above a single "OK".
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "gdi_owners.h"
#include "ui/ui_alert_dialog.h"

class UiAboutDialog : public UiAlertDialog {
public:
    static constexpr int kLinkId = 5053;

    UiAboutDialog(Gdiplus::Image* closeImage, Gdiplus::Image* closePressedImage);
    ~UiAboutDialog() override;

    BEGIN_MSG_MAP(UiAboutDialog)
    MSG_WM_INITDIALOG(OnInitDialog)
    MSG_WM_CTLCOLORSTATIC(OnColour)
    MSG_WM_CTLCOLORBTN(OnColour)
    NOTIFY_HANDLER(kLinkId, NM_CLICK, OnLinkClick)
    CHAIN_MSG_MAP(UiAlertDialog)
    END_MSG_MAP()

protected:
    // Replaces the base painting: no title bar.
    void OnPaint(HDC dc, const RECT& updateRect) override;
    void OnScaleChanged() override;

private:
    bool OnInitDialog(HWND defaultFocus, LPARAM initParam);
    HBRUSH OnColour(HDC, HWND) { return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)); }
    LRESULT OnLinkClick(NMHDR* notice);
    void CreateLink();
    // Sets the link's font, measures the address in it and centres it.
    void PlaceLink();
    void ApplyAboutScale();
    DialogButtonArgs AboutButtonArgs() const;

    std::wstring productTitle_;
    std::wstring versionLine_;
    std::wstring visitLine_;
    std::wstring siteAddress_;
    std::wstring rightsLine_;
    UniquePen accentPen_;
    UniquePen framePen_;
    std::unique_ptr<Gdiplus::Font> titleFont_;
    std::unique_ptr<Gdiplus::Font> versionFont_;
    std::unique_ptr<Gdiplus::Font> rightsFont_;
    std::unique_ptr<Gdiplus::Font> aboutButtonFont_;
    UniqueFont linkFont_;
    COLORREF topColour_ = 0x7F7F7F;
    COLORREF accentColour_ = 0x7F7F7F;
    COLORREF okNormal_ = 0x7F7F7F;
    COLORREF okPressed_ = 0xC3C3C3;
    Gdiplus::Image* picture_ = nullptr;
    HWND link_ = nullptr;
};
