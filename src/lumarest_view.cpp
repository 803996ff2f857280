#include "lumarest_view.h"

#include <lumarest/plugin.h>

#include "common/command_bus.h"
#include "shared_dialogs.h"

WindowClassInfo CLumarestView::GetWindowClassInfo() const {
    return {.name = L"LumarestView", .style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS};
}

LRESULT CLumarestView::OnCreate(UINT, WPARAM, LPARAM, bool&) {
    pen_.reset(CreatePen(PS_SOLID, 1, RGB(200, 200, 200)));
    return 0;
}

// Plug-ins lay their panes out again from the new size; the sheet follows
// the view's width.
LRESULT CLumarestView::OnSize(UINT, WPARAM, LPARAM lParam, bool&) {
    BASSizeChange size{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    BASObserveData record{};
    record.command = LIBWINDOW_COMMAND_SIZE_CHANGE;
    record.window = Handle();
    record.data = &size;
    HostSend(&record);
    InvalidateRect(Handle(), nullptr, TRUE);
    if (SharedDialog* sheet = FindSharedDialog(kSheetDialog)) sheet->Realign();
    return 0;
}
