// The application: owns the order of start-up and shut-down and what the
// process keeps while it runs (the main frame, the shared dialogs, the
// maximise state, the update and device-server flows, the application icon). The main frame is only a window that
// raises its events here; the platform commands get the windows they act on
// from here.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>

#include "common/bus_trace.h"
#include "common/plugin_util.h"
#include "main_frame.h"
#include "main_frame_events.h"
#include "safe_start.h"
#include "services/device_server.h"
#include "services/platform_context.h"
#include "services/update_flow.h"
#include "shared_dialogs.h"
#include "startup_trace.h"

class LumarestHost final : private PlatformContext {
public:
    LumarestHost() = default;
    LumarestHost(const LumarestHost&) = delete;
    LumarestHost& operator=(const LumarestHost&) = delete;

    // The whole life of the process after the DLL search path is hardened:
    // returns the exit code for wWinMain (0 also when another instance runs).
    int Run(const wchar_t* commandLine, int showCommand);

private:
    // Starts the main frame and runs the thread's message loop until the
    // frame is gone; 0 when the frame cannot be made.
    int RunMainFrame(int showCommand);
    // Creates the frame hidden, loads the plug-ins (each "RegisterModule"
    // with the safe-start marker naming its plug-in on disk), registers the
    // host's commands, builds the view and the catalog, then shows the frame
    // and finishes what its first paint does not need. False without a frame.
    bool StartMainFrame(int showCommand);
    LoadOptions PluginLoadOptions(StartMarkerWriter& marker, StartupTrace& libraryTrace);
    void FillView(CMainFrame& frame);
    void ShutDownApplication();
    // The bus trace, when the switch or the catalog asks for it: a file
    // beside the log, from before the plug-ins load until the run is over.
    void StartBusTrace(bool asked);
    void StopBusTrace();
    // Ends a step of the closing trace, once a close was asked for.
    void MarkClosing(const char* phase);
    // Asks, once, whether to start without the plug-in that stopped the last
    // run; the module folder to leave out, or empty.
    std::wstring AskForSafeStart();

    // What the frame and its view raise.
    MainFrameEvents FrameEvents();
    bool OnCloseRequested();
    void OnFrameMoved(int dx, int dy);
    void OnViewSized(HWND view, int width, int height);
    void OnDpiChanged(int dpi);
    void OnUpdateCheckDue();

    // PlatformContext
    HWND FrameWindow() const override;
    HWND ViewWindow() const override;
    MaximizeState& Maximize() override { return maximize_; }
    SharedDialogs& Dialogs() override { return *dialogs_; }

    std::optional<CMainFrame> frame_;  // while the run lasts
    // Made with the pictures, before the plug-ins load; live until the
    // process ends: plug-in threads may still reach them through commands
    // while the run closes.
    std::optional<SharedDialogs> dialogs_;
    MaximizeState maximize_;
    // The flows that the host's commands drive, with the state they keep
    // between their steps; plug-in threads may reach them until the process ends.
    UpdateFlow updateFlow_{*this};
    DeviceServer deviceServer_{*this, updateFlow_};
    std::wstring startMarkerPath_;
    std::wstring leaveOut_;  // a safe start's module folder, this run only
    // Kept until the host goes, past its close: a plug-in's thread may be in
    // a send that read it just before it was taken off the bus.
    std::unique_ptr<BusTrace> busTrace_;
    StartupTrace trace_;                      // from the host's construction to the first paint and a little after
    std::optional<StartupTrace> closeTrace_;  // from the last close request to the log's end
    bool traceEveryStep_ = false;             // the command line asked for the whole start-up trace
    // Never destroyed: the SDK promises plug-ins the icon for the life of
    // the process, and they may draw with it until the very end.
    HICON appIcon_ = nullptr;
};
