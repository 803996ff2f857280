// The modules' common look: the product's palette, text in Arial, rounded
// shapes and flat buttons, all drawn with GDI+.
#pragma once

#include <windows.h>

#include <cstdint>

#include "gdiplus_include.h"

namespace plugin {

// The palette, matching the host's resource catalog.
namespace palette {
constexpr uint32_t kTitleBand = 0x1F5FAE;
constexpr uint32_t kTitleBandDeep = 0x184C8C;
constexpr uint32_t kAccent = 0x2F8CF0;
constexpr uint32_t kPaneBackground = 0xFFFFFF;
constexpr uint32_t kPanel = 0xF3F6FA;
constexpr uint32_t kBorder = 0xD3DAE3;
constexpr uint32_t kHeading = 0x1F2D3D;
constexpr uint32_t kBodyText = 0x5A6B7D;
constexpr uint32_t kMutedText = 0x8A97A6;
constexpr uint32_t kDisabled = 0xA7AFBA;
constexpr uint32_t kWarning = 0xE8912D;
}  // namespace palette

Gdiplus::Color Rgb(uint32_t rgb, BYTE alpha = 255);

struct TextStyle {
    float size = 13.0f;  // pixels
    bool bold = false;
    uint32_t color = palette::kBodyText;
    Gdiplus::StringAlignment horizontal = Gdiplus::StringAlignmentNear;
    Gdiplus::StringAlignment vertical = Gdiplus::StringAlignmentNear;
    bool wrap = true;  // false: one line, cut with an ellipsis
};

void DrawText(Gdiplus::Graphics& graphics, const wchar_t* text, const Gdiplus::RectF& box, const TextStyle& style);

void FillRoundRect(Gdiplus::Graphics& graphics, const Gdiplus::Brush& brush, const Gdiplus::RectF& box, float radius);
void DrawRoundRect(Gdiplus::Graphics& graphics, const Gdiplus::Pen& pen, const Gdiplus::RectF& box, float radius);

enum class ButtonKind { Primary, Secondary, Disabled };
void DrawButton(Gdiplus::Graphics& graphics, const Gdiplus::RectF& box, const wchar_t* label, ButtonKind kind,
                bool hovered);

Gdiplus::RectF ToRectF(const RECT& rect);
bool Contains(const RECT& rect, POINT point);

}  // namespace plugin
