// What the owner-drawn controls do alike with their windows.
#pragma once

#include <windows.h>

// Asks for hover and leave notices after the pointer rests 10 ms.
void TrackHoverAndLeave(HWND control);
// Tells the parent that the control's command happened, as a click would;
// the controls call it on the press, not on the release.
void PostControlCommand(HWND control);
// Whether an owner-drawn control draws its focus cue: it has the focus and
// the keyboard has been used in its dialog (the dialog answers
// WM_QUERYUISTATE for its children).
bool ShowsFocusCue(const DRAWITEMSTRUCT& item);
// Places control in its parent by its anchors (see AnchoredPosition).
void PlaceAnchored(HWND control, int anchorX, int anchorY, int width, int height);
