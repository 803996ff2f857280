// The "Multi Toolbox" pane: a grid of tools. Those that work on a handset
// wait for one; the others open a guide or one of the host's dialogs.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "plugin_window.h"

namespace toolkit {

constexpr int kTileWidth = 200;
constexpr int kTileHeight = 112;
constexpr int kTileGap = 20;
constexpr int kGridLeft = 40;
constexpr int kGridTop = 120;

// The tiles' places for a pane width pixels wide: as many columns as fit
// (at least one), rows from kGridTop down.
std::vector<RECT> LayOutTiles(int width, int count);

class ToolkitPane : public plugin::ChildWindow {
protected:
    void Paint(Gdiplus::Graphics& graphics, int width, int height) override;
    void Press(POINT point) override;
    void Hover(POINT point) override;

private:
    int TileAt(POINT point) const;
    std::vector<RECT> Tiles() const;

    int hot_ = -1;
    std::wstring status_;
};

}  // namespace toolkit
