// The main frame's arithmetic, kept free of windows so it can be checked on
// its own: where the frame opens, where the view sits inside it, which part
// of the frame a point is on, and what the cursor and a press do there.
#pragma once

#include <windows.h>

// 954 x 614 on a 1280-pixel-wide screen, scaled with the screen's width and
// keeping that aspect, centred on the screen. Both widths are at 96 DPI, so
// the share of the screen holds at any DPI: 1280 pixels at 96 DPI are 1920 at
// 144, where the frame is 1431 x 921, half as large again as the same screen
// shown at 96 DPI. The DPI cancels out, and the size is rounded only once.
RECT InitialFrameRect(int screenWidth, int screenHeight);

// The frame's own drawing at a DPI: the border pen, the corners' ellipses, the
// band along the sides that resizes, the shadow's offset.
struct FrameChrome {
    int border = 4;
    int cornerDiameter = 8;
    int resizeEdge = 5;
    int shadowSize = 12;
    int shadowCorner = 20;
};
FrameChrome FrameChromeAt(int dpi);

// The view's place in the frame's client area (left, top, right, bottom),
// inside the grey border. At creation it spans (1, 1) to (cx - 4, cy - 4):
// 949 x 609 on a 954 x 614 frame.
// Offsets and insets scale with dpi.
RECT ViewRectAtCreation(int clientWidth, int clientHeight, int dpi = 96);
// After a drag on an edge the view sits at (1, 1) and is four pixels
// narrower and lower than the client, so it may grow by one pixel then.
RECT ViewRectAfterRefit(int clientWidth, int clientHeight, int dpi = 96);

// The hit-test code of a screen point on a frame with windowRect: the
// five-pixel band along each side resizes (corners first), every other point
// drags the frame as a caption would.
// The band is resizeEdge pixels wide (FrameChromeAt).
LRESULT FrameHitTest(POINT screenPoint, const RECT& windowRect, int resizeEdge = 5);

// The system size cursor for an edge hit-test code, or null for any other
// code (the frame then leaves the cursor alone).
const wchar_t* SizeCursorForHit(LRESULT hitCode);

// The WMSZ_ edge (left 1 to bottom-right 8) that SC_SIZE takes for an edge
// hit-test code, or 0 for any other code.
int SizeEdgeForHit(LRESULT hitCode);
