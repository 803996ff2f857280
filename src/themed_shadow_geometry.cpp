#include "themed_shadow_geometry.h"

RECT ShadowRect(const RECT& ownerRect, int size) {
    return RECT{ownerRect.left + size, ownerRect.top + size, ownerRect.right + size, ownerRect.bottom + size};
}

RECT ShadowHiddenPart(const RECT& client, int size, int inset) {
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    return RECT{client.left, client.top, client.left + width - (size + inset), client.top + height - (size + inset)};
}
