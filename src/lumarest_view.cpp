#include "lumarest_view.h"

WindowClassInfo CLumarestView::GetWindowClassInfo() const {
    return {.name = L"LumarestView", .style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS};
}

// The plug-ins lay their panes out again from the new size; the whole view is
// repainted, since every pane may have moved.
// The size is announced with signed words, as plug-ins have always read it.
void CLumarestView::OnSize(UINT, SIZE size) {
    sized_(Handle(), static_cast<short>(size.cx), static_cast<short>(size.cy));
    InvalidateRect(Handle(), nullptr, TRUE);
}
