// The update offer: a coloured top with the caption and what is new in a
// read-only notes box, a link to the version history, and "Update Now" and
// "Remind Me Later". Created once by the host; the update flow fills it with
// release notes and shows it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "gdi_owners.h"
#include "ui/bas_edit.h"
#include "ui/bas_switch_button.h"
#include "ui/ui_dialog.h"

// Where the list's children go in a dialog of client size width x height.
struct UpdateListLayout {
    RECT notes{};
    POINT laterButton{};
    POINT updateButton{};
    POINT link{};
};
UpdateListLayout LayOutUpdateList(int width, int height, SIZE laterButton, SIZE updateButton,
                                  const DpiScale& scale = {});

class UiUpdateListDialog : public UiDialog {
public:
    static constexpr int kLinkId = 5051;
    static constexpr int kLaterId = 5052;
    static constexpr int kUpdateId = 5053;
    static constexpr int kNotesId = 5054;

    // Told when the user chose "Update Now", after the list was hidden.
    using UpdateCallback = std::function<void()>;

    UiUpdateListDialog(Gdiplus::Image* closeImage, Gdiplus::Image* closePressedImage);
    ~UiUpdateListDialog() override;

    void ClearNotes();
    // Appends text (with its own line breaks) at the end of the notes.
    void AppendNotes(const std::wstring& text);
    void SetUpdateCallback(UpdateCallback callback) { updateCallback_ = std::move(callback); }
    // SW_SHOW gives the notes box a scroll bar when it holds more than nine lines.
    void Show(int showCommand) override;
    int DefaultButtonId() const override { return kUpdateId; }

    BEGIN_MSG_MAP(UiUpdateListDialog)
    MSG_WM_INITDIALOG(OnInitDialog)
    MSG_WM_CTLCOLORSTATIC(OnColour)
    MSG_WM_CTLCOLOREDIT(OnColour)
    MSG_WM_CTLCOLORBTN(OnColour)
    COMMAND_ID_HANDLER(kLaterId, OnLater)
    COMMAND_ID_HANDLER(kUpdateId, OnUpdate)
    NOTIFY_HANDLER(kLinkId, NM_CLICK, OnLinkClick)
    CHAIN_MSG_MAP(UiDialog)
    END_MSG_MAP()

protected:
    void OnPaint(HDC dc, const RECT& updateRect) override;
    // Fonts, pens, buttons and places again at the new scale.
    void OnScaleChanged() override;

private:
    bool OnInitDialog(HWND defaultFocus, LPARAM initParam);
    void CreateLink();
    void ApplyListScale();
    DialogButtonArgs ButtonArgs(int id) const;
    void PlaceChildren();
    HBRUSH OnColour(HDC dc, HWND control);
    void OnLater(UINT, int, HWND) { Show(SW_HIDE); }
    void OnUpdate(UINT, int, HWND);
    LRESULT OnLinkClick(NMHDR* notice);

    std::wstring caption_, linkLabel_, historyAddress_;
    std::wstring laterLabel_, updateLabel_;
    BASSwitchButton laterButton_;
    BASSwitchButton updateButton_;
    UniquePen accentPen_;
    UniquePen framePen_;
    UniqueFont captionFont_, notesFont_, boldFont_;
    std::unique_ptr<Gdiplus::Font> buttonFont_;
    COLORREF accentColour_ = 0x7F7F7F, topColour_ = 0x7F7F7F;
    HWND link_ = nullptr;
    SIZE linkSize_{};
    BASEdit notes_;
    UpdateCallback updateCallback_;
};
