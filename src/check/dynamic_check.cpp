#include "check/dynamic_check.h"

#include <malloc.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "UniqueResource.h"
#include "Utf8.h"
#include "common/command_bus.h"
#include "common/plugin_util.h"
#include "services/device_server.h"
#include "services/platform_command_handler.h"
#include "services/update_flow.h"
#include "services/platform_context.h"

namespace {

// Each command name is sent this many times for the leak count: a plug-in
// that leaks a block per command leaks this many, far above what a cache
// that fills once would add.
constexpr int kRepeatRounds = 50;
// Threads that send every command name at once, and how often each does.
constexpr int kSendingThreads = 4;
constexpr int kThreadRounds = 25;
constexpr DWORD kHungChildExit = 0x4C48414E;  // the child ended itself over a hang

// --- Child ------------------------------------------------------------------

// The child's report: one line per event, written straight to the file so
// that a crash right after loses nothing.
class ChildReport {
public:
    explicit ChildReport(const std::wstring& path)
        : file_(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr)) {}
    void Line(std::string text) {
        text += '\n';
        std::lock_guard guard(lock_);
        DWORD written = 0;
        WriteFile(file_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
    void AddFinding(FindingLevel level, const std::string& code, const std::string& message, const std::string& fix) {
        Line("finding\t" + std::to_string(static_cast<int>(level)) + "\t" + code + "\t" + message + "\t" + fix);
    }

private:
    std::mutex lock_;
    UniqueHandle file_;
};

// The crash filter's way to the report: the child process has one report.
ChildReport* crashReport = nullptr;

LONG WINAPI OnChildCrash(EXCEPTION_POINTERS* pointers) {
    const DWORD code = pointers->ExceptionRecord->ExceptionCode;
    char line[32];
    std::snprintf(line, sizeof line, "crash\t%08lX", static_cast<unsigned long>(code));
    if (crashReport) crashReport->Line(line);
    // Ended here, so that no system debugger starts and the parent sees the code.
    TerminateProcess(GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

double Milliseconds() {
    LARGE_INTEGER frequency{}, now{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

DWORD WINAPI RunWork(void* work) {
    (*static_cast<const std::function<void()>*>(work))();
    return 0;
}

// Runs work on a thread of its own within limitMs; a step that does not end
// in time ends the child, since nothing can stop a plug-in's code.
void RunStep(ChildReport& report, const std::string& step, DWORD limitMs, const std::function<void()>& work) {
    report.Line("begin\t" + step);
    const double start = Milliseconds();
    const UniqueHandle thread(CreateThread(nullptr, 0, RunWork, const_cast<std::function<void()>*>(&work), 0, nullptr));
    if (!thread) {
        work();
    } else if (WaitForSingleObject(thread.get(), limitMs) == WAIT_TIMEOUT) {
        report.Line("hang\t" + std::to_string(limitMs));
        TerminateProcess(GetCurrentProcess(), kHungChildExit);
    }
    char ms[32];
    std::snprintf(ms, sizeof ms, "%.1f", Milliseconds() - start);
    report.Line("end\t" + step + "\t" + ms);
}

// The live blocks of the C heap that every module shares (msvcrt.dll's),
// walked with _heapwalk.
struct HeapCount {
    long blocks = 0;
    long bytes = 0;
};
HeapCount CountHeap() {
    HeapCount count;
    _HEAPINFO entry{};
    while (_heapwalk(&entry) == _HEAPOK) {
        if (entry._useflag != _USEDENTRY) continue;
        ++count.blocks;
        count.bytes += static_cast<long>(entry._size);
    }
    return count;
}

// The heap once work that the plug-in queued for its own threads has drained:
// counted until two counts 100 ms apart agree, for at most two seconds.
HeapCount SettledHeap() {
    HeapCount last = CountHeap();
    for (int i = 0; i < 20; ++i) {
        Sleep(100);
        const HeapCount now = CountHeap();
        if (now.blocks == last.blocks) return now;
        last = now;
    }
    return last;
}

// The host as the checker gives it: the real command handler with no frame,
// no view and no dialogs, so every command that would show a window is
// answered as if the user had closed it.
struct HeadlessHost : PlatformContext {
    HWND FrameWindow() const override { return nullptr; }
    HWND ViewWindow() const override { return nullptr; }
    MaximizeState& Maximize() override { return maximize; }
    SharedDialogs& Dialogs() override { return dialogs; }
    MaximizeState maximize;
    SharedDialogs dialogs{nullptr, nullptr};  // no view: no dialog is ever made
};

// An empty record, as the host would send it.
void SendEmpty(const std::string& command) {
    BASObserveData record;
    std::memset(&record, 0, sizeof record);
    record.command = command.c_str();
    HostSend(&record);
}

void SendFromThreads(const std::vector<std::string>& names) {
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < kSendingThreads; ++i) {
        threads.emplace_back([&] {
            while (!go.load()) std::this_thread::yield();
            for (int round = 0; round < kThreadRounds; ++round)
                for (const std::string& name : names) SendEmpty(name);
        });
    }
    go = true;
    for (std::thread& thread : threads) thread.join();
}

// Sends each name kRepeatRounds times and reports the blocks the C heap
// gained, when they grow with the number of commands.
void CountLeaks(ChildReport& report, const std::vector<std::string>& names, DWORD limitMs) {
    const HeapCount before = SettledHeap();
    RunStep(report, "repeat", limitMs, [&] {
        for (int round = 0; round < kRepeatRounds; ++round)
            for (const std::string& name : names) SendEmpty(name);
    });
    const HeapCount after = SettledHeap();
    const long commands = kRepeatRounds * static_cast<long>(names.size());
    const long gained = after.blocks - before.blocks;
    report.Line("heap\trepeat\t" + std::to_string(gained) + "\t" + std::to_string(after.bytes - before.bytes));
    if (gained * 2 < commands) return;
    std::ostringstream message;
    message << "the C heap grew by " << gained << " blocks (" << after.bytes - before.bytes << " bytes) over "
            << commands << " empty commands: about " << (gained + commands / 2) / commands
            << " block(s) leaked per command";
    report.AddFinding(FindingLevel::Suffers, "leak", message.str(),
                      "free what the receive function allocates, and free() the texts the host answers with");
}

}  // namespace

int RunChild(const std::wstring& versionFolder, const std::wstring& module, const std::wstring& reportPath,
             DWORD limitMs) {
    ChildReport report(reportPath);
    crashReport = &report;
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(OnChildCrash);

    const ManifestFile manifest = ReadManifestFile(versionFolder + kManifestName);
    ManifestReading reading = ParsePluginManifest(manifest.text.c_str());
    if (!manifest.read || !reading.ok) return 3;  // the static checks have said why
    const std::wstring libraryPath = ManifestLibraryPath(versionFolder, reading.manifest.libraryPath);

    HMODULE library = nullptr;
    DWORD loadError = 0;
    RunStep(report, "load", limitMs, [&] {
        library = LoadPluginLibrary(libraryPath);
        loadError = GetLastError();
    });
    if (!library) {
        const Finding failed = LoadFailed(ToUtf8(libraryPath), loadError);
        report.AddFinding(failed.level, failed.code, failed.message, failed.fix);
        return 3;
    }
    LoadedModules& modules = LoadedModules::Instance();
    modules.AddLibrary(library);
    const auto entry = reinterpret_cast<RegisterModuleFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, LUMAREST_ENTRY_POINT_NAME)));
    if (!entry) return 3;

    const HeapCount start = CountHeap();
    CommandEndpoint* endpoint = NewEndpoint(library);
    RunStep(report, "RegisterModule", limitMs, [&] { entry(endpoint); });
    if (!endpoint->receive && !reading.manifest.record.receives.empty())
        report.AddFinding(FindingLevel::Harmful, "register-no-receive",
                          "RegisterModule returned without setting the endpoint's receive function, and the "
                          "manifest lists commands to receive: the first of them crashes the host",
                          "set endpoint->receive in RegisterModule");

    auto record = std::make_unique<ModuleRecord>(reading.manifest.record);
    record->libraryPath = ToUtf8(libraryPath);
    // What the headless host itself allocates does not count against the plug-in.
    const HeapCount beforeHost = CountHeap();
    PluginLoader().AddModule(module, std::move(record), endpoint->receive ? endpoint : nullptr);
    modules.RegisterHostModule(L"Product");
    static HeadlessHost host;  // commands may reach it and its flows until the process ends
    static UpdateFlow updates(host);
    static DeviceServer server(host, updates);
    RegisterPlatformCommands(host, updates, server);
    const HeapCount afterHost = CountHeap();

    const std::vector<std::string>& names = modules.FindModule(module.c_str())->receives;
    if (endpoint->receive && !names.empty()) {
        for (const std::string& name : names) RunStep(report, "command " + name, limitMs, [&] { SendEmpty(name); });
        CountLeaks(report, names, limitMs);
        RunStep(report, "threads", limitMs, [&] { SendFromThreads(names); });
    }
    RunStep(report, "close", limitMs, [] { SendEmpty(LIBPLATFORM_COMMAND_CLOSE_ENSURE); });
    const HeapCount end = SettledHeap();
    report.Line("heap\tkept\t" + std::to_string(end.blocks - start.blocks - (afterHost.blocks - beforeHost.blocks)) +
                "\t" + std::to_string(end.bytes - start.bytes - (afterHost.bytes - beforeHost.bytes)));
    report.Line("done");
    return 0;
}

// --- Parent -----------------------------------------------------------------

namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

// The finding code for a step that crashed or hung.
std::string StepCode(const std::string& step, const char* what) {
    std::string subject = "receive";
    if (step == "load") subject = "load";
    else if (step == "RegisterModule") subject = "register";
    else if (step == "threads") subject = "threads";
    else if (step == "close") subject = "close";
    return subject + "-" + what;
}

std::string StepText(const std::string& step) {
    if (step == "load") return "loading the library (its DllMain)";
    if (step == "RegisterModule") return "RegisterModule";
    if (step == "repeat") return "the receive function, sent each command " + std::to_string(kRepeatRounds) + " times";
    if (step == "threads")
        return "the receive function, sent every command from " + std::to_string(kSendingThreads) + " threads at once";
    if (step == "close") return "the close (" LIBPLATFORM_COMMAND_CLOSE_ENSURE ")";
    return "the receive function, given " + step.substr(step.find(' ') + 1) + " with an empty record";
}

void ReadReport(const std::string& text, DWORD exitCode, DynamicResult& result) {
    std::istringstream lines(text);
    std::string line, open;
    bool done = false, ended = false;
    for (std::string raw; std::getline(lines, raw);) {
        const std::vector<std::string> f = SplitTabs(raw);
        if (f[0] == "begin" && f.size() > 1) {
            open = f[1];
        } else if (f[0] == "end" && f.size() > 2) {
            result.steps.push_back({f[1], std::atof(f[2].c_str())});
            open.clear();
        } else if (f[0] == "finding" && f.size() > 4) {
            result.findings.push_back({static_cast<FindingLevel>(std::atoi(f[1].c_str())), f[2], f[3], f[4]});
        } else if (f[0] == "crash" && f.size() > 1) {
            result.findings.push_back({FindingLevel::Harmful, StepCode(open, "crash"),
                                       StepText(open) + " crashed (exception 0x" + f[1] + ")",
                                       "run the plug-in under a debugger with this step; the host would crash here"});
            ended = true;
        } else if (f[0] == "hang" && f.size() > 1) {
            result.findings.push_back({FindingLevel::Harmful, StepCode(open, "hang"),
                                       StepText(open) + " did not return within " + f[1] + " ms",
                                       "return at once and do long work on a thread of your own"});
            ended = true;
        } else if (f[0] == "heap" && f.size() > 3) {
            // Blocks the C heap gained over a pass: a figure, not a finding
            // (a plug-in may keep what it allocates until the process ends).
            result.heap.push_back({f[1], std::atol(f[2].c_str()), std::atol(f[3].c_str())});
        } else if (f[0] == "done") {
            done = true;
        }
    }
    if (!done && !ended && exitCode != 3)
        result.findings.push_back({FindingLevel::Harmful, StepCode(open, "exit"),
                                   (open.empty() ? std::string("the plug-in's run") : StepText(open)) +
                                       " ended the process (exit code " + std::to_string(exitCode) + ")",
                                   "never call exit() or ExitProcess from a plug-in"});
}

std::string ReadAll(const std::wstring& path) {
    std::string text;
    if (UniqueFile file{_wfopen(path.c_str(), L"rb")}) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, file.get())) > 0;) text.append(buffer, n);
    }
    return text;
}

}  // namespace

DynamicResult RunDynamicChecks(const std::wstring& checker, const std::wstring& versionFolder,
                               const std::string& module, DWORD limitMs) {
    DynamicResult result;
    wchar_t temp[MAX_PATH], report[MAX_PATH];
    if (!GetTempPathW(MAX_PATH, temp) || !GetTempFileNameW(temp, L"lck", 0, report)) return result;
    std::wstring folder = versionFolder;
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();  // a backslash before a quote escapes it
    std::wstring commandLine = L"\"" + checker + L"\" " + kChildSwitch + L" \"" + folder + L"\" \"" + FromUtf8(module) +
                               L"\" \"" + report + L"\" " + std::to_wstring(limitMs);

    // The plug-in's own output goes nowhere: the checker's output is its report.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const UniqueHandle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       &inherit, OPEN_EXISTING, 0, nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul.get();
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(checker.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process)) {
        result.findings.push_back({FindingLevel::Pedantic, "run-unavailable",
                                   "the checker could not start its child (error " + std::to_string(GetLastError()) +
                                       "); the plug-in was not run",
                                   "run LumarestCheck from its installation folder"});
        DeleteFileW(report);
        return result;
    }
    const UniqueHandle child(process.hProcess), childThread(process.hThread);
    // The child ends itself over a step that takes too long; this is for a
    // child that cannot even do that.
    const DWORD backstopMs = 8 * limitMs + 30000;
    if (WaitForSingleObject(child.get(), backstopMs) == WAIT_TIMEOUT) {
        TerminateProcess(child.get(), kHungChildExit);
        WaitForSingleObject(child.get(), 5000);
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(child.get(), &exitCode);
    ReadReport(ReadAll(report), exitCode, result);
    DeleteFileW(report);
    return result;
}
