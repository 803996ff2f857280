// The main frame's shared dialogs: long-lived modeless dialogs that the frame
// creates once, parented to the view, and that the command handler, the
// device-server supervision and the update flow fetch by number to show. They
// are never destroyed before the process ends.
#pragma once

// What the frame and its view ask of a shared dialog while they move and
// change size; the dialog toolkit's dialogs implement it.
class SharedDialog {
public:
    // Moves the dialog's window by dx, dy, keeping its size (no z-order
    // change, no activation): the frame moved and the dialog goes with it.
    virtual void MoveBy(int dx, int dy) = 0;
    // Places the dialog again after the view changed size. Only the sheet
    // follows the view's width; the others keep their place.
    virtual void Realign() {}

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

// The dialog registered under number, or null when there is none.
SharedDialog* FindSharedDialog(int number);
// Enters dialog under number, replacing what was there; null removes it.
void RegisterSharedDialog(int number, SharedDialog* dialog);
