// The host's message box: an optional icon at the left, a wrapped message,
// and one button (alert) or two (confirm) at the bottom right. Always modal:
// constructed on the caller's stack, filled with SetContent, run with DoModal,
// which returns 5051 for the confirming button, 5052 for the second and
// 5050 for the close button.
#pragma once

#include "ui/alert_layout.h"
#include "ui/bas_switch_button.h"
#include "ui/ui_dialog.h"

class UiAlertDialog : public UiDialog {
public:
    // Pictures come from the image catalog and stay the caller's; icon may be
    // null. Labels come translated.
    UiAlertDialog(Gdiplus::Image* closeImage, Gdiplus::Image* closePressedImage, Gdiplus::Image* icon, bool twoButtons,
                  const std::wstring& secondText, const std::wstring& confirmText);
    ~UiAlertDialog() override;

    // parent null: centred on the top-level owner. height is replaced by the
    // layout. confirmText, when not null, replaces the confirming label.
    void SetContent(HWND parent, int width, int height, const std::wstring& message, const wchar_t* confirmText);
    // Only shows or hides the window: a modal run leaves the parent to the loop.
    void Show(int showCommand) override;
    bool Confirmed() const { return confirmed_; }

    BEGIN_MSG_MAP(UiAlertDialog)
    MSG_WM_INITDIALOG(OnInitDialog)
    COMMAND_ID_HANDLER(kConfirmButtonId, OnButton)
    COMMAND_ID_HANDLER(kSecondButtonId, OnButton)
    COMMAND_ID_HANDLER(kCloseButtonId, OnButton)
    MESSAGE_HANDLER(WM_VSCROLL, OnVScroll)
    MESSAGE_HANDLER(WM_MOUSEWHEEL, OnMouseWheel)
    CHAIN_MSG_MAP(UiDialog)
    END_MSG_MAP()

protected:
    void DrawContent(HDC dc, int left, int top, int right, int bottom) override;
    // Fonts, icon, buttons and layout again at the new scale.
    void OnScaleChanged() override;
    // The fonts at the dialog's DPI, sized by their cells.
    void CreateFonts();
    std::unique_ptr<Gdiplus::Font> textFont_;
    std::unique_ptr<Gdiplus::Font> buttonFont_;
    BASSwitchButton confirmButton_;
    std::wstring confirmText_;

private:
    bool OnInitDialog(HWND defaultFocus, LPARAM initParam);
    void OnButton(UINT code, int id, HWND control);
    void LayOut();
    // A message taller than the dialog may grow scrolls in its box, by the
    // scroll bar (mouse or arrow keys once it has the focus) or the wheel.
    void PlaceScrollBar(const AlertLayout& layout);
    LRESULT OnVScroll(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseWheel(UINT message, WPARAM wParam, LPARAM lParam);
    void ScrollTo(int position);
    void ApplyScale();
    // How button id (the confirming or the second) is made at the dialog's scale.
    DialogButtonArgs ButtonArgs(int id) const;

    bool confirmed_ = false;
    COLORREF buttonNormal_ = 0x7F7F7F;
    COLORREF buttonPressed_ = 0xC3C3C3;
    bool twoButtons_;
    BASSwitchButton secondButton_;
    std::wstring secondText_;
    std::wstring message_;
    Gdiplus::Image* icon_;                  // the catalog's picture, its size at 96 DPI
    Gdiplus::Image* iconRender_ = nullptr;  // its render for the display's scale
    SIZE iconSize_{};                       // in pixels of the display
    float textX_ = 20;
    float textWidth_ = 0;
    float textHeight_ = 0;      // the room of a message taller than the work area allows; 0: it all fits
    float textTop_ = 0;         // where that room begins
    float fullTextHeight_ = 0;  // the whole message's height when it scrolls
    int scrollY_ = 0;           // how far it is scrolled, in pixels
    HWND scrollBar_ = nullptr;  // a child: destroyed with the dialog
};
