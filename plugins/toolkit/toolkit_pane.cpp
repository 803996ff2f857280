#include "toolkit_pane.h"

#include <algorithm>
#include <iterator>

#include "drawing.h"
#include "plugin_bus.h"

namespace toolkit {
namespace {

using plugin::Rgb;
using plugin::ToRectF;
namespace palette = plugin::palette;

// What a tile does when pressed: wait for a handset, open a guide from the
// host's URL table, or send the host a command.
struct Tool {
    const wchar_t* name;
    const wchar_t* description;
    uint32_t color;
    const char* urlKey;   // non-null: open this URL of the host
    const char* command;  // non-null: send this command to the host
};

const Tool kTools[] = {
    {L"Backup", L"Copy messages and contacts to this computer.", 0x2F8CF0, nullptr, nullptr},
    {L"Restore", L"Put a backup back on the phone.", 0x27AE60, nullptr, nullptr},
    {L"Transfer", L"Move data from one phone to another.", 0x8E44AD, nullptr, nullptr},
    {L"USB Driver", L"Install the driver your phone needs.", 0xE8912D, "url:driver", nullptr},
    {L"Root Guide", L"Learn how to grant root access.", 0xD35400, "url:root", nullptr},
    {L"Updates", L"See whether a newer version is out.", 0x16A085, nullptr, LIBPLATFORM_COMMAND_CHECK_FOR_UPDATE},
    {L"Settings", L"Language and program options.", 0x7D8794, nullptr, LIBPLATFORM_COMMAND_OPEN_SETTING},
    {L"About", L"Version and license information.", 0x1F5FAE, nullptr, LIBPLATFORM_COMMAND_OPEN_ABOUT},
};
constexpr int kToolCount = static_cast<int>(std::size(kTools));
constexpr int kAlertWidth = 400;  // client width of the host's alert

bool NeedsDevice(const Tool& tool) { return !tool.urlKey && !tool.command; }

void PaintTile(Gdiplus::Graphics& graphics, const Tool& tool, const RECT& box, bool hot) {
    const Gdiplus::RectF area = ToRectF(box);
    Gdiplus::SolidBrush fill(Rgb(hot ? 0xF7FAFE : palette::kPaneBackground));
    plugin::FillRoundRect(graphics, fill, area, 8);
    Gdiplus::Pen border(Rgb(hot ? palette::kAccent : palette::kBorder), 1);
    plugin::DrawRoundRect(graphics, border, area, 8);

    const Gdiplus::RectF badge(area.X + 16, area.Y + 16, 36, 36);
    Gdiplus::SolidBrush badgeFill(Rgb(tool.color));
    graphics.FillEllipse(&badgeFill, badge);
    const wchar_t initial[2] = {tool.name[0], L'\0'};
    plugin::DrawText(graphics, initial, badge,
                     {.size = 16.0f,
                      .bold = true,
                      .color = 0xFFFFFF,
                      .horizontal = Gdiplus::StringAlignmentCenter,
                      .vertical = Gdiplus::StringAlignmentCenter,
                      .wrap = false});
    plugin::DrawText(graphics, tool.name,
                     {badge.GetRight() + 12, area.Y + 24, area.GetRight() - badge.GetRight() - 20, 22},
                     {.size = 15.0f, .bold = true, .color = palette::kHeading, .wrap = false});
    plugin::DrawText(graphics, tool.description, {area.X + 16, area.Y + 60, area.Width - 32, 30}, {.size = 12.0f});
    if (NeedsDevice(tool))
        plugin::DrawText(graphics, L"Needs a device", {area.X + 16, area.GetBottom() - 18, area.Width - 32, 14},
                         {.size = 11.0f, .color = palette::kMutedText, .wrap = false});
}

}  // namespace

std::vector<RECT> LayOutTiles(int width, int count) {
    const int columns = std::max(1, (width - 2 * kGridLeft + kTileGap) / (kTileWidth + kTileGap));
    std::vector<RECT> tiles;
    for (int i = 0; i < count; ++i) {
        const int left = kGridLeft + (i % columns) * (kTileWidth + kTileGap);
        const int top = kGridTop + (i / columns) * (kTileHeight + kTileGap);
        tiles.push_back({left, top, left + kTileWidth, top + kTileHeight});
    }
    return tiles;
}

std::vector<RECT> ToolkitPane::Tiles() const { return LayOutTiles(LogicalClient().right, kToolCount); }

int ToolkitPane::TileAt(POINT point) const {
    const std::vector<RECT> tiles = Tiles();
    for (int i = 0; i < kToolCount; ++i)
        if (plugin::Contains(tiles[i], point)) return i;
    return -1;
}

void ToolkitPane::Paint(Gdiplus::Graphics& graphics, int width, int height) {
    graphics.Clear(Rgb(palette::kPaneBackground));
    const float textWidth = static_cast<float>(std::max(width - 2 * kGridLeft, 200));
    plugin::DrawText(graphics, L"Multi Toolbox", {static_cast<float>(kGridLeft), 36, textWidth, 34},
                     {.size = 22.0f, .bold = true, .color = palette::kHeading, .wrap = false});
    plugin::DrawText(graphics,
                     L"Everyday tools for your Android phone. Connect a device to use the tools that work on it.",
                     {static_cast<float>(kGridLeft), 74, textWidth, 40}, {.size = 14.0f});
    const std::vector<RECT> tiles = Tiles();
    for (int i = 0; i < kToolCount; ++i) PaintTile(graphics, kTools[i], tiles[i], i == hot_);
    if (!status_.empty()) {
        const float top = static_cast<float>(tiles.back().bottom + 16);
        plugin::DrawText(graphics, status_.c_str(), {static_cast<float>(kGridLeft), top, textWidth, 24},
                         {.color = palette::kWarning, .wrap = false});
    }
}

void ToolkitPane::Press(POINT point) {
    const int index = TileAt(point);
    if (index < 0) return;
    const Tool& tool = kTools[index];
    if (tool.urlKey) {
        plugin::OpenHostUrl(tool.urlKey);
    } else if (tool.command) {
        plugin::SendPlain(tool.command);  // dialogs run modally inside this send
    } else {
        // Said on the pane and, so that it is not missed, in the host's alert.
        status_ = L"Connect a device to use " + std::wstring(tool.name) + L".";
        Redraw();
        plugin::ShowAlert(status_, kAlertWidth);
    }
}

void ToolkitPane::Hover(POINT point) {
    const int hot = point.x < 0 ? -1 : TileAt(point);
    if (hot == hot_) return;
    hot_ = hot;
    Redraw();
}

}  // namespace toolkit
