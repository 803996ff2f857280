// The modal settings dialog: a "General" tab whose panel holds one setting,
// the interface language, chosen in a drop-down list, and "OK" and "Cancel".
// DoModal returns 5051 for "OK" (the choice is then in Language()) and 5052
// for "Cancel" and the close button alike.
#pragma once

#include <string>
#include <vector>

#include "gdi_owners.h"
#include "ui/bas_switch_button.h"
#include "ui/ui_dialog.h"

// The languages offered, each by its own name, and the index it stores.
struct LanguageEntry {
    const wchar_t* name;
    int index;
};
const std::vector<LanguageEntry>& OfferedLanguages();
// The list entry to preselect for a stored language index: its own entry,
// or English when the index is outside the list.
int LanguageEntryFor(int languageIndex);

class UiSettingDialog : public UiDialog {
public:
    static constexpr int kLanguageListId = 5053;

    UiSettingDialog(Gdiplus::Image* closeImage, Gdiplus::Image* closePressedImage, const std::wstring& cancelLabel,
                    const std::wstring& okLabel);
    ~UiSettingDialog() override;

    // parent null: centred on the top-level owner; okLabel, when not null,
    // replaces the "OK" label.
    void SetContent(HWND parent, int width, int height, const wchar_t* okLabel);
    void SetLanguage(int index) { language_ = index; }
    int Language() const { return language_; }
    bool Confirmed() const { return confirmed_; }
    // Only shows or hides the window: a modal run leaves the parent to the loop.
    void Show(int showCommand) override;

    BEGIN_MSG_MAP(UiSettingDialog)
    MSG_WM_INITDIALOG(OnInitDialog)
    COMMAND_ID_HANDLER(kConfirmButtonId, OnOk)
    COMMAND_ID_HANDLER(kSecondButtonId, OnCancel)
    COMMAND_ID_HANDLER(kCloseButtonId, OnCancel)
    CHAIN_MSG_MAP(UiDialog)
    END_MSG_MAP()

protected:
    void DrawContent(HDC dc, int left, int top, int right, int bottom) override;
    // Fonts, buttons, the list's font and the layout again at the new scale.
    void OnScaleChanged() override;

private:
    bool OnInitDialog(HWND defaultFocus, LPARAM initParam);
    void OnOk(UINT code, int id, HWND control);
    void OnCancel(UINT code, int id, HWND control);
    void CreateLanguageList();
    void LayOut();
    void CreateFonts();
    // How button id ("OK" or "Cancel") is made at the dialog's scale.
    DialogButtonArgs ButtonArgs(int id) const;

    bool confirmed_ = false;
    BASSwitchButton okButton_;
    BASSwitchButton cancelButton_;
    std::wstring okLabel_;
    std::wstring cancelLabel_;
    std::wstring tabLabel_;
    std::wstring optionLabel_;
    UniqueFont comboFont_;
    std::unique_ptr<Gdiplus::Font> labelFont_;
    std::unique_ptr<Gdiplus::Font> buttonFont_;
    COLORREF buttonNormal_ = 0x7F7F7F;
    COLORREF buttonPressed_ = 0xC3C3C3;
    COLORREF panelFill_ = 0;
    COLORREF panelBorder_ = 0;
    Gdiplus::RectF tabLabelBox_, tabBox_, panelBox_, optionLabelBox_;
    RECT frameBox_{};
    HWND languageList_ = nullptr;
    int language_ = 3;
};
