// What screen readers learn of the owner-drawn buttons. Windows' own
// accessible object for a "BUTTON" window reports the window text as the
// name, but an owner-drawn button's role is not certain everywhere (Wine
// reports a plain client area), so the buttons answer WM_GETOBJECT with that
// object wrapped to say "push button".
#pragma once

#include <windows.h>

// The answer to WM_GETOBJECT for control's client area: the standard object
// with the push-button role; 0 for other objects (the message then goes on
// to the control's own procedure) or when none could be made.
LRESULT AnswerAsPushButton(HWND control, WPARAM wParam, LPARAM lParam);
