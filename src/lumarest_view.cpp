#include "lumarest_view.h"

WindowClassInfo CLumarestView::GetWindowClassInfo() const {
    return {.name = L"LumarestView", .style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS};
}

// The plug-ins lay their panes out again from the new size; the whole view is
// repainted, since every pane may have moved.
LRESULT CLumarestView::OnSize(UINT, WPARAM, LPARAM lParam, bool&) {
    events_.OnViewSized(Handle(), static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
    InvalidateRect(Handle(), nullptr, TRUE);
    return 0;
}
