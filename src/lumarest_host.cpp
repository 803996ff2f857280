#include "lumarest_host.h"

#include <commctrl.h>

#include <future>

#include <lumarest/plugin.h>

#include "BASDbgReport.h"
#include "BASUserDefaults.h"
#include "app_lifecycle.h"
#include "common/command_bus.h"
#include "crash_report.h"
#include "common/logging.h"
#include "common/main_thread_calls.h"
#include "common/plugin_util.h"
#include "I18n.h"
#include "TextFormat.h"
#include "Utf8.h"
#include "host_state.h"
#include "safe_start.h"
#include "ui/ui_alert_dialog.h"
#include "services/platform_command_handler.h"
#include "services/product_catalog.h"
#include "settings_catalog.h"
#include "system_info.h"
#include "windowing_module.h"

namespace {

constexpr int kSafeStartWidth = 440;
// Long enough for a dump, its zip and the notice's answer; a report that takes
// longer is cut short rather than keeping a closed program alive.
constexpr DWORD kReportWaitMs = 60000;
// How long the close waits for the bus trace's last lines.
constexpr DWORD kBusTraceCloseMs = 5000;

}  // namespace

int LumarestHost::Run(const wchar_t* commandLine, int showCommand) {
    trace_.Record("process start to entry", MsSinceProcessCreation());
    const std::wstring mutexName = InstanceMutexName();
    if (SingleInstance::AnotherIsRunning(mutexName)) return 0;
    std::optional<SingleInstance> instance(std::in_place, mutexName);
    if (instance->AnotherWasFirst()) return 0;
    trace_.Mark("single instance");

    std::optional<CommandLineArgs> args(std::in_place, commandLine);
    traceEveryStep_ = args->StartupTraceAsked();
    InitSettings(*args);
    trace_.Mark("settings and catalog");

    Host().logFolder = CreateTodaysLogFolder();
    std::optional<LogGuard> log(std::in_place, Host().logFolder);
    LOG(INFO) << "SysInfoStr: " << SystemInfoJson(CollectSystemInfo());
    LOG(INFO) << "Host configuration: " << (Host().hostConfigPath.empty() ? "(none)" : ToUtf8(Host().hostConfigPath));
    StartBusTrace(args->BusTraceAsked() || BusTraceInCatalog());
    trace_.Mark("log");

    int exitCode = 0;
    {
        ProcessServices services;
        trace_.Mark("network, COM and GDI+");
        InitImagesAndLanguage();
        trace_.Mark("pictures and language");
        Host().dumpPath = Host().logFolder + L"\\" + NowFormatted("%Y%m%d%H%M%S") + L".dmp";
        if (!BASDbgReport::RegisterCrashFilter(Host().dumpPath.c_str(), CrashNotice, CrashContent))
            LOG(ERROR) << "The crash reporter's thread could not be started; faults are reported on their own thread";
        trace_.Mark("crash filter");

        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        WindowingModule windowing;

        startMarkerPath_ = StartMarkerPath();
        leaveOut_ = AskForSafeStart();
        trace_.Mark("common controls and safe start");
        exitCode = RunMainFrame(showCommand);
        // The pictures' worker makes GDI+ bitmaps: it ends before GDI+ does.
        WaitForPreloadedImages();
        StopBusTrace();
        ShutDownApplication();
        MarkClosing("settings and log folder");
    }
    Host().exitFlag = true;
    MarkClosing("windowing, GDI+, COM and network");

    instance.reset();
    if (closeTrace_) LOG(INFO) << closeTrace_->Summary();
    log.reset();
    args.reset();
    // A plug-in's thread that faulted while the close ran: its report is
    // finished (and the process ended with the fault's code) before the
    // return would end the process under it.
    BASDbgReport::WaitForReport(kReportWaitMs);
    return exitCode;
}

// Main-thread calls are taken before the plug-ins' libraries load (a
// plug-in's thread may post as soon as it runs) and until the frame is gone;
// what is still queued then is discarded, never run half-way through the
// close. The loop is registered before the frame exists, so that every
// dialog made from here on finds it.
int LumarestHost::RunMainFrame(int showCommand) {
    MainThreadCalls mainThreadCalls;
    ThreadMessageLoop loop;
    if (!StartMainFrame(showCommand)) {
        frame_.reset();
        return 0;
    }
    const int exitCode = loop.Run();
    MarkClosing("windows destroyed and loop ended");
    dialogs_->SetParent(nullptr);  // the view is gone: no dialog is made from here on
    frame_.reset();
    return exitCode;
}

// The order is what the plug-ins see: they load while the frame exists but is
// hidden and has no view, hear the view's first size, are then asked for
// their panes, see the frame shown, and hear about updates last. Only what
// the first paint needs runs before it: the shared dialogs are made when
// first needed. The plug-ins' libraries load on a worker while the frame is
// made, since both mostly wait on the system; the worker touches no window,
// and every "RegisterModule" runs here, on the main thread.
bool LumarestHost::StartMainFrame(int showCommand) {
    StartMarkerWriter marker(startMarkerPath_);
    StartupTrace libraryTrace("Plug-in libraries");
    PluginLoader loader(PluginLoadOptions(marker, libraryTrace));
    auto libraries = std::async(std::launch::async, [&loader] { return loader.PreparePlugins(); });
    frame_.emplace(FrameEvents());
    if (!frame_->CreateHidden()) {
        LOG(ERROR) << "The main window could not be created (error " << GetLastError() << ")";
        return false;
    }
    // Made after the frame, so that the pictures' worker has had that long.
    dialogs_.emplace(FindNamedImage("close-normal.png"), FindNamedImage("close-pressed.png"));
    trace_.Mark("frame");
    std::vector<PreparedModule> prepared = libraries.get();
    trace_.Mark("plug-in libraries awaited");
    loader.RegisterPlugins(std::move(prepared));
    marker.Finish();
    trace_.Mark("plug-in records");
    RegisterPlatformCommands(*this, updateFlow_, deviceServer_);
    trace_.Mark("host commands");
    FillView(*frame_);
    frame_->Show(showCommand);
    trace_.Mark("first paint");
    LOG(INFO) << libraryTrace.Summary();
    LOG(INFO) << trace_.Summary();

    frame_->CreateShadow();
    trace_.Mark("frame shadow");
    if (traceEveryStep_) {
        for (const StartupTrace* trace : {&libraryTrace, &trace_})
            for (const std::string& step : trace->Steps()) LOG(INFO) << step;
    }
    return true;
}

// The safe start's module is left out; the marker names the plug-in whose
// "RegisterModule" runs, so that a start that dies or hangs there leaves it
// for the next start to ask about.
LoadOptions LumarestHost::PluginLoadOptions(StartMarkerWriter& marker, StartupTrace& libraryTrace) {
    LoadOptions options;
    options.leaveOut = leaveOut_;
    options.afterLibraryLoad = [&libraryTrace](const std::wstring& module) {
        libraryTrace.Mark("plug-in load", ToUtf8(module));
    };
    options.beforeEntryCall = [this, &marker](const std::wstring& module) {
        marker.Write({module, false});
        trace_.Mark("safe-start marker", ToUtf8(module));
    };
    options.afterEntryCall = [this](const std::wstring& module) { trace_.Mark("RegisterModule", ToUtf8(module)); };
    return options;
}

void LumarestHost::FillView(CMainFrame& frame) {
    if (!frame.CreateView()) return;
    dialogs_->SetParent(frame.ViewWindow());
    appIcon_ = BuildProductCatalog(frame.ViewWindow(), LoadedModules::Instance());
    frame.ScheduleUpdateCheck();
    trace_.Mark("view and catalog");
}

void LumarestHost::ShutDownApplication() {
    if (BASUserDefaults* store = BASUserDefaults::StandardUserDefaults()) {
        if (!store->WriteAll()) LOG(ERROR) << "Settings could not be written to " << ToUtf8(store->Path());
    }
    RemoveLogFolderIfEmpty(Host().dumpPath);
}

void LumarestHost::StartBusTrace(bool asked) {
    if (!asked) return;
    const std::wstring path = Host().logFolder + L"\\bus-trace." + NowFormatted("%Y%m%d-%H%M%S") + L"." +
                              std::to_wstring(GetCurrentProcessId()) + L".txt";
    busTrace_ = BusTrace::OpenFile(path);
    if (!busTrace_) {
        LOG(ERROR) << "The bus trace could not be opened at " << ToUtf8(path) << " (error " << GetLastError() << ")";
        return;
    }
    AttachBusTrace(busTrace_.get());
    LOG(INFO) << "Bus trace: " << ToUtf8(path);
}

void LumarestHost::StopBusTrace() {
    if (!busTrace_) return;
    AttachBusTrace(nullptr);
    const bool finished = busTrace_->Close(kBusTraceCloseMs);
    LOG(INFO) << "Bus trace closed: " << busTrace_->Written() << " lines written, " << busTrace_->Dropped()
              << " dropped" << (finished ? "" : "; its writer had not finished");
}

MainFrameEvents LumarestHost::FrameEvents() {
    return {
        .closeRequested = [this] { return OnCloseRequested(); },
        .moved = [this](int dx, int dy) { OnFrameMoved(dx, dy); },
        .viewSized = [this](HWND view, int width, int height) { OnViewSized(view, width, height); },
        .dpiChanged = [this](int dpi) { OnDpiChanged(dpi); },
        .updateCheckDue = [this] { OnUpdateCheckDue(); },
    };
}

// The close is put to the plug-ins first; any of them may keep the frame.
bool LumarestHost::OnCloseRequested() {
    closeTrace_.emplace("Closing");
    BASObserveData record{};
    record.command = LIBPLATFORM_COMMAND_CLOSE_ENSURE;
    record.sender = HostInstance();
    SendUntilHandled(&record);
    MarkClosing("plug-ins asked");
    if (record.value == 0) return true;
    LOG(INFO) << "A plug-in kept the main window open";
    return false;
}

void LumarestHost::MarkClosing(const char* phase) {
    if (closeTrace_) closeTrace_->Mark(phase);
}

// The frame's creation places it before the dialogs exist.
void LumarestHost::OnFrameMoved(int dx, int dy) {
    if (dialogs_) dialogs_->FrameMoved(dx, dy);
}

void LumarestHost::OnViewSized(HWND view, int width, int height) {
    BASSizeChange size{width, height};
    BASObserveData record{};
    record.command = LIBWINDOW_COMMAND_SIZE_CHANGE;
    record.window = view;
    record.data = &size;
    HostSend(&record);
    dialogs_->ViewSized();
}

void LumarestHost::OnDpiChanged(int dpi) {
    dialogs_->FollowDpi(dpi);
    BASObserveData record{};
    record.command = LIBWINDOW_COMMAND_DPI_CHANGE;
    record.value = dpi;
    HostSend(&record);
}

void LumarestHost::OnUpdateCheckDue() {
    BASObserveData record{};
    record.command = LIBCOMM_COMMAND_CHECK_FOR_UPDATE;
    HostSend(&record);
}

std::wstring LumarestHost::AskForSafeStart() {
    const std::optional<StartMarker> marker = TakeStartMarker(startMarkerPath_);
    if (!marker) return {};
    const std::wstring question =
        FillInText(wxGetTranslation(L"The plug-in %s stopped the last run. Start without it this time?"),
                   marker->plugin);
    UiAlertDialog confirm(FindNamedImage("close-normal.png"), FindNamedImage("close-pressed.png"),
                          FindNamedImage("alert.png"), true, wxGetTranslation(L"Cancel"), wxGetTranslation(L"OK"));
    confirm.SetContent(nullptr, kSafeStartWidth, 0, question.c_str(), nullptr);
    const bool leaveOut = confirm.DoModal(nullptr) == kConfirmButtonId;
    LOG(INFO) << "Plug-in " << ToUtf8(marker->plugin)
              << (marker->crashed ? " crashed the last run" : " stopped the last start") << "; the user chose to "
              << (leaveOut ? "start without it this time" : "load it");
    return leaveOut ? marker->plugin : std::wstring();
}

HWND LumarestHost::FrameWindow() const { return frame_ ? frame_->Handle() : nullptr; }

HWND LumarestHost::ViewWindow() const { return frame_ ? frame_->ViewWindow() : nullptr; }
