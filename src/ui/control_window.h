// What the owner-drawn controls do alike with their windows.
#pragma once

#include <windows.h>

// Asks for hover and leave notices after the pointer rests 10 ms.
void TrackHoverAndLeave(HWND control);
// Tells the parent that the control's command happened, as a click would;
// the controls call it on the press, not on the release.
void PostControlCommand(HWND control);
// Places control in its parent by its anchors (see AnchoredPosition).
void PlaceAnchored(HWND control, int anchorX, int anchorY, int width, int height);
