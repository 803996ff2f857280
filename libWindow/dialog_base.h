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
// IsDialogMessage (keyboard navigation, Enter and Escape), registered
// newest so it is asked first. At WM_NCDESTROY: forget the object, remove the
// dialog's filter, then OnFinalMessage.
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
    bool IsModal() const { return modal_; }
    // The code given to the last EndDialog.
    INT_PTR Result() const { return result_; }

    virtual void OnFinalMessage(HWND window) {}

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
};
