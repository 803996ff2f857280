#include "ui/text_measure.h"

TextMeasure::TextMeasure(HWND window) : windowDC_(std::in_place, window), dc_(windowDC_->get()) {}

TextMeasure::TextMeasure(HDC dc) : dc_(dc) {}

Gdiplus::SizeF TextMeasure::Measure(const std::wstring& text, const Gdiplus::Font* font, float width) const {
    if (!dc_ || !font) return {};
    Gdiplus::Graphics graphics(dc_);
    return Measure(graphics, text, font, width);
}

Gdiplus::SizeF TextMeasure::Measure(Gdiplus::Graphics& graphics, const std::wstring& text, const Gdiplus::Font* font,
                                    float width) {
    if (!font) return {};
    // A layout width of 0 is GDI+'s own "no wrapping", as a point's origin is.
    Gdiplus::RectF box;
    graphics.MeasureString(text.c_str(), -1, font, Gdiplus::RectF(0, 0, width, 0), &box);
    return {box.Width, box.Height};
}

SIZE TextMeasure::Extent(const std::wstring& text, HFONT font) const {
    SIZE size{};
    if (!dc_) return size;
    // Selecting null would select nothing: the DC's own font is measured then.
    std::optional<ScopedSelectObject> selected;
    if (font) selected.emplace(dc_, font);
    GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

// Any text measures the font's whole cell height; two letters that reach the
// ascent and the descent make that plain to the reader.
int TextMeasure::LineHeight(HFONT font) const { return Extent(L"Ag", font).cy; }
