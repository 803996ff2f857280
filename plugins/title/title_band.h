// The title band across the top of the host's view: the application's icon,
// name and version, one tab per section of the product, the settings and
// about buttons, and the caption buttons of the borderless main window.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "plugin_window.h"
#include "title_layout.h"

namespace title {

// One section as the band keeps it; the host's pane list lives only during
// the create command.
struct Tab {
    std::wstring name;
    HWND pane = nullptr;
    Gdiplus::Bitmap* picture = nullptr;  // the host's, kept for the process
};

struct BandContent {
    HICON icon = nullptr;  // the host's
    std::wstring productName;
    std::wstring version;
    std::vector<Tab> tabs;
};

class TitleBand : public plugin::ChildWindow {
public:
    explicit TitleBand(BandContent content) : content_(std::move(content)) {}

    // Shows the pane of tab index and hides the other panes.
    void Select(int index);

protected:
    void Paint(Gdiplus::Graphics& graphics, int width, int height) override;
    void Press(POINT point) override;
    void DoubleClick(POINT point) override;
    void Hover(POINT point) override;

private:
    TitleLayout Layout() const;
    void PaintTab(Gdiplus::Graphics& graphics, const Tab& tab, const RECT& box, bool selected, bool hot) const;
    void PaintCaptionButtons(Gdiplus::Graphics& graphics, const TitleLayout& layout) const;
    HWND TopLevel() const;

    BandContent content_;
    int selected_ = -1;
    Hit hot_;
};

}  // namespace title
