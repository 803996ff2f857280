// The main frame's shared dialogs: long-lived modeless dialogs, parented to
// the view, that the command handler, the device-server supervision and the
// update flow show. Their objects exist from the start, so that any thread
// may set what they let any thread set (a progress's counters, the
// installer's guard); each window, with its shadow, is made on the main
// thread the first time a command needs it, not before the frame's first
// paint. None is destroyed before the process ends.
#pragma once

#include <windows.h>

#include <memory>

namespace Gdiplus {
class Image;
}

class UiDialog;
class UiProgressDialog;
class UiSheetDialog;
class UiUpdateDownloadDialog;
class UiUpdateListDialog;

class SharedDialogs {
public:
    // The close button's pictures of every dialog; not owned.
    SharedDialogs(Gdiplus::Image* closeImage, Gdiplus::Image* closePressedImage);
    ~SharedDialogs();
    SharedDialogs(const SharedDialogs&) = delete;
    SharedDialogs& operator=(const SharedDialogs&) = delete;

    // Main thread: the window the dialogs' windows are parented to (the
    // view). Until it is set no window is made.
    void SetParent(HWND parent) { parent_ = parent; }

    // Main thread only: the dialog with its hidden window, made at the first
    // call; null while there is no parent.
    UiSheetDialog* Sheet();
    UiProgressDialog* Progress();
    UiUpdateDownloadDialog* Download();
    UiUpdateListDialog* UpdateList();

    // Any thread: the objects themselves, for what their classes let any
    // thread read or set; their windows may not exist yet.
    UiProgressDialog& ProgressObject() { return *progress_; }
    UiUpdateDownloadDialog& DownloadObject() { return *download_; }
    const UiUpdateListDialog& UpdateListObject() const { return *updateList_; }

    // The frame moved, or the view's size changed: the sheet follows once it
    // exists; made later, it takes its place from the view then.
    void FrameMoved(int dx, int dy);
    void ViewSized();
    // The frame moved to a display of another DPI: every dialog made so far
    // takes it; one made later reads the DPI of its parent then.
    void FollowDpi(int dpi);

private:
    // The dialog's window, made now when it does not exist; false without a parent.
    bool Made(UiDialog& dialog, int width, int height);

    HWND parent_ = nullptr;
    std::unique_ptr<UiSheetDialog> sheet_;
    std::unique_ptr<UiProgressDialog> progress_;
    std::unique_ptr<UiUpdateDownloadDialog> download_;
    std::unique_ptr<UiUpdateListDialog> updateList_;
};
