// Runs the real Lumarest.exe from a test. The program finds its installation
// and plug-ins only beside itself, so each run gets an installation folder of
// its own: a copy of the program, what the test wants of the build's
// installation (Option.json, I18n, Resources) and a copy of the test's
// plug-ins folder as "Plugins". Waits for its main window and its exit;
// reads its log.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "UniqueResource.h"
#include "test_files.h"

// A child window's rectangle in its parent's client coordinates.
inline RECT ChildRect(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Visible top-level windows of process (0: of every process) with class name.
std::vector<HWND> TopLevels(DWORD process, const wchar_t* className);

// Starts program with arguments (quoted program name) without waiting; null
// when it could not be started. With output, its standard output goes to a
// pipe whose read end is put there.
UniqueHandle StartProgram(const std::wstring& program, const std::wstring& arguments, UniqueHandle* output = nullptr,
                          DWORD* processId = nullptr);
// Runs program to its end and gives its exit code: ~0 when it could not be
// started, STILL_ACTIVE for one that hung past the timeout and was ended.
// With output, collects its standard output there.
DWORD RunToEnd(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs = 120000,
               std::string* output = nullptr);

class HostProcess {
public:
    struct Options {
        std::wstring exePath;      // the program copied in; default: the build's Lumarest.exe (LUMAREST_EXE)
        bool inPlace = false;      // run exePath where it lies: its folder, made by the setup, is the installation
        std::wstring installFrom;  // copy its Option.json, I18n and Resources; default: the program's folder
        std::wstring pluginsFrom;  // copied in as "Plugins"; empty: no plug-ins
        std::wstring tempDir;      // TMP and TEMP for the host; empty: inherited
        std::wstring arguments;    // the command line after the program name
        std::vector<std::pair<std::wstring, std::wstring>> environment;  // extra variables
    };

    explicit HostProcess(Options options);
    ~HostProcess();  // ends a process that is still running
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    // Builds the run's installation folder; Start does it when it was not done.
    void Install();
    bool Start();
    // The host's visible top-level window, or null after the timeout. It is
    // looked for every pollMs milliseconds.
    HWND WaitForMainWindow(DWORD timeoutMs, DWORD pollMs = 100);
    // Posts WM_CLOSE to the main window (the user's close path).
    bool RequestClose();
    // The exit code, or STILL_ACTIVE after the timeout.
    DWORD WaitForExit(DWORD timeoutMs);
    DWORD ProcessId() const { return processId_; }
    // The run's installation folder, without a trailing backslash.
    const std::wstring& InstallDir() const { return installDir_; }

    // The full text of every glog INFO file below the day's log folder of
    // the temporary folder used by the host.
    std::string ReadLogs() const;
    std::wstring LogFolder() const;

    // Lumarest.exe's path from LUMAREST_EXE, set by ctest.
    static std::wstring DefaultExePath();

private:
    Options options_;
    TempFolder install_;  // outlives the process, which the destructor ends first
    std::wstring installDir_;
    UniqueHandle process_;
    DWORD processId_ = 0;
    bool installed_ = false;
};
