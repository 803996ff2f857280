// The one place that makes the fonts the host draws with, and those it hands
// to the plug-ins: a family, a size in pixels at 96 DPI (the em or the cell
// height), a weight, and the current language's character set, scaled to a
// display's DPI. A family that is not installed is replaced through
// FaceFallback and the substitution logged once; a font that does not load
// is never returned, so no text is drawn in one.
#pragma once

#include <windows.h>

#include "GdiplusInclude.h"

#include <memory>

#include "gdi_owners.h"

enum class FontHeight {
    Em,    // size is the em height, as GDI+'s pixel unit and a negative lfHeight take it
    Cell,  // size is the cell height (ascent and descent), as a positive lfHeight takes it
};

struct FontChoice {
    const wchar_t* family = L"Arial";
    float size = 13.0f;  // pixels at 96 DPI
    bool bold = false;
    FontHeight height = FontHeight::Em;
};

// A GDI+ font at dpi, or null when neither the family nor a fall-back loads.
std::unique_ptr<Gdiplus::Font> MakeFont(const FontChoice& wanted, int dpi);

// The same as a GDI font, for controls and GDI text; its face is the same
// checked family, its character set the language's.
UniqueFont MakeGdiFont(const FontChoice& wanted, int dpi);

// A font kept for the rest of the process, shared by everyone who asks for
// the same family, size (in the asker's pixels), weight and height kind: the
// plug-ins' fonts. Null as MakeFont. Any thread.
const Gdiplus::Font* SharedFont(const FontChoice& wanted);
