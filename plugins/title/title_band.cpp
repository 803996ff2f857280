#include "title_band.h"

#include <cmath>

#include "drawing.h"
#include "plugin_bus.h"

namespace title {
namespace {

using plugin::Rgb;
using plugin::ToRectF;

constexpr uint32_t kVersionText = 0xCFE0F5;
constexpr uint32_t kCloseHot = 0xE81123;
constexpr int kPictureSize = 48;

// The icon goes through GDI, which the drawing's scale does not reach: its
// box is scaled here.
void PaintIcon(Gdiplus::Graphics& graphics, HICON icon, const RECT& box, int dpi) {
    if (!icon) return;
    HDC dc = graphics.GetHDC();
    const int left = plugin::ScaleToDpi(box.left, dpi), top = plugin::ScaleToDpi(box.top, dpi);
    DrawIconEx(dc, left, top, icon, plugin::ScaleToDpi(box.right, dpi) - left,
               plugin::ScaleToDpi(box.bottom, dpi) - top, 0, nullptr, DI_NORMAL);
    graphics.ReleaseHDC(dc);
}

// The glyph of a caption button, in white lines centred in box.
void PaintGlyph(Gdiplus::Graphics& graphics, Part part, const RECT& box) {
    Gdiplus::Pen pen(Rgb(0xFFFFFF), 1.3f);
    const float cx = (box.left + box.right) / 2.0f, cy = (box.top + box.bottom) / 2.0f, r = 5.0f;
    switch (part) {
    case Part::Minimize: graphics.DrawLine(&pen, cx - r, cy, cx + r, cy); break;
    case Part::Maximize: graphics.DrawRectangle(&pen, cx - r, cy - r, 2 * r, 2 * r); break;
    case Part::Close:
        graphics.DrawLine(&pen, cx - r, cy - r, cx + r, cy + r);
        graphics.DrawLine(&pen, cx - r, cy + r, cx + r, cy - r);
        break;
    case Part::Settings:  // a wheel with eight teeth
        graphics.DrawEllipse(&pen, cx - 3.5f, cy - 3.5f, 7.0f, 7.0f);
        for (int i = 0; i < 8; ++i) {
            const float angle = i * 3.14159265f / 4;
            const float dx = std::cos(angle), dy = std::sin(angle);
            graphics.DrawLine(&pen, cx + 3.5f * dx, cy + 3.5f * dy, cx + 6.5f * dx, cy + 6.5f * dy);
        }
        break;
    case Part::About: {  // an "i" in a ring
        graphics.DrawEllipse(&pen, cx - 6.5f, cy - 6.5f, 13.0f, 13.0f);
        Gdiplus::SolidBrush dot(Rgb(0xFFFFFF));
        graphics.FillEllipse(&dot, cx - 1.0f, cy - 4.0f, 2.0f, 2.0f);
        graphics.DrawLine(&pen, cx, cy - 0.5f, cx, cy + 4.0f);
        break;
    }
    default: break;
    }
}

}  // namespace

void TitleBand::Select(int index) {
    if (index < 0 || index >= static_cast<int>(content_.tabs.size())) return;
    selected_ = index;
    const HWND view = GetParent(Handle());
    for (int i = 0; i < static_cast<int>(content_.tabs.size()); ++i) {
        const HWND pane = content_.tabs[i].pane;
        // A module that made no window of its own is listed with the view,
        // which must never be hidden.
        if (pane && pane != view) ShowWindow(pane, i == index ? SW_SHOW : SW_HIDE);
    }
    Redraw();
}

TitleLayout TitleBand::Layout() const {
    return LayOutTitle(LogicalClient().right, static_cast<int>(content_.tabs.size()));
}

HWND TitleBand::TopLevel() const { return GetAncestor(Handle(), GA_ROOT); }

void TitleBand::Paint(Gdiplus::Graphics& graphics, int width, int height) {
    Gdiplus::LinearGradientBrush background(Gdiplus::Point(0, 0), Gdiplus::Point(0, height > 0 ? height : 1),
                                            Rgb(plugin::palette::kTitleBand), Rgb(plugin::palette::kTitleBandDeep));
    graphics.FillRectangle(&background, 0, 0, width, height);

    const TitleLayout layout = Layout();
    PaintIcon(graphics, content_.icon, layout.icon, Dpi());
    plugin::DrawText(graphics, content_.productName.c_str(), ToRectF(layout.name),
                     {.size = 15.0f, .bold = true, .color = 0xFFFFFF, .vertical = Gdiplus::StringAlignmentFar});
    const std::wstring version = L"Version " + content_.version;
    plugin::DrawText(graphics, version.c_str(), ToRectF(layout.version),
                     {.size = 12.0f, .color = kVersionText, .wrap = false});
    for (size_t i = 0; i < content_.tabs.size(); ++i) {
        const bool hot = hot_.part == Part::Tab && hot_.tab == static_cast<int>(i);
        PaintTab(graphics, content_.tabs[i], layout.tabs[i], static_cast<int>(i) == selected_, hot);
    }
    PaintCaptionButtons(graphics, layout);
}

void TitleBand::PaintTab(Gdiplus::Graphics& graphics, const Tab& tab, const RECT& box, bool selected, bool hot) const {
    const Gdiplus::RectF area = ToRectF(box);
    if (selected) {
        Gdiplus::SolidBrush fill(Rgb(plugin::palette::kAccent));
        graphics.FillRectangle(&fill, area);
        Gdiplus::SolidBrush bar(Rgb(0xFFFFFF));
        graphics.FillRectangle(&bar, area.X, area.GetBottom() - 3, area.Width, 3.0f);
    } else if (hot) {
        Gdiplus::SolidBrush fill(Rgb(0xFFFFFF, 28));
        graphics.FillRectangle(&fill, area);
    }
    // A picture that did not load is an object in an error state: skip it.
    if (tab.picture && tab.picture->GetLastStatus() == Gdiplus::Ok) {
        const int x = (box.left + box.right - kPictureSize) / 2;
        graphics.DrawImage(tab.picture, x, box.top + 8, kPictureSize, kPictureSize);
    }
    const Gdiplus::RectF label(area.X + 4, area.Y + 60, area.Width - 8, 22);
    plugin::DrawText(graphics, tab.name.c_str(), label,
                     {.size = 12.0f,
                      .bold = selected,
                      .color = 0xFFFFFF,
                      .horizontal = Gdiplus::StringAlignmentCenter,
                      .wrap = false});
}

void TitleBand::PaintCaptionButtons(Gdiplus::Graphics& graphics, const TitleLayout& layout) const {
    const std::pair<Part, RECT> buttons[] = {{Part::Settings, layout.settings},
                                             {Part::About, layout.about},
                                             {Part::Minimize, layout.minimize},
                                             {Part::Maximize, layout.maximize},
                                             {Part::Close, layout.close}};
    for (const auto& [part, box] : buttons) {
        if (hot_.part == part) {
            Gdiplus::SolidBrush fill(part == Part::Close ? Rgb(kCloseHot) : Rgb(0xFFFFFF, 40));
            graphics.FillRectangle(&fill, ToRectF(box));
        }
        PaintGlyph(graphics, part, box);
    }
}

void TitleBand::Press(POINT point) {
    const Hit hit = HitTest(Layout(), point);
    switch (hit.part) {
    case Part::Tab: Select(hit.tab); break;
    // The host runs both dialogs modally on this thread; the send returns
    // when they are closed.
    case Part::Settings: plugin::SendPlain(LIBPLATFORM_COMMAND_OPEN_SETTING); break;
    case Part::About: plugin::SendPlain(LIBPLATFORM_COMMAND_OPEN_ABOUT); break;
    case Part::Minimize: ShowWindow(TopLevel(), SW_MINIMIZE); break;
    case Part::Maximize: plugin::SendPlain(LIBPLATFORM_COMMAND_PRESS_MAX_OR_RESET); break;
    case Part::Close: PostMessageW(TopLevel(), WM_CLOSE, 0, 0); break;
    case Part::None:
        // The band is the borderless window's caption: a press elsewhere drags it.
        ReleaseCapture();
        SendMessageW(TopLevel(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
        break;
    }
}

void TitleBand::DoubleClick(POINT point) {
    if (HitTest(Layout(), point).part == Part::None) plugin::SendPlain(LIBPLATFORM_COMMAND_PRESS_MAX_OR_RESET);
}

void TitleBand::Hover(POINT point) {
    const Hit hit = point.x < 0 ? Hit{} : HitTest(Layout(), point);
    if (hit == hot_) return;
    hot_ = hit;
    Redraw();
}

}  // namespace title
