// What the platform commands act on, handed to them by the host object: the
// main frame's windows, the maximise state and the shared dialogs. Commands
// never find windows by searching for them.
#pragma once

#include <windows.h>

#include <atomic>

#include "services/maximize_toggle.h"
#include "shared_dialogs.h"

class PlatformContext {
public:
    // Null before the frame exists and after it is gone.
    virtual HWND FrameWindow() const = 0;
    virtual HWND ViewWindow() const = 0;
    // Kept for the process; only the maximise command changes it.
    virtual MaximizeState& Maximize() = 0;
    // The shared dialogs that commands drive; their windows are made at
    // first use, and never in hosts without a view to parent them (tests).
    virtual SharedDialogs& Dialogs() = 0;
    // Plug-in requests for modal dialogs now waiting for or showing one, from
    // every thread: each nests a message loop on the main thread, so their
    // number is bounded.
    std::atomic<int>& ModalRequests() { return modalRequests_; }

protected:
    ~PlatformContext() = default;

private:
    std::atomic<int> modalRequests_{0};
};
