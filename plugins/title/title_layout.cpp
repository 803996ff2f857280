#include "title_layout.h"

#include <algorithm>

namespace title {
namespace {

bool Inside(const RECT& rect, POINT point) {
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom;
}

RECT CaptionButton(int width, int fromRight) {
    const int right = width - fromRight * kCaptionButtonWidth;
    return {right - kCaptionButtonWidth, 0, right, kCaptionButtonHeight};
}

}  // namespace

TitleLayout LayOutTitle(int width, int tabCount) {
    TitleLayout layout;
    layout.icon = {20, 28, 52, 60};
    layout.name = {62, 10, kTabsMinLeft - 16, 54};
    layout.version = {62, 56, kTabsMinLeft - 16, 76};
    const int left = std::max(kTabsMinLeft, (width - tabCount * kTabWidth) / 2);
    for (int i = 0; i < tabCount; ++i)
        layout.tabs.push_back({left + i * kTabWidth, 0, left + (i + 1) * kTabWidth, kBandHeight});
    layout.close = CaptionButton(width, 0);
    layout.maximize = CaptionButton(width, 1);
    layout.minimize = CaptionButton(width, 2);
    layout.about = CaptionButton(width, 3);
    layout.settings = CaptionButton(width, 4);
    return layout;
}

Hit HitTest(const TitleLayout& layout, POINT point) {
    if (Inside(layout.close, point)) return {Part::Close};
    if (Inside(layout.maximize, point)) return {Part::Maximize};
    if (Inside(layout.minimize, point)) return {Part::Minimize};
    if (Inside(layout.about, point)) return {Part::About};
    if (Inside(layout.settings, point)) return {Part::Settings};
    for (size_t i = 0; i < layout.tabs.size(); ++i)
        if (Inside(layout.tabs[i], point)) return {Part::Tab, static_cast<int>(i)};
    return {};
}

}  // namespace title
