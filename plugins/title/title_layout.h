// Where the title band puts its parts for a given width, and which part a
// point falls on. Plain arithmetic, so that it can be checked without
// windows.
#pragma once

#include <windows.h>

#include <vector>

#include <lumarest/plugin.h>

namespace title {

// The band's height is the host's: the title block's bottom.
constexpr int kBandHeight = LUMAREST_TITLE_BAND_BOTTOM;
constexpr int kTabWidth = 120;
constexpr int kTabsMinLeft = 360;  // right of the product's name and version
constexpr int kCaptionButtonWidth = 40;
constexpr int kCaptionButtonHeight = 30;

enum class Part { None, Tab, Settings, About, Minimize, Maximize, Close };

struct Hit {
    Part part = Part::None;
    int tab = -1;  // the tab's index when part is Tab
    bool operator==(const Hit&) const = default;
};

struct TitleLayout {
    RECT icon{};
    RECT name{};
    RECT version{};
    std::vector<RECT> tabs;
    RECT settings{};  // opens the host's settings dialog
    RECT about{};     // opens the host's about dialog
    RECT minimize{};
    RECT maximize{};
    RECT close{};
};

// The parts for a band width pixels wide with tabCount tabs: the icon and
// the product's name at the left, the tabs centred in what is left (never
// left of kTabsMinLeft), the caption buttons in the top right corner with
// the settings and about buttons left of them.
TitleLayout LayOutTitle(int width, int tabCount);

// The buttons of the top right corner win over a tab they overlap on a
// narrow band.
Hit HitTest(const TitleLayout& layout, POINT point);

}  // namespace title
