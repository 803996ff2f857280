// The main frame's shared dialogs: long-lived modeless dialogs that the host
// creates once, parented to the view, and that the command handler, the
// device-server supervision and the update flow fetch by number to show.
// They are never destroyed before the process ends.
#pragma once

#include <map>
#include <mutex>

// What the host asks of a shared dialog while the frame moves and the view
// changes size; the dialog toolkit's dialogs implement it.
class SharedDialog {
public:
    // Moves the dialog's window by dx, dy, keeping its size (no z-order
    // change, no activation): the frame moved and the dialog goes with it.
    virtual void MoveBy(int dx, int dy) = 0;
    // Places the dialog again after the view changed size. Only the sheet
    // follows the view's width; the others keep their place.
    virtual void Realign() {}
    // The frame moved to a display of another DPI: the dialog, shown or
    // hidden, takes that scale (its size, fonts, pictures and layout).
    virtual void FollowDpi(int dpi) {}

protected:
    ~SharedDialog() = default;
};

// The registry's numbers.
enum SharedDialogNumber : int {
    kUpdateDownloadDialog = 1,
    kSheetDialog = 2,
    kUpdateListDialog = 3,
    kProgressDialog = 4,
};

// The dialogs by number. The host fills it on the main thread while plug-ins
// that are already loaded may look dialogs up from threads of their own.
class SharedDialogs {
public:
    // The dialog registered under number, or null when there is none.
    SharedDialog* Find(int number) const;
    // Enters dialog under number, replacing what was there; null removes it.
    void Register(int number, SharedDialog* dialog);

private:
    mutable std::mutex lock_;
    std::map<int, SharedDialog*> dialogs_;
};
