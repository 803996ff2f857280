// The panes a module made for the host's view: each answers a create
// command and follows the view's size changes. Used on the main thread only,
// where the host sends both commands.
#pragma once

#include <windows.h>

#include <lumarest/plugin.h>

#include <memory>
#include <vector>

#include "plugin_window.h"

namespace plugin {

class PaneSet {
public:
    // Makes pane's window at place inside the record's window (the view) and
    // answers it in record.window; a pane that cannot be made is dropped and
    // the record left as it came.
    void Add(std::unique_ptr<ChildWindow> pane, BASObserveData& record, const RECT& place, const wchar_t* className) {
        if (!pane->Create(static_cast<HWND>(record.window), place, className)) return;
        record.window = pane->Handle();
        panes_.push_back(std::move(pane));
    }

    // "LIBWINDOW_COMMAND_SIZE_CHANGE": each pane keeps its left and top and
    // reaches the view's right and bottom.
    void Stretch(const BASObserveData& record) {
        const auto* size = static_cast<const BASSizeChange*>(record.data);
        if (!size) return;
        for (const auto& pane : panes_) pane->StretchTo(size->width, size->height);
    }

    // "LIBWINDOW_COMMAND_DPI_CHANGE": the panes draw at the new DPI and move
    // their tops to the host's pane row at it; the size change that follows
    // stretches them.
    void ChangeDpi(const BASObserveData& record) {
        const int dpi = static_cast<int>(record.value);
        for (const auto& pane : panes_) {
            pane->SetDpi(dpi);
            if (HWND window = pane->Handle()) {
                RECT place{};
                GetWindowRect(window, &place);
                MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&place), 2);
                SetWindowPos(window, nullptr, place.left, ScaleToDpi(LUMAREST_PANE_TOP, dpi), 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            }
        }
    }

private:
    std::vector<std::unique_ptr<ChildWindow>> panes_;
};

}  // namespace plugin
