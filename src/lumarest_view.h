// The main frame's one child window, filled by the plug-ins' windows and the
// host's long-lived dialogs. It tells the plug-ins every size change.
#pragma once

#include <windows.h>

#include "gdi_owners.h"
#include "window_base.h"

class CLumarestView : public WindowBase {
public:
    BEGIN_MSG_MAP(CLumarestView)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        CHAIN_MSG_MAP(WindowBase)
    END_MSG_MAP()

protected:
    WindowClassInfo GetWindowClassInfo() const override;

private:
    LRESULT OnCreate(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnSize(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

    UniquePen pen_;  // one pixel, the border grey
};
