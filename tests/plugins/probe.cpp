/*
 * The probe: a scriptable test plug-in that records what reaches it and
 * sends what it is told to. Built against <lumarest/plugin.h> alone, with the
 * tests' file helpers.
 *
 * Its tag is the "id" of the "plugin.load" beside the DLL ("probe" when there
 * is none), so copies of the same DLL in several module folders can be told
 * apart. Settings come from environment variables read in RegisterModule:
 *
 *   LUMAREST_PROBE_LOG            file that every line below is appended to
 *   LUMAREST_PROBE_SCRIPT         script file (format below); LUMAREST_PROBE_SCRIPT_<tag>,
 *                                 when set, is that copy's own
 *   LUMAREST_PROBE_BOUNCE         a name: each record of it that reaches the probe is
 *                                 sent on at once, value + 1, as the probe's own
 *   LUMAREST_PROBE_HANG_MS        RegisterModule sleeps this long before it returns
 *   LUMAREST_PROBE_REGISTER_CRASH a way to die (see CRASH) inside RegisterModule
 *   LUMAREST_PROBE_DETACH_CRASH   a way to die when the process ends and the DLL is
 *                                 told so (DLL_PROCESS_DETACH), after the host's orderly end
 *   LUMAREST_PROBE_REFUSE_CLOSE   N: answer the first N "LIBPLATFORM_COMMAND_CLOSE_ENSURE"
 *                                 with value 1, which keeps the main window open
 *
 * Log lines (one WriteFile each, appended, UTF-8):
 *
 *   <tag> REGISTERED thread=<id>
 *   <tag> RECV <name> <fields>       a record delivered to the probe
 *   <tag> ANSWER <name> <fields>     a record the probe sent, after the send returned
 *   <tag> REFUSED <name>
 *   <tag> TIMEOUT <name> | DONE | ERROR <text>
 *   <tag> CRASHING thread=<id>       a thread about to fault, one line each
 *
 *   <fields> = thread=<id> sender=<self|host|null|0x..> value=<n> count=<n>
 *              object=<p> arg=<p> wideText=<text>
 *   A pointer <p> is null, 0x.. (hex), or the text a read: option asked for,
 *   quoted.
 *
 * Script: one step per line, run in order on a thread of the probe's own,
 * started when RegisterModule returns. Tokens are separated by blanks.
 *
 *   SEND <name> [field=value]... [read:field=kind]...
 *       Sends a zeroed record with command <name> and sender = the probe's
 *       owner handle, then writes an ANSWER line.
 *       Fields: value, value2, value3, count (numbers); arg (u8:TEXT, the
 *       probe's UTF-8 text); wideText (u16:TEXT); data (u8:TEXT, a malloc'd
 *       copy that the receiver owns).
 *       Read kinds: u8 (arg, object).
 *   WAITFOR <name>
 *       Waits up to 30 s until <name> has reached the probe once more than
 *       earlier WAITFOR steps for <name> consumed; TIMEOUT on expiry. The host
 *       registers its handler after every plug-in is loaded: a script that
 *       talks to the host begins with WAITFOR of a command the host sends, or
 *       with SLEEP.
 *   SENDFROM <n> <name> [field=value]... [read:field=kind]...
 *       The same SEND from n threads at once; goes on when all have answered.
 *   SLEEP <ms>
 *   CRASH <way>
 *       Dies on the script's thread (probe_crash.h lists the ways).
 *   CRASHON <name> <way>
 *       Dies the given way when <name> next reaches the probe, on the thread
 *       that delivers it (the host sends its window commands from the main
 *       thread).
 */
#include <windows.h>

#include <lumarest/plugin.h>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "probe_crash.h"
#include "test_files.h"

namespace {

struct Step {
    std::vector<std::string> tokens;  // verb, name, then field=value and read:field=kind
    std::map<std::string, std::string> fields, reads;
    std::map<std::string, std::wstring> wide;  // u16 texts, kept alive for the sends
};

CommandEndpoint* bus;
std::string tag = "probe";
std::wstring logPath;
LONG refuseClose;
std::vector<Step> steps;  // written once in RegisterModule, read afterwards
std::mutex receivedLock;
std::condition_variable receivedSignal;
std::map<std::string, int> receivedCount;  // guarded by receivedLock
std::string bounceName;                    // written once in RegisterModule
std::string detachCrashWay;                // written once in RegisterModule
std::string crashOnName, crashOnWay;       // guarded by receivedLock

std::string Narrow(const wchar_t* text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

void WriteLine(const std::string& line) {
    HANDLE file = CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string whole = tag + " " + line + "\n";
    DWORD written = 0;
    WriteFile(file, whole.data(), static_cast<DWORD>(whole.size()), &written, nullptr);
    CloseHandle(file);
}

std::string Hex(const void* pointer) {
    char text[16] = "null";
    if (pointer) snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(pointer)));
    return text;
}

std::string Thread() { return std::to_string(GetCurrentThreadId()); }

// The "id" string of the manifest beside the DLL, or empty.
std::string OwnManifestId(HMODULE self) {
    wchar_t path[MAX_PATH * 2];
    std::wstring folder(path, GetModuleFileNameW(self, path, ARRAYSIZE(path)));
    const std::string text = ReadTextFile(folder.substr(0, folder.find_last_of(L"\\/") + 1) + L"plugin.load");
    const size_t key = text.find("\"id\"");
    const size_t open = key == std::string::npos ? key : text.find('"', text.find(':', key));
    return open == std::string::npos ? "" : text.substr(open + 1, text.find('"', open + 1) - open - 1);
}

void LoadScript(const std::wstring& path) {
    std::istringstream lines(ReadTextFile(path));
    for (std::string line; std::getline(lines, line);) {
        Step step;
        std::istringstream words(line);
        for (std::string token; words >> token;) {
            step.tokens.push_back(token);
            const size_t eq = token.find('=');
            if (step.tokens.size() < 3 || eq == std::string::npos) continue;
            const std::string key = token.substr(0, eq), value = token.substr(eq + 1);
            if (key.rfind("read:", 0) == 0) step.reads[key.substr(5)] = value;
            else step.fields[key] = value.rfind("u8:", 0) == 0 ? value.substr(3) : value;
            if (value.rfind("u16:", 0) == 0) step.wide[key] = std::wstring(value.begin() + 4, value.end());  // ASCII
        }
        if (step.tokens.size() >= 2) steps.push_back(std::move(step));
    }
}

std::string Describe(BASObserveData& record, const std::map<std::string, std::string>& reads) {
    auto text = [&](const char* field, const void* pointer) {
        return pointer && reads.count(field) ? "\"" + std::string(static_cast<const char*>(pointer)) + "\""
                                             : Hex(pointer);
    };
    const std::string sender = record.sender == bus->owner                  ? "self"
                               : record.sender == GetModuleHandleW(nullptr) ? "host"
                                                                            : Hex(record.sender);
    const std::string wideText = record.wideText ? "\"" + Narrow(record.wideText) + "\"" : "null";
    return "thread=" + Thread() + " sender=" + sender + " value=" + std::to_string(record.value) +
           " count=" + std::to_string(record.count) + " object=" + text("object", record.object) +
           " arg=" + text("arg", record.arg) + " wideText=" + wideText;
}

void AnnounceCrash(DWORD thread) { WriteLine("CRASHING thread=" + std::to_string(thread)); }

// The way armed by CRASHON for name, taken once; empty when none.
std::string TakeCrashOn(const std::string& name) {
    std::lock_guard<std::mutex> hold(receivedLock);
    if (name != crashOnName) return "";
    crashOnName.clear();
    return crashOnWay;
}

void __cdecl Receive(BASObserveData* record) noexcept {
    try {  // nothing may throw into the host
        const std::string name = record->command ? record->command : "";
        WriteLine("RECV " + name + " " + Describe(*record, {}));
        if (const std::string way = TakeCrashOn(name); !way.empty()) CrashTheWay(way, AnnounceCrash);
        if (!bounceName.empty() && name == bounceName) {
            BASObserveData next = *record;
            next.sender = bus->owner;
            ++next.value;
            bus->send(&next);
        }
        if (name == LIBPLATFORM_COMMAND_CLOSE_ENSURE && InterlockedDecrement(&refuseClose) >= 0) {
            record->value = 1;
            WriteLine("REFUSED " + name);
        }
        {
            std::lock_guard<std::mutex> hold(receivedLock);
            ++receivedCount[name];
        }
        receivedSignal.notify_all();
    } catch (...) {
        WriteLine("ERROR exception while receiving");
    }
}

void Send(const Step& step) {
    BASObserveData record{};
    record.command = step.tokens[1].c_str();
    record.sender = bus->owner;
    for (const auto& [field, value] : step.fields) {
        if (field == "value") record.value = strtoll(value.c_str(), nullptr, 0);
        else if (field == "count") record.count = strtoll(value.c_str(), nullptr, 0);
        else if (field == "value2") record.value2 = strtoll(value.c_str(), nullptr, 0);
        else if (field == "value3") record.value3 = strtoll(value.c_str(), nullptr, 0);
        else if (field == "data") record.data = _strdup(value.c_str());
        else if (field == "arg") record.arg = value.c_str();
    }
    if (step.wide.count("wideText")) record.wideText = const_cast<wchar_t*>(step.wide.at("wideText").c_str());
    bus->send(&record);
    WriteLine("ANSWER " + step.tokens[1] + " " + Describe(record, step.reads));
}

void SendFromThreads(const Step& step) {
    Step one = step;
    one.tokens.erase(one.tokens.begin() + 1);  // the thread count
    std::vector<std::thread> senders;
    for (long n = strtol(step.tokens[1].c_str(), nullptr, 10); n > 0; --n) senders.emplace_back([&one] { Send(one); });
    for (std::thread& sender : senders) sender.join();
}

void WaitFor(const std::string& name, std::map<std::string, int>& consumed) {
    std::unique_lock<std::mutex> hold(receivedLock);
    int& mine = consumed[name];
    if (receivedSignal.wait_for(hold, std::chrono::seconds(30), [&] { return receivedCount[name] > mine; })) ++mine;
    else WriteLine("TIMEOUT " + name);
}

DWORD WINAPI RunScript(void*) {
    try {
        std::map<std::string, int> consumed;
        for (const Step& step : steps) {
            if (step.tokens[0] == "SEND") Send(step);
            else if (step.tokens[0] == "SENDFROM" && step.tokens.size() > 2) SendFromThreads(step);
            else if (step.tokens[0] == "SLEEP") Sleep(static_cast<DWORD>(strtoul(step.tokens[1].c_str(), nullptr, 10)));
            else if (step.tokens[0] == "WAITFOR") WaitFor(step.tokens[1], consumed);
            else if (step.tokens[0] == "CRASH") CrashTheWay(step.tokens[1], AnnounceCrash);
            else if (step.tokens[0] == "CRASHON" && step.tokens.size() > 2) {
                std::lock_guard<std::mutex> hold(receivedLock);
                crashOnName = step.tokens[1];
                crashOnWay = step.tokens[2];
            } else WriteLine("ERROR unknown step " + step.tokens[0]);
        }
        WriteLine("DONE");
    } catch (...) {
        WriteLine("ERROR exception in the script");
    }
    return 0;
}

}  // namespace

extern "C" LUMAREST_EXPORT void LUMAREST_CDECL RegisterModule(CommandEndpoint* endpoint) {
    try {
        bus = endpoint;
        endpoint->receive = &Receive;
        if (std::string id = OwnManifestId(static_cast<HMODULE>(endpoint->owner)); !id.empty()) tag = id;
        logPath = EnvironmentText(L"LUMAREST_PROBE_LOG");
        refuseClose = static_cast<LONG>(wcstol(EnvironmentText(L"LUMAREST_PROBE_REFUSE_CLOSE").c_str(), nullptr, 10));
        bounceName = Narrow(EnvironmentText(L"LUMAREST_PROBE_BOUNCE").c_str());
        std::wstring script =
            EnvironmentText((L"LUMAREST_PROBE_SCRIPT_" + std::wstring(tag.begin(), tag.end())).c_str());
        if (script.empty()) script = EnvironmentText(L"LUMAREST_PROBE_SCRIPT");
        if (!script.empty()) LoadScript(script);
        WriteLine("REGISTERED thread=" + Thread());
        Sleep(static_cast<DWORD>(wcstoul(EnvironmentText(L"LUMAREST_PROBE_HANG_MS").c_str(), nullptr, 10)));
        detachCrashWay = Narrow(EnvironmentText(L"LUMAREST_PROBE_DETACH_CRASH").c_str());
        if (std::wstring way = EnvironmentText(L"LUMAREST_PROBE_REGISTER_CRASH"); !way.empty())
            CrashTheWay(Narrow(way.c_str()), AnnounceCrash);
        if (HANDLE thread = steps.empty() ? nullptr : CreateThread(nullptr, 0, &RunScript, nullptr, 0, nullptr))
            CloseHandle(thread);
    } catch (...) {
        WriteLine("ERROR exception in RegisterModule");
    }
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
    if (reason == DLL_PROCESS_DETACH && !detachCrashWay.empty()) CrashTheWay(detachCrashWay, AnnounceCrash);
    return TRUE;
}
