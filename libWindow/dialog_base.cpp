#include "dialog_base.h"

#include <cassert>

#include "window_base.h"
#include "window_object.h"
#include "windowing_module.h"

namespace {
// A dialog procedure returns some answers directly and the rest through
// DWLP_MSGRESULT, with TRUE meaning "handled".
INT_PTR DialogAnswer(HWND window, UINT message, bool handled, LRESULT result) {
    if (!handled) {
        // Unhandled WM_INITDIALOG: TRUE lets the system focus the first control.
        return message == WM_INITDIALOG ? TRUE : FALSE;
    }
    switch (message) {
    case WM_INITDIALOG:
    case WM_CHARTOITEM:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return static_cast<INT_PTR>(result);
    default:
        SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
        return TRUE;
    }
}
}  // namespace

DialogBase::DialogBase(const DialogTemplateArgs& templateArgs) : template_(templateArgs) {}

DialogBase::~DialogBase() {
    if (window_) DestroyWindow(window_);
}

INT_PTR DialogBase::DoModal(HWND parent) {
    // As with the system's modal dialogs, the owner is the parent's top-level
    // window: that is the window the user must not reach meanwhile.
    HWND owner = parent ? GetAncestor(parent, GA_ROOT) : nullptr;
    MessageLoop* loop = WindowingModule::GetMessageLoop();
    MessageLoop threadlessLoop;  // a thread that runs no loop of its own (a plug-in's) gets one here
    if (!loop) loop = &threadlessLoop;

    HWND window = CreateFromTemplate(owner, true, loop);
    if (!window) return -1;
    const bool disableOwner = owner && IsWindowEnabled(owner);
    if (disableOwner) EnableWindow(owner, FALSE);
    if (!ending_) ShowWindow(window, SW_SHOW);

    const std::optional<int> quit = loop->RunUntil([this] { return ending_ || !window_; });
    // The owner is enabled before the dialog goes, so that activation returns to it.
    if (disableOwner) EnableWindow(owner, TRUE);
    const INT_PTR code = result_;
    if (window_) DestroyWindow(window_);
    if (quit) PostQuitMessage(*quit);  // the outer loop has to see the quit too
    return code;
}

HWND DialogBase::Create(HWND parent) {
    return CreateFromTemplate(parent, false, WindowingModule::GetMessageLoop());
}

void DialogBase::EndDialog(INT_PTR code) {
    result_ = code;
    if (!window_) return;
    if (modal_) {
        ending_ = true;
        // Wakes the nested loop should it be waiting (the end came from a sent message).
        PostMessageW(window_, WM_NULL, 0, 0);
    } else {
        DestroyWindow(window_);
    }
}

HWND DialogBase::CreateFromTemplate(HWND parent, bool modal, MessageLoop* loop) {
    assert(!window_ && "one object, one dialog");
    modal_ = modal;
    ending_ = false;
    result_ = 0;
    HWND window = CreateDialogIndirectParamW(WindowLayerInstance(), template_.Get(), parent,
                                             &DialogBase::DialogProc, reinterpret_cast<LPARAM>(this));
    if (window && !window_) {
        DestroyWindow(window);  // the object could not be attached: nobody would answer it
        return nullptr;
    }
    if (!window) return nullptr;
    if (loop && loop->AddMessageFilter(&keyboardFilter_)) filterLoop_ = loop;
    return window;
}

void DialogBase::RemoveKeyboardFilter() {
    // A modeless dialog may outlive the loop that was its thread's when it was
    // made; then there is nothing to remove it from.
    if (filterLoop_ && (modal_ || filterLoop_ == WindowingModule::GetMessageLoop())) {
        filterLoop_->RemoveMessageFilter(&keyboardFilter_);
    }
    filterLoop_ = nullptr;
}

bool DialogBase::KeyboardFilter::PreTranslateMessage(MSG* message) {
    HWND dialog = dialog_.window_;
    if (!dialog || !message->hwnd) return false;
    if (message->hwnd != dialog && !IsChild(dialog, message->hwnd)) return false;
    return IsDialogMessageW(dialog, message) != FALSE;
}

INT_PTR CALLBACK DialogBase::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<DialogBase*>(lParam);
        if (!AttachWindowObject(window, self)) return FALSE;
        self->window_ = window;
    }
    // Only this procedure reads the link on dialogs, so the object is a DialogBase.
    auto* self = static_cast<DialogBase*>(FindWindowObject(window));
    if (!self) return FALSE;
    return self->Route(window, message, wParam, lParam);
}

INT_PTR DialogBase::Route(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    bool handled = ProcessWindowMessage(window, message, wParam, lParam, result);
    if (!handled && IsReflectedMessage(message)) {
        result = DefaultReflection(window, message, wParam, lParam);
        handled = true;
    }
    const INT_PTR answer = DialogAnswer(window, message, handled, result);
    if (message == WM_NCDESTROY) {
        ForgetWindowObject(window);
        RemoveKeyboardFilter();
        window_ = nullptr;
        OnFinalMessage(window);  // may delete the object: nothing of it is touched after
    }
    return answer;
}
