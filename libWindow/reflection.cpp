#include "reflection.h"

#include "window_object.h"

HWND NotifyingChild(HWND parent, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:  // menus and accelerators send no window
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_HSCROLL:  // null for a window's own scroll bars
    case WM_VSCROLL:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: return reinterpret_cast<HWND>(lParam);
    case WM_NOTIFY: return reinterpret_cast<NMHDR*>(lParam)->hwndFrom;
    case WM_DRAWITEM:  // control id 0 is a menu item
        return wParam ? reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem : nullptr;
    case WM_MEASUREITEM:  // sent before the control exists for some styles: found by id
        return wParam ? GetDlgItem(parent, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->CtlID) : nullptr;
    case WM_COMPAREITEM: return reinterpret_cast<COMPAREITEMSTRUCT*>(lParam)->hwndItem;
    case WM_DELETEITEM: return reinterpret_cast<DELETEITEMSTRUCT*>(lParam)->hwndItem;
    case WM_PARENTNOTIFY:
        switch (LOWORD(wParam)) {
        case WM_CREATE:
        case WM_DESTROY: return reinterpret_cast<HWND>(lParam);
        default: {  // a mouse press: the child under the point, if any
            POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            HWND child = ChildWindowFromPointEx(parent, point, CWP_SKIPINVISIBLE);
            return child == parent ? nullptr : child;
        }
        }
    default: return nullptr;
    }
}

bool ReflectNotifications(HWND parent, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    HWND child = NotifyingChild(parent, message, wParam, lParam);
    if (!child || !FindWindowObject(child)) return false;
    result = SendMessageW(child, OCM__BASE + message, wParam, lParam);
    return true;
}

LRESULT DefaultReflection(HWND child, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(child, message - OCM__BASE, wParam, lParam);
}
