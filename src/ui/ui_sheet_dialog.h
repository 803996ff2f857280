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
    static constexpr int kFullHeight = 40;
    static constexpr COLORREF kStripColour = 0xD2FCFF;

    UiSheetDialog(Gdiplus::Image* closeImage, Gdiplus::Image* closePressedImage);
    ~UiSheetDialog() override;

    // The height is always 40, whatever is asked.
    bool Create(HWND parent, int width, int height) override;
    void SetTopOffset(int pixels) { topOffset_ = pixels; }
    // The whole text is one link without an address, so all of it is clickable.
    void SetNoticeText(const std::wstring& text);
    void SetClickCallback(std::function<void()> callback) { clickCallback_ = std::move(callback); }
    // SW_SHOW (re)starts the opening; anything else hides at once.
    void Show(int showCommand) override;
    // Follows the parent: its left edge, its top plus the offset, its width.
    void Realign() override;
    int CurrentHeight() const;

    BEGIN_MSG_MAP(UiSheetDialog)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnSwallow)
        MESSAGE_HANDLER(WM_CTLCOLORSTATIC, OnColour)
        MESSAGE_HANDLER(WM_CTLCOLORBTN, OnColour)
        NOTIFY_HANDLER(kConfirmButtonId, NM_CLICK, OnLinkClick)
        CHAIN_MSG_MAP(UiDialog)
    END_MSG_MAP()

protected:
    void OnPaint() override;
    void OnClose() override;

private:
    LRESULT OnInitDialog(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnTimer(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnSwallow(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnColour(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnLinkClick(int id, NMHDR* notice, bool& handled);
    void Grow();
    void SetHeight(int height);

    HWND link_ = nullptr;
    UniqueFont linkFont_;
    std::function<void()> clickCallback_;
    int topOffset_ = 60;
};
