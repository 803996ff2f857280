// Where a drop shadow sits and which part of it is painted, free of windows.
#pragma once

#include <windows.h>

// The shadow covers the owner's size, moved size pixels right and down.
RECT ShadowRect(const RECT& ownerRect, int size);

// The part of the shadow's client area that lies behind its owner and stays
// unpainted: from the top-left corner, (size + inset) pixels short of the
// right and bottom edges, so only the strip to the right and below shows.
RECT ShadowHiddenPart(const RECT& client, int size, int inset);

// The shadow's opacity, 0 to 255, at pixel (x, y) of a width x height shadow
// whose rounded outline has corners of diameter cornerDiameter: clear on the
// outline and outside it, opaque from a twentieth of the way to the centre
// on, graded linearly in between along the line from the centre.
int ShadowAlphaAt(int x, int y, int width, int height, int cornerDiameter);
