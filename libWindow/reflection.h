// Reflection of notifications: a parent hands the notifications of a child
// (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM, WM_CTLCOLOR*, ...) back to the child
// as OCM_ messages, so an owner-drawn control draws itself and a control
// answers its own notifications instead of its parent doing it for it.
#pragma once

#include <windows.h>

// The reflected messages, with the values of the system's olectl.h (written
// identically, so either header may come first).
#ifndef OCM__BASE
#define OCM__BASE (WM_USER + 0x1c00)
#define OCM_COMMAND (OCM__BASE + WM_COMMAND)

#define OCM_CTLCOLORBTN (OCM__BASE + WM_CTLCOLORBTN)
#define OCM_CTLCOLOREDIT (OCM__BASE + WM_CTLCOLOREDIT)
#define OCM_CTLCOLORDLG (OCM__BASE + WM_CTLCOLORDLG)
#define OCM_CTLCOLORLISTBOX (OCM__BASE + WM_CTLCOLORLISTBOX)
#define OCM_CTLCOLORMSGBOX (OCM__BASE + WM_CTLCOLORMSGBOX)
#define OCM_CTLCOLORSCROLLBAR (OCM__BASE + WM_CTLCOLORSCROLLBAR)
#define OCM_CTLCOLORSTATIC (OCM__BASE + WM_CTLCOLORSTATIC)

#define OCM_DRAWITEM (OCM__BASE + WM_DRAWITEM)
#define OCM_MEASUREITEM (OCM__BASE + WM_MEASUREITEM)
#define OCM_DELETEITEM (OCM__BASE + WM_DELETEITEM)
#define OCM_VKEYTOITEM (OCM__BASE + WM_VKEYTOITEM)
#define OCM_CHARTOITEM (OCM__BASE + WM_CHARTOITEM)
#define OCM_COMPAREITEM (OCM__BASE + WM_COMPAREITEM)
#define OCM_HSCROLL (OCM__BASE + WM_HSCROLL)
#define OCM_VSCROLL (OCM__BASE + WM_VSCROLL)
#define OCM_PARENTNOTIFY (OCM__BASE + WM_PARENTNOTIFY)
#define OCM_NOTIFY (OCM__BASE + WM_NOTIFY)
#endif

// The child that a notification of parent comes from, or null when the
// message is not a notification or names no child.
HWND NotifyingChild(HWND parent, UINT message, WPARAM wParam, LPARAM lParam);

// When message is a notification from a child that carries an object of this
// layer, sends it to that child as OCM__BASE + message and returns true with
// the child's answer in result. Children without an object are left to the
// parent, so plain controls keep their usual parent handling.
bool ReflectNotifications(HWND parent, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

// True for the OCM_ range: a reflected notification.
constexpr bool IsReflectedMessage(UINT message) { return message >= OCM__BASE && message < OCM__BASE + WM_USER; }

// The answer for a reflected notification that the child's map left alone:
// the default window procedure's answer to the original notification (for
// WM_CTLCOLOR* that is the system's brush), never the control's own procedure,
// which does not know OCM_ messages.
LRESULT DefaultReflection(HWND child, UINT message, WPARAM wParam, LPARAM lParam);
