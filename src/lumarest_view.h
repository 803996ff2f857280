// The main frame's one child window, filled by the plug-ins' windows and the
// host's long-lived dialogs. It reports every size change to the application.
#pragma once

#include <windows.h>

#include <utility>

#include "main_frame_events.h"
#include "window_base.h"

class CLumarestView : public WindowBase {
public:
    explicit CLumarestView(ViewSizedEvent sized) : sized_(std::move(sized)) {}

    BEGIN_MSG_MAP(CLumarestView)
    MSG_WM_SIZE(OnSize)
    CHAIN_MSG_MAP(WindowBase)
    END_MSG_MAP()

protected:
    WindowClassInfo GetWindowClassInfo() const override;

private:
    void OnSize(UINT type, SIZE size);

    ViewSizedEvent sized_;
};
