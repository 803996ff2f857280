// The one way the dialogs and controls measure text: in a GDI+ font or a GDI
// font, on the device context of the window that will draw it, held from
// GetDC to ReleaseDC for the measurer's life, or on a DC being painted.
#pragma once

#include <windows.h>

#include "GdiplusInclude.h"

#include <optional>
#include <string>

#include "gdi_owners.h"

class TextMeasure {
public:
    // Measures on window's client-area DC (the screen's for null).
    explicit TextMeasure(HWND window);
    // Measures on dc, which stays the caller's (one being painted).
    explicit TextMeasure(HDC dc);
    TextMeasure(const TextMeasure&) = delete;
    TextMeasure& operator=(const TextMeasure&) = delete;

    // The box text takes in font: a line per line break, or wrapped to width
    // when width is not 0. Empty when there is no font (a family
    // that did not load draws nothing and takes no room) or no DC.
    Gdiplus::SizeF Measure(const std::wstring& text, const Gdiplus::Font* font, float width = 0) const;
    // The same in graphics, for paint code that already draws with one: the
    // measure then follows the drawing's own settings.
    static Gdiplus::SizeF Measure(Gdiplus::Graphics& graphics, const std::wstring& text, const Gdiplus::Font* font,
                                  float width = 0);

    // The extent of text as one line in the GDI font, or in the font that is
    // selected into the DC when font is null.
    SIZE Extent(const std::wstring& text, HFONT font = nullptr) const;
    // The height of a line (ascent and descent) in the same font.
    int LineHeight(HFONT font = nullptr) const;

private:
    std::optional<WindowDC> windowDC_;
    HDC dc_ = nullptr;
};
