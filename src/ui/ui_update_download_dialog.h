// The download of a new installer: the progress dialog without its folder
// button, with the downloaded and total sizes beside the status line, then
// the closing notice while the device server stops. Created once by the
// host; the update flow drives it.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "ui/ui_progress_dialog.h"

class UiUpdateDownloadDialog : public UiProgressDialog {
public:
    // Told, after the user closed the dialog, whether the download had
    // finished before (false: it was still running and should be cancelled).
    using CancelNotification = std::function<void(bool finished)>;

    UiUpdateDownloadDialog(Gdiplus::Image* closeImage, Gdiplus::Image* closePressedImage);
    ~UiUpdateDownloadDialog() override;

    void SetCancelNotification(CancelNotification notification) { cancelNotification_ = std::move(notification); }
    // The installer is in place and the server is asked to stop: the sizes
    // give way to the closing text and the dialog can no longer be cancelled.
    void ShowClosingNotice();
    // The download failed: the failure text (already translated) stays, no
    // size text, and closing the dialog cancels nothing.
    void ShowFailure(const std::wstring& text);
    bool IsClosing() const { return closing_; }

    void OnCancel() override;

protected:
    void DrawContent(HDC dc, int left, int top, int right, int bottom) override;

private:
    void InvalidateTextBand();

    CancelNotification cancelNotification_;
};

// "(downloaded 1.5 KB, total 2 MB)" from the translated words and the readable sizes.
std::wstring DownloadSizeText(const std::wstring& downloadedWord, const std::wstring& totalWord, int done, int total);
