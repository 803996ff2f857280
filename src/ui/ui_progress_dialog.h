// The shared progress dialog: a status line, a percentage, a rounded bar, a
// "Show in folder" button and a "Cancel" button that becomes "OK" at the
// end. Created once by the host and reused for every progress a plug-in
// runs; counters and the status text may be set from any thread (they live
// in a ProgressState), and a 500 ms timer shows them.
#pragma once

#include <string>

#include "gdi_owners.h"
#include "ui/bas_switch_button.h"
#include "ui/progress_state.h"
#include "ui/ui_dialog.h"

class UiProgressDialog : public UiDialog {
public:
    UiProgressDialog(Gdiplus::Image* closeImage, Gdiplus::Image* closePressedImage);
    ~UiProgressDialog() override;

    // ---- the user-interface thread ----
    void Reset() override;
    void SetShowFolderButton(bool show) { showFolderButton_ = show; }
    void SetFolder(const std::wstring& folder) { folder_ = folder; }
    void SetOwnerName(const std::string& owner) { state_.SetOwner(owner); }
    void SetEndCallback(ProgressEndCallback callback, int64_t datum) { state_.SetEndCallback(callback, datum); }
    // Shows the dialog and starts the refresh.
    virtual void Start();
    // Ends the display without the end callback (the owner stopped the run).
    void Stop();
    // The task ended: the next tick shows the end.
    void MarkFinished() override { state_.MarkFinished(); }
    // The user closed the dialog or pressed Cancel or OK.
    virtual void OnCancel();
    virtual void Layout();
    // Return presses "Cancel", "OK" at the end: the dialog's only answer.
    int DefaultButtonId() const override { return kSecondButtonId; }
    // The owner's request to stop: only its own run, only while it runs.
    bool CancelBy(const char* canceller);

    // ---- any thread ----
    void SetDone(int done) { state_.SetDone(done); }
    void SetTotal(int total) { state_.SetTotal(total); }
    void AddFailed(int failed) { state_.AddFailed(failed); }
    void SetStatusText(const wchar_t* text) { state_.SetStatusText(text); }

    bool IsRunFinished() const { return state_.IsFinished(); }
    ProgressState& State() { return state_; }

    BEGIN_MSG_MAP(UiProgressDialog)
    MSG_WM_INITDIALOG(OnInitDialog)
    MSG_WM_TIMER(OnTimer)
    COMMAND_ID_HANDLER(kCloseButtonId, OnCancelCommand)
    COMMAND_ID_HANDLER(kSecondButtonId, OnCancelCommand)
    COMMAND_ID_HANDLER(kConfirmButtonId, OnFolderCommand)
    CHAIN_MSG_MAP(UiDialog)
    END_MSG_MAP()

protected:
    void DrawContent(HDC dc, int left, int top, int right, int bottom) override;
    // Fonts, buttons and layout again at the new scale.
    void OnScaleChanged() override;
    // One refresh: what the timer does every 500 ms.
    virtual void Tick();
    void InvalidateProgress();
    const RECT& Bar() const { return bar_; }
    HFONT StatusFont() const { return statusFont_.get(); }

    ProgressState state_;
    BASSwitchButton folderButton_;
    BASSwitchButton cancelButton_;
    bool closing_ = false;  // the update download dialog's closing notice

private:
    bool OnInitDialog(HWND defaultFocus, LPARAM initParam);
    void OnTimer(UINT_PTR timerId);
    void OnCancelCommand(UINT, int, HWND) { OnCancel(); }
    void OnFolderCommand(UINT code, int id, HWND control);
    void CreateFonts();
    DialogButtonArgs ButtonArgs(int id, const std::wstring& label) const;

    bool showFolderButton_ = true;
    std::wstring folder_;
    std::wstring folderLabel_, cancelLabel_, okLabel_;
    RECT bar_{};
    RECT upperArea_{};
    COLORREF barColour_ = 0x7F7F7F;
    COLORREF buttonNormal_ = 0x7F7F7F;
    COLORREF buttonPressed_ = 0xC3C3C3;
    UniqueFont statusFont_;
    std::unique_ptr<Gdiplus::Font> buttonFont_;
    bool timerRunning_ = false;
};
