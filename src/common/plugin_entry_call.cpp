#include "plugin_entry_call.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "BASDbgReport.h"
#include "loaded_modules.h"
#include "logging.h"

namespace {

// The thread that calls the entry points: the main thread, the window
// thread. The plug-ins' code runs there from the entry call on, in commands
// the host delivers and in their windows' procedures, and there the system
// swallows faults: a fault inside a window-creation callback or a message
// sent from another thread is dropped by Wine's (and 64-bit Windows')
// callback dispatcher, and the host would go on in a broken state with
// nothing reported.
std::atomic<DWORD> entryThread{0};

bool IsFatal(DWORD code) {
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_IN_PAGE_ERROR: return true;
    default: return false;
    }
}

// Only faults in a plug-in's own code on the main thread count: the system's
// libraries raise and handle exceptions of their own (probing memory, for
// one), and those must go on as usual. (A stack overflow anywhere is the
// crash filter's own first-chance case.)
LONG CALLBACK OnPluginFault(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    if (GetCurrentThreadId() != entryThread.load(std::memory_order_relaxed) || !IsFatal(record.ExceptionCode))
        return EXCEPTION_CONTINUE_SEARCH;
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCWSTR>(record.ExceptionAddress), &module);
    if (!LoadedModules::Instance().IsPluginLibrary(module)) return EXCEPTION_CONTINUE_SEARCH;
    BASDbgReport::ReportFault(pointers);
}

// Names a call that does not return in time. One watcher thread serves every
// call of the bootstrap (a thread per plug-in would cost a thread start each):
// it waits for the call in progress to end and, past the limit, names it once.
class HangWatch {
public:
    static HangWatch& Instance() {
        static HangWatch* watch = new HangWatch;  // lives until the process ends
        return *watch;
    }
    void Begin(const std::string& plugin, DWORD limitMs) {
        std::lock_guard lock(mutex_);
        plugin_ = plugin;
        limitMs_ = limitMs;
        ++call_;
        running_ = true;
        changed_.notify_all();
    }
    void End() {
        std::lock_guard lock(mutex_);
        running_ = false;
        changed_.notify_all();
    }

private:
    HangWatch() : watcher_([this] { Watch(); }) { watcher_.detach(); }

    void Watch() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return running_; });
            const unsigned long call = call_;
            const auto sameCallEnded = [&] { return !running_ || call_ != call; };
            if (changed_.wait_for(lock, std::chrono::milliseconds(limitMs_), sameCallEnded)) continue;
            LOG(ERROR) << "Plug-in " << plugin_ << " has not returned from RegisterModule after " << limitMs_ / 1000
                       << " s; the start cannot go on without it";
            google::FlushLogFiles(google::GLOG_INFO);
            changed_.wait(lock, sameCallEnded);
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::string plugin_;
    DWORD limitMs_ = 0;
    unsigned long call_ = 0;
    bool running_ = false;
    std::thread watcher_;
};

}  // namespace

void CallRegisterModule(RegisterModuleFunction registerModule, CommandEndpoint* endpoint, const std::string& pluginName,
                        DWORD hangLimitMs) {
    // Installed once and kept: the plug-ins stay loaded until the process ends.
    static const PVOID handler = AddVectoredExceptionHandler(1, OnPluginFault);
    static_cast<void>(handler);
    entryThread.store(GetCurrentThreadId(), std::memory_order_relaxed);
    HangWatch::Instance().Begin(pluginName, hangLimitMs);
    registerModule(endpoint);
    HangWatch::Instance().End();
}
