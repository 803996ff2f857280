#include "dialog_base.h"

#include <algorithm>
#include <cassert>
#include <utility>
#include <vector>

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
    case WM_CTLCOLORSTATIC: return static_cast<INT_PTR>(result);
    default: SetWindowLongPtrW(window, DWLP_MSGRESULT, result); return TRUE;
    }
}
// Posted to a dialog as it is shown: it takes the focus once it is visible.
UINT TakeFocusMessage() {
    static const UINT message = RegisterWindowMessageW(L"Lumarest.DialogTakeFocus");
    return message;
}

bool IsWithin(HWND dialog, HWND window) { return window && (window == dialog || IsChild(dialog, window)); }

// The order a reader meets two controls in: the higher first, then the one
// further left.
bool ReadBefore(const RECT& a, const RECT& b) { return a.top != b.top ? a.top < b.top : a.left < b.left; }

// Tab goes through the tab stops in z-order: they are stacked in reading
// order, the first on top. The controls do not overlap, so nothing is drawn
// differently.
void ArrangeTabOrder(HWND dialog) {
    std::vector<std::pair<RECT, HWND>> stops;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT place{};
        if ((GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP) && GetWindowRect(child, &place))
            stops.push_back({place, child});
    }
    std::stable_sort(stops.begin(), stops.end(),
                     [](const auto& a, const auto& b) { return ReadBefore(a.first, b.first); });
    HWND above = HWND_TOP;
    for (const auto& [place, child] : stops) {
        SetWindowPos(child, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
        above = child;
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
    RememberFocus();
    const bool disableOwner = owner && IsWindowEnabled(owner);
    if (disableOwner) EnableWindow(owner, FALSE);
    if (!ending_) ShowWindow(window, SW_SHOW);

    const std::optional<int> quit = loop->RunUntil([this] { return ending_ || !window_; });
    // The owner is enabled before the dialog goes, so that activation returns
    // to it and with it the focus; a control of the owner that had the focus
    // gets it back here, first, as the system's dialogs do.
    if (disableOwner) EnableWindow(owner, TRUE);
    const INT_PTR code = result_;
    const bool wasActive = window_ && GetActiveWindow() == window_;
    if (focusBefore_ && focusBefore_ != owner) GiveFocusBack();
    if (window_) DestroyWindow(window_);
    focusBefore_ = nullptr;
    // The system activates the owner when an active dialog goes, but an owner
    // that was shown without ever being activated (or whose activation the
    // window manager delays) would leave the keyboard nowhere.
    if (wasActive && owner && IsWindow(owner) && !IsWithin(owner, GetFocus())) SetFocus(owner);
    if (quit) PostQuitMessage(*quit);  // the outer loop has to see the quit too
    return code;
}

HWND DialogBase::Create(HWND parent) { return CreateFromTemplate(parent, false, WindowingModule::GetMessageLoop()); }

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
    HWND window = CreateDialogIndirectParamW(WindowLayerInstance(), template_.Get(), parent, &DialogBase::DialogProc,
                                             reinterpret_cast<LPARAM>(this));
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
    // The keyboard is in use: the focus cues show from now on.
    if (message->message == WM_KEYDOWN || message->message == WM_SYSKEYDOWN)
        SendMessageW(dialog, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    return IsDialogMessageW(dialog, message) != FALSE;
}

HWND DialogBase::PressableChild(int id) const {
    HWND child = id && window_ ? GetDlgItem(window_, id) : nullptr;
    return child && IsWindowEnabled(child) && IsWindowVisible(child) ? child : nullptr;
}

// IsDialogMessage turns Return into the default button's command (asking
// DM_GETDEFID) or IDOK, and Escape into IDCANCEL.
bool DialogBase::RouteKeyboard(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    if (message == TakeFocusMessage()) {
        TakeFocus();
        return true;
    }
    switch (message) {
    case DM_GETDEFID: {
        HWND focus = GetFocus();
        int id = DefaultButtonId();
        if (focus && IsChild(window, focus) && (SendMessageW(focus, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON))
            id = GetDlgCtrlID(focus);
        else if (!PressableChild(id)) id = 0;
        result = id ? MAKELRESULT(id, DC_HASDEFID) : 0;
        return true;
    }
    case WM_COMMAND:
        if (lParam != 0 || (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL)) return false;
        if (HWND cancel = LOWORD(wParam) == IDCANCEL ? PressableChild(CancelButtonId()) : nullptr)
            SendMessageW(window, WM_COMMAND, MAKEWPARAM(CancelButtonId(), BN_CLICKED),
                         reinterpret_cast<LPARAM>(cancel));
        return true;
    case WM_CHANGEUISTATE:
        if (HIWORD(wParam) & UISF_HIDEFOCUS) SetFocusCues(LOWORD(wParam) == UIS_CLEAR);
        return true;
    case WM_QUERYUISTATE: result = focusCues_ ? 0 : UISF_HIDEFOCUS; return true;
    case WM_SHOWWINDOW:
        if (lParam == 0) OnShowWindow(wParam != FALSE);  // not a change of the owner's
        return false;
    default: return false;
    }
}

void DialogBase::RememberFocus() {
    HWND focus = GetFocus();
    if (!IsWithin(window_, focus)) focusBefore_ = focus ? focus : GetWindow(window_, GW_OWNER);
}

void DialogBase::OnShowWindow(bool shown) {
    if (!TakesFocusWhenShown()) return;
    if (!shown) {
        GiveFocusBack();
        return;
    }
    focusCues_ = false;
    if (!focusBefore_) RememberFocus();
    PostMessageW(window_, TakeFocusMessage(), 0, 0);
}

void DialogBase::TakeFocus() {
    if (!window_ || !IsWindowVisible(window_)) return;
    HWND target = PressableChild(DefaultButtonId());
    if (!target) target = GetNextDlgTabItem(window_, nullptr, FALSE);
    SetFocus(target ? target : window_);
}

void DialogBase::GiveFocusBack() {
    HWND back = std::exchange(focusBefore_, nullptr);
    if (back && IsWindow(back) && IsWindowEnabled(back) &&
        GetWindowThreadProcessId(back, nullptr) == GetCurrentThreadId())
        SetFocus(back);
}

void DialogBase::SetFocusCues(bool shown) {
    if (focusCues_ == shown) return;
    focusCues_ = shown;
    if (HWND focus = GetFocus(); focus && window_ && IsChild(window_, focus)) InvalidateRect(focus, nullptr, FALSE);
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
    bool handled = RouteKeyboard(window, message, wParam, lParam, result) ||
                   ProcessWindowMessage(window, message, wParam, lParam, result);
    if (message == WM_INITDIALOG) ArrangeTabOrder(window);
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
