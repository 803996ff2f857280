// The host object as its commands see it, for the tests and benchmarks that
// register the host's commands in their own process: the windows are the
// caller's (none by default, and with no view no dialog is ever made).
#pragma once

#include <windows.h>

#include "services/device_server.h"
#include "services/platform_command_handler.h"
#include "services/platform_context.h"
#include "services/update_flow.h"

struct StubHost : PlatformContext {
    HWND FrameWindow() const override { return frame; }
    HWND ViewWindow() const override { return view; }
    MaximizeState& Maximize() override { return maximize; }
    SharedDialogs& Dialogs() override { return dialogs; }
    HWND frame = nullptr;
    HWND view = nullptr;
    MaximizeState maximize;
    SharedDialogs dialogs{nullptr, nullptr};
    UpdateFlow updates{*this};  // the flows, as the host builds them
    DeviceServer server{*this, updates};
    void RegisterCommands() { RegisterPlatformCommands(*this, updates, server); }
};
