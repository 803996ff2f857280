// Base of the dialogs: one in-memory template, one initialisation path for
// both ways of running a dialog.
//
//   DoModal(parent): creates the dialog, disables the parent's top-level
//     window, shows the dialog and runs a nested loop until EndDialog; returns
//     the end code (-1 when no window could be made).
//   Create(parent): creates the dialog modelessly; it lives until it is
//     destroyed or ended.
//
// Both create the window with CreateDialogIndirectParamW from the template and
// attach the object at WM_INITDIALOG (the messages before it, such as
// WM_SETFONT, get the system's dialog handling). The nested modal loop is the
// thread's MessageLoop, so the thread's message filters keep working while a
// modal dialog runs. Either way the dialog's own filter gives it
// IsDialogMessage, registered newest so it is asked first. At WM_NCDESTROY:
// forget the object, remove the dialog's filter, then OnFinalMessage.
//
// The keyboard, the same for every dialog:
//   Return presses the focused button, or the dialog's DefaultButtonId when
//     the focus is elsewhere (a list, a link);
//   Escape presses CancelButtonId;
//   Tab and Shift+Tab move between the WS_TABSTOP children in the order a
//     reader meets them (top to bottom, then left to right), fixed once the
//     dialog is initialised; Space presses the focused button (the control's own);
//   a pressed button must be enabled and visible, so a disabled one is out
//     of the keyboard's reach as it is out of the mouse's.
// Showing the dialog moves the focus to its default button (or its first tab
// stop); hiding or ending it gives the focus back to the window that had it.
// Focus cues stay hidden until a key is pressed in the dialog, as Windows
// keeps them with WM_CHANGEUISTATE: the dialog keeps that state for its
// children, which ask for it with WM_QUERYUISTATE sent to their parent.
#pragma once

#include <windows.h>

#include "dialog_template.h"
#include "message_loop.h"
#include "message_map.h"

class DialogBase : public MessageMap {
public:
    explicit DialogBase(const DialogTemplateArgs& templateArgs = {});
    DialogBase(const DialogBase&) = delete;
    DialogBase& operator=(const DialogBase&) = delete;
    // Destroys a dialog that still exists (as WindowBase does).
    virtual ~DialogBase();

    INT_PTR DoModal(HWND parent);
    HWND Create(HWND parent);
    // A modal dialog leaves its loop and returns code from DoModal; a modeless
    // one keeps code for Result and is destroyed.
    void EndDialog(INT_PTR code);

    HWND Handle() const { return window_; }
    // The code given to the last EndDialog.
    INT_PTR Result() const { return result_; }

    virtual void OnFinalMessage(HWND window) {}

    // The buttons that Return and Escape press; 0: none.
    virtual int DefaultButtonId() const { return 0; }
    virtual int CancelButtonId() const { return 0; }
    // Whether showing the dialog takes the focus (a notice strip does not).
    virtual bool TakesFocusWhenShown() const { return true; }

protected:
    // Notes who has the focus, for the dialog to give it back when it is
    // hidden; to be called before the dialog disables its owner, which takes
    // the focus away. Showing the dialog calls it when nobody did.
    void RememberFocus();

private:
    // Gives the dialog IsDialogMessage from the thread's loop.
    class KeyboardFilter : public MessageFilter {
    public:
        explicit KeyboardFilter(const DialogBase& dialog) : dialog_(dialog) {}
        bool PreTranslateMessage(MSG* message) override;

    private:
        const DialogBase& dialog_;
    };

    HWND CreateFromTemplate(HWND parent, bool modal, MessageLoop* loop);
    // The keyboard's messages (see above); false for any other message.
    bool RouteKeyboard(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // An enabled, visible child with this id, or null.
    HWND PressableChild(int id) const;
    void OnShowWindow(bool shown);
    void TakeFocus();
    void GiveFocusBack();
    void SetFocusCues(bool shown);
    void RemoveKeyboardFilter();
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    INT_PTR Route(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    DialogTemplate template_;
    KeyboardFilter keyboardFilter_{*this};
    MessageLoop* filterLoop_ = nullptr;  // the loop that holds keyboardFilter_
    HWND window_ = nullptr;
    bool modal_ = false;
    bool ending_ = false;
    INT_PTR result_ = 0;
    HWND focusBefore_ = nullptr;  // who had the focus when the dialog was shown
    bool focusCues_ = false;      // a key was pressed since the dialog was shown
};
