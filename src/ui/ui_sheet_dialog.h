// The notice strip: a light-yellow bar 40 pixels high that slides open below
// the top of the main view in 8-pixel steps every 50 ms, shows one clickable
// line of text and closes itself five seconds later. Created once by the
// host; the update flow, the device-server notices and the settings'
// restart note show it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>

#include "ui/ui_dialog.h"

class UiSheetDialog : public UiDialog {
public:
    static constexpr int kFullHeight = 40;  // at 96 DPI
    static constexpr COLORREF kStripColour = 0xD2FCFF;

    UiSheetDialog(Gdiplus::Image* closeImage, Gdiplus::Image* closePressedImage);
    ~UiSheetDialog() override;

    // The height is always 40, whatever is asked.
    bool Create(HWND parent, int width, int height) override;
    // The strip's distance below the parent's top, at 96 DPI.
    void SetTopOffset(int offset) { topOffset_ = offset; }
    // The whole text is one link without an address, so all of it is clickable.
    void SetNoticeText(const std::wstring& text);
    void SetClickCallback(std::function<void()> callback) { clickCallback_ = std::move(callback); }
    // SW_SHOW (re)starts the opening; anything else hides at once.
    void Show(int showCommand) override;
    // Follows the parent: its left edge, its top plus the offset, its width.
    void Realign();
    int CurrentHeight() const;
    // The open strip's height at the sheet's scale.
    int FullHeight() const;
    // A notice: it shows beside what the user is doing and leaves the focus there.
    bool TakesFocusWhenShown() const override { return false; }

    BEGIN_MSG_MAP(UiSheetDialog)
    MSG_WM_INITDIALOG(OnInitDialog)
    MSG_WM_TIMER(OnTimer)
    MSG_WM_LBUTTONDOWN(OnSwallow)
    MSG_WM_CTLCOLORSTATIC(OnColour)
    MSG_WM_CTLCOLORBTN(OnColour)
    NOTIFY_HANDLER(kConfirmButtonId, NM_CLICK, OnLinkClick)
    CHAIN_MSG_MAP(UiDialog)
    END_MSG_MAP()

protected:
    void OnPaint(HDC dc, const RECT& updateRect) override;
    void OnClose() override;
    void OnScaleChanged() override;

private:
    bool OnInitDialog(HWND defaultFocus, LPARAM initParam);
    void OnTimer(UINT_PTR timerId);
    void OnSwallow(UINT, POINT) {}  // the strip cannot be dragged
    HBRUSH OnColour(HDC dc, HWND control);
    LRESULT OnLinkClick(NMHDR* notice);
    void ApplyScale();
    void Grow();
    // The open look: full height, text and close button shown.
    void ShowOpen();
    void SetHeight(int height);

    HWND link_ = nullptr;
    UniqueFont linkFont_;
    std::function<void()> clickCallback_;
    int topOffset_ = 60;  // at 96 DPI
};
