// Lumarest's entry point: the life of the process from start to exit.
#include <windows.h>
#include <commctrl.h>

#include <optional>

#include "BASUserDefaults.h"
#include "app_lifecycle.h"
#include "common/logging.h"
#include "common/main_thread_calls.h"
#include "common/plugin_util.h"
#include "host_state.h"
#include "main_frame.h"
#include "settings_catalog.h"
#include "system_info.h"
#include "windowing_module.h"

namespace {

std::string Utf8(const std::wstring& text) {
    char* utf8 = BASUtilityString::ConvertUnicodeToUtf8(text.c_str());
    std::string out = utf8;
    BASUtilityString::Free(utf8);
    return out;
}

// Creates and shows the main frame and runs the thread's message loop until
// the frame's close ends it; 0 when the frame cannot be made. The loop is
// registered before the frame exists: the frame joins it while it is created.
// Main-thread calls are taken before the plug-ins load and until the loop
// has ended; what is still queued then is discarded unrun.
int Run(int showCommand) {
    MainThreadCalls mainThreadCalls;
    ThreadMessageLoop loop;
    CMainFrame frame;
    if (!frame.Open(showCommand)) {
        LOG(ERROR) << "The main window could not be created (error " << GetLastError() << ")";
        return 0;
    }
    return loop.Run();
}

void ShutDownApplication() {
    if (BASUserDefaults* store = BASUserDefaults::StandardUserDefaults()) {
        if (!store->WriteAll()) LOG(ERROR) << "Settings could not be written to " << Utf8(store->Path());
    }
    RemoveLogFolderIfEmpty(Host().dumpPath);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int showCommand) {
    HardenDllSearchPath();  // before anything loads a DLL by name
    const std::wstring mutexName = InstanceMutexName();
    if (SingleInstance::AnotherIsRunning(mutexName)) return 0;
    std::optional<SingleInstance> instance(std::in_place, mutexName);
    if (instance->AnotherWasFirst()) return 0;

    std::optional<CommandLineArgs> args(std::in_place, commandLine);
    InitSettings(*args);

    Host().logFolder = CreateTodaysLogFolder();
    std::optional<LogGuard> log(std::in_place, Host().logFolder);
    LOG(INFO) << "SysInfoStr: " << SystemInfoJson(CollectSystemInfo());
    LOG(INFO) << "Host configuration: " << (Host().hostConfigPath.empty() ? "(none)" : Utf8(Host().hostConfigPath));

    int exitCode = 0;
    {
        ProcessServices services;
        InitImagesAndLanguage();
        Host().dumpPath = Host().logFolder + L"\\" + NowFormatted("%Y%m%d%H%M%S") + L".dmp";

        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        WindowingModule windowing;

        exitCode = Run(showCommand);
        ShutDownApplication();
    }
    Host().exitFlag = true;

    instance.reset();
    log.reset();
    args.reset();
    return exitCode;
}
