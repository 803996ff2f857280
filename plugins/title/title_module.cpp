// The "Title" module: draws the title band with the product's sections as
// tabs. It is asked last when the host lays out its view, with the pane
// list of the sections made before.
#include <windows.h>

#include <lumarest/plugin.h>

#include <memory>

#include "plugin_bus.h"
#include "title_band.h"

namespace {

constexpr char kCreateCommand[] = "LIBTITLE_COMMAND_CREATE";

// Made once on the main thread by the create command; only the main thread
// touches it afterwards (size changes come from there too).
std::unique_ptr<title::TitleBand> band;
int32_t bandBottom = title::kBandHeight;

// Copies what the band needs of the host's pane list, which lives only
// during the send.
std::vector<title::Tab> CopyTabs(const BASPaneList* list) {
    std::vector<title::Tab> tabs;
    if (!list || !list->entries) return tabs;
    for (uint32_t i = 0; i < list->count; ++i) {
        const BASPaneEntry& entry = list->entries[i];
        tabs.push_back({entry.title ? entry.title : L"", static_cast<HWND>(entry.window),
                        static_cast<Gdiplus::Bitmap*>(entry.image)});
    }
    return tabs;
}

void CreateBand(const BASObserveData& record) {
    const auto* block = static_cast<const BASIconPlacement*>(record.data);
    if (band || !block) return;
    title::BandContent content;
    content.icon = static_cast<HICON>(block->icon);
    content.productName = record.wideText ? record.wideText : L"";
    content.version = record.arg ? plugin::Wide(static_cast<const char*>(record.arg)) : L"";
    content.tabs = CopyTabs(static_cast<const BASPaneList*>(record.object));
    band = std::make_unique<title::TitleBand>(std::move(content));
    bandBottom = block->bottom;
    const RECT place{block->left, block->top, block->right, block->bottom};
    if (!band->Create(static_cast<HWND>(record.window), place, L"LumarestTitleBand")) {
        band.reset();
        return;
    }
    band->Select(0);  // the first section shows, the others wait behind their tabs
}

void __cdecl Receive(BASObserveData* record) noexcept {
    try {
        if (plugin::Is(record, kCreateCommand)) {
            CreateBand(*record);
        } else if (plugin::Is(record, LIBWINDOW_COMMAND_DPI_CHANGE) && band) {
            // The band's height is the host's title row at the new DPI; the
            // size change that follows stretches it to it.
            band->SetDpi(static_cast<int>(record->value));
            bandBottom = plugin::ScaleToDpi(title::kBandHeight, band->Dpi());
        } else if (plugin::Is(record, LIBWINDOW_COMMAND_SIZE_CHANGE) && band && record->data) {
            const auto* size = static_cast<const BASSizeChange*>(record->data);
            band->StretchTo(size->width, bandBottom);  // the band keeps its height
        }
    } catch (...) {
        // Nothing may reach the host; the band simply stays as it was.
    }
}

}  // namespace

extern "C" LUMAREST_EXPORT void LUMAREST_CDECL RegisterModule(CommandEndpoint* endpoint) {
    plugin::Attach(endpoint, &Receive);
}
