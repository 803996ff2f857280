// Runs the real Lumarest.exe from a test: a chosen installation folder,
// plug-ins folder, temporary folder and command line; waits for its main
// window and its exit; reads its log.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "UniqueResource.h"

class HostProcess {
public:
    struct Options {
        std::wstring exePath;       // default: Lumarest.exe beside the test binary's build tree (LUMAREST_EXE)
        std::wstring installDir;    // LUMAREST_INSTALL_DIR for the host; empty: the exe's folder
        std::wstring pluginsDir;    // LUMAREST_PLUGINS_DIR for the host; empty: installDir\Plugins
        std::wstring tempDir;       // TMP and TEMP for the host; empty: inherited
        std::wstring arguments;     // the command line after the program name
        std::vector<std::pair<std::wstring, std::wstring>> environment;  // extra variables
    };

    explicit HostProcess(Options options);
    ~HostProcess();  // ends a process that is still running
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    bool Start();
    // The host's visible top-level window, or null after the timeout. It is
    // looked for every pollMs milliseconds.
    HWND WaitForMainWindow(DWORD timeoutMs, DWORD pollMs = 100);
    // Posts WM_CLOSE to the main window (the user's close path).
    bool RequestClose();
    // The exit code, or STILL_ACTIVE after the timeout.
    DWORD WaitForExit(DWORD timeoutMs);
    DWORD ProcessId() const { return processId_; }
    const Options& options() const { return options_; }

    // The full text of every glog INFO file below the day's log folder of
    // the temporary folder used by the host.
    std::string ReadLogs() const;
    std::wstring LogFolder() const;

    // Lumarest.exe's path from LUMAREST_EXE, set by ctest.
    static std::wstring DefaultExePath();

private:
    Options options_;
    UniqueHandle process_;
    DWORD processId_ = 0;
};
