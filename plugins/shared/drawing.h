// The modules' common look, header-only: the product's palette, text in
// the host's Arial (or what stands in for it), rounded shapes and flat
// buttons, all drawn with GDI+.
#pragma once

#include <windows.h>

#include <cstdint>

#include "gdiplus_include.h"
#include "plugin_bus.h"

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

struct TextStyle {
    float size = 13.0f;  // pixels
    bool bold = false;
    uint32_t color = palette::kBodyText;
    Gdiplus::StringAlignment horizontal = Gdiplus::StringAlignmentNear;
    Gdiplus::StringAlignment vertical = Gdiplus::StringAlignmentNear;
    bool wrap = true;  // false: one line, cut with an ellipsis
};

enum class ButtonKind { Primary, Secondary, Disabled };

namespace detail {

inline void AddRoundRect(Gdiplus::GraphicsPath& path, const Gdiplus::RectF& box, float radius) {
    const float d = radius * 2;
    path.AddArc(box.X, box.Y, d, d, 180, 90);
    path.AddArc(box.X + box.Width - d, box.Y, d, d, 270, 90);
    path.AddArc(box.X + box.Width - d, box.Y + box.Height - d, d, d, 0, 90);
    path.AddArc(box.X, box.Y + box.Height - d, d, d, 90, 90);
    path.CloseFigure();
}

}  // namespace detail

inline Gdiplus::Color Rgb(uint32_t rgb, BYTE alpha = 255) {
    return Gdiplus::Color(alpha, static_cast<BYTE>(rgb >> 16), static_cast<BYTE>(rgb >> 8), static_cast<BYTE>(rgb));
}

// The host's font of this size (pixels of the pane's 96-DPI drawing) and
// weight, kept by the host; null when the host has none, and then no text is
// drawn rather than text in a font that failed to load.
inline const Gdiplus::Font* HostFont(float size, bool bold) {
    BASFontRequest request{L"Arial", size, bold ? 1 : 0};
    BASObserveData record = NewRecord(LIBPLATFORM_COMMAND_FIND_FONT);
    record.data = &request;
    Send(record);
    return static_cast<const Gdiplus::Font*>(record.object);
}

inline void DrawText(Gdiplus::Graphics& graphics, const wchar_t* text, const Gdiplus::RectF& box,
                     const TextStyle& style) {
    const Gdiplus::Font* font = HostFont(style.size, style.bold);
    if (!font) return;
    Gdiplus::StringFormat format;
    format.SetAlignment(style.horizontal);
    format.SetLineAlignment(style.vertical);
    if (!style.wrap) {
        format.SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap);
        format.SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);
    }
    Gdiplus::SolidBrush brush(Rgb(style.color));
    graphics.DrawString(text, -1, font, box, &format, &brush);
}

inline void FillRoundRect(Gdiplus::Graphics& graphics, const Gdiplus::Brush& brush, const Gdiplus::RectF& box,
                          float radius) {
    Gdiplus::GraphicsPath path;
    detail::AddRoundRect(path, box, radius);
    graphics.FillPath(&brush, &path);
}

inline void DrawRoundRect(Gdiplus::Graphics& graphics, const Gdiplus::Pen& pen, const Gdiplus::RectF& box,
                          float radius) {
    Gdiplus::GraphicsPath path;
    detail::AddRoundRect(path, box, radius);
    graphics.DrawPath(&pen, &path);
}

inline void DrawButton(Gdiplus::Graphics& graphics, const Gdiplus::RectF& box, const wchar_t* label, ButtonKind kind,
                       bool hovered) {
    TextStyle text{.size = 13.0f,
                   .bold = true,
                   .horizontal = Gdiplus::StringAlignmentCenter,
                   .vertical = Gdiplus::StringAlignmentCenter,
                   .wrap = false};
    switch (kind) {
    case ButtonKind::Primary: {
        Gdiplus::SolidBrush fill(Rgb(hovered ? 0x4A9CF3 : palette::kAccent));
        FillRoundRect(graphics, fill, box, 4);
        text.color = 0xFFFFFF;
        break;
    }
    case ButtonKind::Secondary: {
        Gdiplus::SolidBrush fill(Rgb(hovered ? 0xEAF3FE : palette::kPaneBackground));
        FillRoundRect(graphics, fill, box, 4);
        Gdiplus::Pen border(Rgb(palette::kAccent), 1);
        DrawRoundRect(graphics, border, box, 4);
        text.color = palette::kAccent;
        break;
    }
    case ButtonKind::Disabled: {
        Gdiplus::SolidBrush fill(Rgb(palette::kPanel));
        FillRoundRect(graphics, fill, box, 4);
        Gdiplus::Pen border(Rgb(palette::kBorder), 1);
        DrawRoundRect(graphics, border, box, 4);
        text.color = palette::kDisabled;
        break;
    }
    }
    DrawText(graphics, label, box, text);
}

inline Gdiplus::RectF ToRectF(const RECT& rect) {
    return Gdiplus::RectF(static_cast<float>(rect.left), static_cast<float>(rect.top),
                          static_cast<float>(rect.right - rect.left), static_cast<float>(rect.bottom - rect.top));
}

inline bool Contains(const RECT& rect, POINT point) {
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom;
}

}  // namespace plugin
