// The pieces of the process's life from entry to exit: the single-instance
// mutex, the command line, the log folder and glog, and the process-wide
// services. Each acquires in its constructor and releases in its destructor;
// wWinMain orders them.
#pragma once

#include <windows.h>

#include <string>

#include "UniqueResource.h"
#include "gdiplus_session.h"

// "Global_" + product title + "_" + version. The plain "Global_" prefix keeps
// the name in the per-logon namespace: one instance per logged-on user.
std::wstring InstanceMutexName();

class SingleInstance {
public:
    // True when another process already holds the mutex called name.
    static bool AnotherIsRunning(const std::wstring& name);
    // Creates the mutex, initially owned. Two starts at the same moment may
    // both find no mutex to open; the one whose create finds it already there
    // counts as the second.
    explicit SingleInstance(const std::wstring& name);
    bool AnotherWasFirst() const { return anotherWasFirst_; }

private:
    UniqueHandle mutex_;
    bool anotherWasFirst_ = false;
};

// The switches: the whole start-up trace, step by step, goes to the log;
// every command on the bus goes to a trace file beside the log.
inline constexpr wchar_t kStartupTraceSwitch[] = L"--startup-trace";
inline constexpr wchar_t kBusTraceSwitch[] = L"--trace-bus";

// The arguments of the command line (the program name excluded), split by
// CommandLineToArgvW's quoting rules. An empty command line has none. The
// switches are taken out wherever they stand, so the host configuration file
// stays the first of the rest.
class CommandLineArgs {
public:
    explicit CommandLineArgs(const wchar_t* commandLine);
    ~CommandLineArgs();
    CommandLineArgs(const CommandLineArgs&) = delete;
    CommandLineArgs& operator=(const CommandLineArgs&) = delete;
    int Count() const { return count_; }
    const wchar_t* operator[](int i) const { return argv_[i]; }
    bool StartupTraceAsked() const { return startupTrace_; }
    bool BusTraceAsked() const { return busTrace_; }

private:
    wchar_t** argv_ = nullptr;
    int count_ = 0;
    bool startupTrace_ = false;
    bool busTrace_ = false;
};

// tempPath (ending in a backslash) + maker + "\" + date.
std::wstring LogFolderPath(const std::wstring& tempPath, const std::wstring& maker, const std::wstring& date);
// The day's log folder under the current temporary folder, created with its parents.
std::wstring CreateTodaysLogFolder();
// Local time as "%Y%m%d" or another strftime format, in UTF-16.
std::wstring NowFormatted(const char* format);

// glog from initialisation to shut-down. On release it logs "OnDestroy" and
// shuts glog down, unless something (the crash notice) already did.
class LogGuard {
public:
    explicit LogGuard(const std::wstring& logFolder);
    ~LogGuard();
    LogGuard(const LogGuard&) = delete;
    LogGuard& operator=(const LogGuard&) = delete;

private:
    std::string programName_;  // glog keeps a pointer to it
    std::string logFolder_;
};

// Winsock, COM and GDI+ for the life of the run, started in that order and
// ended in the reverse one (the members' order). Their start-up results are
// ignored: a failure leaves the program running with what it has.
class ProcessServices {
private:
    struct Winsock {
        Winsock();
        ~Winsock();
    };
    struct Com {
        Com();
        ~Com();
    };

    Winsock winsock_;
    Com com_;
    GdiplusSession gdiplus_;
};

// Removes the folder holding dumpPath when it holds no entry besides names
// beginning with '.'; returns true when it was removed.
bool RemoveLogFolderIfEmpty(const std::wstring& dumpPath);
