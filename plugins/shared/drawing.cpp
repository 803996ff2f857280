#include "drawing.h"

namespace plugin {
namespace {

void AddRoundRect(Gdiplus::GraphicsPath& path, const Gdiplus::RectF& box, float radius) {
    const float d = radius * 2;
    path.AddArc(box.X, box.Y, d, d, 180, 90);
    path.AddArc(box.X + box.Width - d, box.Y, d, d, 270, 90);
    path.AddArc(box.X + box.Width - d, box.Y + box.Height - d, d, d, 0, 90);
    path.AddArc(box.X, box.Y + box.Height - d, d, d, 90, 90);
    path.CloseFigure();
}

}  // namespace

Gdiplus::Color Rgb(uint32_t rgb, BYTE alpha) {
    return Gdiplus::Color(alpha, static_cast<BYTE>(rgb >> 16), static_cast<BYTE>(rgb >> 8), static_cast<BYTE>(rgb));
}

void DrawText(Gdiplus::Graphics& graphics, const wchar_t* text, const Gdiplus::RectF& box, const TextStyle& style) {
    Gdiplus::FontFamily family(L"Arial");
    Gdiplus::Font font(&family, style.size, style.bold ? Gdiplus::FontStyleBold : Gdiplus::FontStyleRegular,
                       Gdiplus::UnitPixel);
    Gdiplus::StringFormat format;
    format.SetAlignment(style.horizontal);
    format.SetLineAlignment(style.vertical);
    if (!style.wrap) {
        format.SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap);
        format.SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);
    }
    Gdiplus::SolidBrush brush(Rgb(style.color));
    graphics.DrawString(text, -1, &font, box, &format, &brush);
}

void FillRoundRect(Gdiplus::Graphics& graphics, const Gdiplus::Brush& brush, const Gdiplus::RectF& box, float radius) {
    Gdiplus::GraphicsPath path;
    AddRoundRect(path, box, radius);
    graphics.FillPath(&brush, &path);
}

void DrawRoundRect(Gdiplus::Graphics& graphics, const Gdiplus::Pen& pen, const Gdiplus::RectF& box, float radius) {
    Gdiplus::GraphicsPath path;
    AddRoundRect(path, box, radius);
    graphics.DrawPath(&pen, &path);
}

void DrawButton(Gdiplus::Graphics& graphics, const Gdiplus::RectF& box, const wchar_t* label, ButtonKind kind,
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

Gdiplus::RectF ToRectF(const RECT& rect) {
    return Gdiplus::RectF(static_cast<float>(rect.left), static_cast<float>(rect.top),
                          static_cast<float>(rect.right - rect.left), static_cast<float>(rect.bottom - rect.top));
}

bool Contains(const RECT& rect, POINT point) {
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom;
}

}  // namespace plugin
