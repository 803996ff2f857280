// The "Toolkit" module: the "Multi Toolbox" pane.
#include <windows.h>

#include <lumarest/plugin.h>

#include "pane_set.h"
#include "plugin_bus.h"
#include "toolkit_pane.h"

namespace {

constexpr char kCreateCommand[] = "LIBTOOLKIT_COMMAND_CREATE";

plugin::PaneSet panes;  // main thread only

void CreatePane(BASObserveData& record) {
    const auto* block = static_cast<const BASPlacement*>(record.data);
    if (!block) return;
    const RECT place{block->left, block->top, block->right, block->bottom};
    panes.Add(std::make_unique<toolkit::ToolkitPane>(), record, place, L"LumarestToolkitPane");
}

void __cdecl Receive(BASObserveData* record) noexcept {
    try {
        if (plugin::Is(record, kCreateCommand)) CreatePane(*record);
        else if (plugin::Is(record, LIBWINDOW_COMMAND_SIZE_CHANGE)) panes.Stretch(*record);
        else if (plugin::Is(record, LIBWINDOW_COMMAND_DPI_CHANGE)) panes.ChangeDpi(*record);
    } catch (...) {
        // Nothing may reach the host; a pane that failed is simply missing.
    }
}

}  // namespace

extern "C" LUMAREST_EXPORT void LUMAREST_CDECL RegisterModule(CommandEndpoint* endpoint) {
    plugin::Attach(endpoint, &Receive);
}
