// The "Recovery" module: the product's recovery panes. The host asks once
// for the phone pane (value 0) and, in builds that have it, a second time
// for the memory-card pane (value 1).
#include <windows.h>

#include <lumarest/plugin.h>

#include "pane_set.h"
#include "plugin_bus.h"
#include "recovery_pane.h"

namespace {

constexpr char kCreateCommand[] = "LIBRECOVERY_COMMAND_CREATE";

plugin::PaneSet panes;  // main thread only

void CreatePane(BASObserveData& record) {
    const auto* block = static_cast<const BASIconPlacement*>(record.data);
    if (!block) return;
    const RECT place{block->left, block->top, block->right, block->bottom};
    const auto medium = record.value == 1 ? recovery::Medium::Card : recovery::Medium::Phone;
    panes.Add(std::make_unique<recovery::RecoveryPane>(medium), record, place, L"LumarestRecoveryPane");
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
