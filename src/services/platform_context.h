// What the platform commands act on, handed to them by the host object: the
// main frame's windows, the maximise state and the shared dialogs. Commands
// never find windows by searching for them.
#pragma once

#include <windows.h>

#include <atomic>

#include "services/maximize_toggle.h"
#include "shared_dialogs.h"

class UiProgressDialog;
class UiSheetDialog;
class UiUpdateDownloadDialog;
class UiUpdateListDialog;

class PlatformContext {
public:
    // Null before the frame exists and after it is gone.
    virtual HWND FrameWindow() const = 0;
    virtual HWND ViewWindow() const = 0;
    // Kept for the process; only the maximise command changes it.
    virtual MaximizeState& Maximize() = 0;
    virtual SharedDialogs& Dialogs() = 0;
    // The shared dialogs that commands drive; null until the frame made them.
    virtual UiProgressDialog* ProgressDialog() = 0;
    virtual UiSheetDialog* Sheet() = 0;
    // Null also in hosts without update dialogs (tests, benchmarks).
    virtual UiUpdateDownloadDialog* DownloadDialog() { return nullptr; }
    virtual UiUpdateListDialog* UpdateList() { return nullptr; }
    // Plug-in requests for modal dialogs now waiting for or showing one, from
    // every thread: each nests a message loop on the main thread, so their
    // number is bounded.
    std::atomic<int>& ModalRequests() { return modalRequests_; }

protected:
    ~PlatformContext() = default;

private:
    std::atomic<int> modalRequests_{0};
};
