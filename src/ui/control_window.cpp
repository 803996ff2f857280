#include "ui/control_window.h"

#include "ui/control_layout.h"

void TrackHoverAndLeave(HWND control) {
    TRACKMOUSEEVENT track{sizeof track, TME_HOVER | TME_LEAVE, control, 10};
    TrackMouseEvent(&track);
}

void PostControlCommand(HWND control) {
    const int id = GetDlgCtrlID(control);
    PostMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

bool ShowsFocusCue(const DRAWITEMSTRUCT& item) {
    if (GetFocus() != item.hwndItem) return false;
    return !(SendMessageW(GetParent(item.hwndItem), WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS);
}

void PlaceAnchored(HWND control, int anchorX, int anchorY, int width, int height) {
    RECT parent{};
    GetClientRect(GetParent(control), &parent);
    const int x = AnchoredPosition(anchorX, parent.right, width);
    const int y = AnchoredPosition(anchorY, parent.bottom, height);
    SetWindowPos(control, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}
