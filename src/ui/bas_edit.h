// An edit control that the dialogs subclass (the update list's notes box):
// it passes every message on to the edit control, and gives the dialogs one
// way to make it.
#pragma once

#include <windows.h>

#include "subclass.h"

class BASEdit : public SubclassedWindow {
public:
    static constexpr DWORD kDefaultStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

    // An "EDIT" child of parent at rect with style (kDefaultStyle when 0).
    bool Create(HWND parent, const RECT& rect, int controlId, DWORD style = 0) {
        HWND edit = CreateWindowExW(0, L"EDIT", L"", style ? style : kDefaultStyle, rect.left, rect.top,
                                    rect.right - rect.left, rect.bottom - rect.top, parent,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), nullptr, nullptr);
        return edit && Attach(edit);
    }
};
