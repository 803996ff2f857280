/*
 * The probe: a scriptable test plug-in that records what reaches it and
 * sends what it is told to. Built against <lumarest/plugin.h> only.
 *
 * Its tag is the "id" of the "plugin.load" beside the DLL ("probe" when there
 * is none), so copies of the same DLL in several module folders can be told
 * apart. Settings come from environment variables read in RegisterModule:
 *
 *   LUMAREST_PROBE_LOG            file that every line below is appended to
 *   LUMAREST_PROBE_SCRIPT         script file (format below)
 *   LUMAREST_PROBE_REFUSE_CLOSE   N: answer the first N "LIBPLATFORM_COMMAND_CLOSE_ENSURE"
 *                                 with value 1, which keeps the main window open
 *
 * Log lines (one WriteFile each, appended, UTF-8):
 *
 *   <tag> REGISTERED owner=0x.. thread=<id>
 *   <tag> RECV <name> <fields>       a record delivered to the probe
 *   <tag> ANSWER <name> <fields>     a record the probe sent, after the send returned
 *   <tag> REFUSED <name> remaining=<n>
 *   <tag> SCRIPT thread=<id> | LOG <text> | TIMEOUT <name> | DONE | ERROR <text>
 *
 *   <fields> = thread=<id> sender=<self|host|null|0x..> value=<n> value2=<n> value3=<n>
 *              count=<n> window=<p> data=<p> object=<p> arg=<p> wideText=<p>
 *   A pointer <p> is null, 0x.. (hex), or what a read: option decoded. wideText
 *   is always shown as text. Texts are quoted; inside them %, " and control
 *   characters are written as %XX. A heap text handed over to the probe is
 *   followed by "(freed)" when it was a live C-heap block of its own, which the
 *   probe then frees, or by "(not a live heap block)", left alone.
 *
 * Script: UTF-8, one step per line, run in order on a thread of the probe's
 * own, started when RegisterModule returns. Blank lines and lines starting
 * with # are skipped. Tokens are separated by blanks.
 *
 *   SEND <name> [field=value]... [read:field=kind]...
 *       Sends a zeroed record with command <name> and sender = the probe's owner
 *       handle, then writes an ANSWER line with every field.
 *   WAITFOR <name> [timeout-ms]
 *       Waits (default 30000 ms) until <name> has reached the probe once more
 *       than earlier WAITFOR steps for <name> consumed; TIMEOUT on expiry.
 *       The host registers its handler after every plug-in is loaded: begin a
 *       script that talks to the host with WAITFOR of a command the host sends
 *       (listed under "command-recv"), or with SLEEP.
 *   SLEEP <ms>
 *   LOG <text>
 *       Writes a LOG line, to mark a point of the run.
 *
 * Field values:
 *   value, value2, value3, count   a number (decimal, or 0x.. hex; may be negative)
 *   sender                         self (default), host, null, or a number
 *   arg, wideText, object, data, window:
 *     u8:TEXT      UTF-8 text owned by the probe for the send
 *     u16:TEXT     UTF-16 text owned by the probe
 *     null, or a number
 * Read kinds: u8, u16, heap8 / heap16 (shown, then released with free()),
 *   hex (the default for pointers).
 *
 * Example: ask the host for its temporary folder and release the answer.
 *   WAITFOR LIBWINDOW_COMMAND_SIZE_CHANGE
 *   SEND LIBPLATFORM_COMMAND_GET_TEMP_DIR read:wideText=heap16
 */
#include <windows.h>

#include <lumarest/plugin.h>

#include "heap_census.h"

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

enum class Field { Arg, WideText, Object, Data, Window, Value, Value2, Value3, Count, Sender, Unknown };

struct FieldValue {
    Field field = Field::Unknown;
    std::string kind;  // u8, u16, self, host, null, number
    std::string text;
    std::wstring wide;
    int64_t number = 0;
};

struct Read {
    Field field = Field::Unknown;
    std::string kind;
};

struct Step {
    std::string verb;
    std::string name;
    std::vector<FieldValue> settings;
    std::vector<Read> reads;
    long long milliseconds = 0;
    std::string text;
};

CommandEndpoint* bus;
std::string tag = "probe";
std::wstring logPath;
LONG refuseClose;
std::vector<Step> steps;  // written once in RegisterModule, read afterwards
std::mutex receivedLock;
std::condition_variable receivedSignal;
std::map<std::string, int> receivedCount;  // guarded by receivedLock

std::string Narrow(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Widen(const std::string& text) {
    int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::wstring Environment(const std::wstring& name) {
    wchar_t buffer[4096];
    DWORD n = GetEnvironmentVariableW(name.c_str(), buffer, ARRAYSIZE(buffer));
    return n > 0 && n < ARRAYSIZE(buffer) ? std::wstring(buffer, n) : std::wstring();
}

std::string ReadFileBytes(const std::wstring& path) {
    std::string out;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) return out;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) out.append(chunk, n);
    fclose(file);
    return out;
}

void WriteLine(const std::string& line) {
    if (logPath.empty()) return;
    HANDLE file = CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string whole = tag + " " + line + "\n";
    DWORD written = 0;
    WriteFile(file, whole.data(), static_cast<DWORD>(whole.size()), &written, nullptr);
    CloseHandle(file);
}

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c < 0x20 || c == '%' || c == '"') {
            char escaped[4];
            snprintf(escaped, sizeof escaped, "%%%02X", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Hex(const void* pointer) {
    if (!pointer) return "null";
    char text[16];
    snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(pointer)));
    return text;
}

std::string Thread() { return std::to_string(GetCurrentThreadId()); }

// The "id" string of a manifest text, or empty.
std::string ManifestId(const std::string& text) {
    for (size_t at = text.find("\"id\""); at != std::string::npos; at = text.find("\"id\"", at + 1)) {
        size_t p = text.find_first_not_of(" \t\r\n", at + 4);
        if (p == std::string::npos || text[p] != ':') continue;
        p = text.find_first_not_of(" \t\r\n", p + 1);
        if (p == std::string::npos || text[p] != '"') continue;
        size_t end = text.find('"', p + 1);
        if (end != std::string::npos) return text.substr(p + 1, end - p - 1);
    }
    return {};
}

std::string OwnManifestId(HMODULE self) {
    wchar_t path[MAX_PATH * 2];
    DWORD n = GetModuleFileNameW(self, path, ARRAYSIZE(path));
    std::wstring folder(path, n);
    folder.resize(folder.find_last_of(L"\\/") + 1);
    return ManifestId(ReadFileBytes(folder + L"plugin.load"));
}

// ---- the script ----

Field FieldNamed(const std::string& name) {
    static const std::map<std::string, Field> fields = {
        {"arg", Field::Arg},       {"wideText", Field::WideText}, {"object", Field::Object},
        {"data", Field::Data},     {"window", Field::Window},     {"value", Field::Value},
        {"value2", Field::Value2}, {"value3", Field::Value3},     {"count", Field::Count},
        {"sender", Field::Sender}};
    auto it = fields.find(name);
    return it == fields.end() ? Field::Unknown : it->second;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

FieldValue ParseFieldValue(Field field, const std::string& value) {
    FieldValue setting;
    setting.field = field;
    size_t colon = value.find(':');
    std::string kind = colon == std::string::npos ? value : value.substr(0, colon);
    std::string rest = colon == std::string::npos ? "" : value.substr(colon + 1);
    if (field == Field::Sender && (value == "self" || value == "host" || value == "null")) {
        setting.kind = value;
    } else if (kind == "u8" || kind == "u16") {
        setting.kind = kind;
        setting.text = rest;
        setting.wide = Widen(rest);
    } else {
        setting.kind = "number";
        setting.number = value == "null" ? 0 : strtoll(value.c_str(), nullptr, 0);
    }
    return setting;
}

Step ParseStep(const std::vector<std::string>& tokens) {
    Step step;
    step.verb = tokens[0];
    if (tokens.size() > 1) step.name = tokens[1];
    if (step.verb == "SLEEP" || step.verb == "WAITFOR") {
        const std::string& number = step.verb == "SLEEP" ? step.name : (tokens.size() > 2 ? tokens[2] : "30000");
        step.milliseconds = strtoll(number.c_str(), nullptr, 10);
    }
    if (step.verb == "LOG") {
        for (size_t i = 1; i < tokens.size(); ++i) step.text += (i > 1 ? " " : "") + tokens[i];
    }
    if (step.verb != "SEND") return step;
    for (size_t i = 2; i < tokens.size(); ++i) {
        size_t eq = tokens[i].find('=');
        if (eq == std::string::npos) continue;
        std::string key = tokens[i].substr(0, eq), value = tokens[i].substr(eq + 1);
        if (StartsWith(key, "read:")) {
            step.reads.push_back({FieldNamed(key.substr(5)), value});
        } else {
            step.settings.push_back(ParseFieldValue(FieldNamed(key), value));
        }
    }
    return step;
}

void LoadScript(const std::wstring& path) {
    std::string text = ReadFileBytes(path);
    if (StartsWith(text, "\xEF\xBB\xBF")) text.erase(0, 3);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        std::vector<std::string> tokens;
        for (size_t p = line.find_first_not_of(" \t\r"); p != std::string::npos; p = line.find_first_not_of(" \t\r", p)) {
            size_t q = line.find_first_of(" \t\r", p);
            tokens.push_back(line.substr(p, q == std::string::npos ? std::string::npos : q - p));
            p = q;
        }
        if (tokens.empty() || tokens[0][0] == '#') continue;
        steps.push_back(ParseStep(tokens));
    }
}

// ---- records ----

void*& PointerSlot(BASObserveData& record, Field field) {
    static void* none;
    switch (field) {
    case Field::Arg: return const_cast<void*&>(record.arg);
    case Field::WideText: return reinterpret_cast<void*&>(record.wideText);
    case Field::Object: return record.object;
    case Field::Data: return record.data;
    case Field::Window: return record.window;
    case Field::Sender: return record.sender;
    default: return none;
    }
}

int64_t* NumberSlot(BASObserveData& record, Field field) {
    switch (field) {
    case Field::Value: return &record.value;
    case Field::Value2: return &record.value2;
    case Field::Value3: return &record.value3;
    case Field::Count: return &record.count;
    default: return nullptr;
    }
}

void Apply(BASObserveData& record, const FieldValue& setting) {
    if (int64_t* number = NumberSlot(record, setting.field)) {
        *number = setting.number;
        return;
    }
    void*& slot = PointerSlot(record, setting.field);
    const std::string& kind = setting.kind;
    if (kind == "self") slot = bus->owner;
    else if (kind == "host") slot = GetModuleHandleW(nullptr);
    else if (kind == "u8") slot = const_cast<char*>(setting.text.c_str());
    else if (kind == "u16") slot = const_cast<wchar_t*>(setting.wide.c_str());
    else slot = reinterpret_cast<void*>(static_cast<uintptr_t>(setting.number));
}

std::string Decoded(void* pointer, const std::string& kind) {
    if (!pointer || kind.empty() || kind == "hex") return Hex(pointer);
    std::string shown;
    if (kind == "u8" || kind == "heap8") shown = Quote(static_cast<const char*>(pointer));
    else if (kind == "u16" || kind == "heap16") shown = Quote(Narrow(static_cast<const wchar_t*>(pointer)));
    else return Hex(pointer);
    if (!StartsWith(kind, "heap")) return shown;
    // A handed-over text must be a C-heap block of its own: freeing a static
    // text or one freed already would corrupt the heap the whole process shares.
    if (!heap_census::IsLiveBlock(pointer)) return shown + "(not a live heap block)";
    free(pointer);
    return shown + "(freed)";
}

std::string Describe(BASObserveData& record, const std::vector<Read>& reads) {
    auto kindOf = [&](Field field, const char* fallback) {
        for (const Read& read : reads)
            if (read.field == field) return read.kind;
        return std::string(fallback);
    };
    std::string sender = record.sender == bus->owner ? "self"
                         : record.sender == GetModuleHandleW(nullptr) ? "host"
                                                                       : Hex(record.sender);
    std::string out = "thread=" + Thread() + " sender=" + sender;
    out += " value=" + std::to_string(record.value) + " value2=" + std::to_string(record.value2) +
           " value3=" + std::to_string(record.value3) + " count=" + std::to_string(record.count);
    out += " window=" + Decoded(record.window, kindOf(Field::Window, "hex"));
    out += " data=" + Decoded(record.data, kindOf(Field::Data, "hex"));
    out += " object=" + Decoded(record.object, kindOf(Field::Object, "hex"));
    out += " arg=" + Decoded(const_cast<void*>(record.arg), kindOf(Field::Arg, "hex"));
    out += " wideText=" + Decoded(record.wideText, kindOf(Field::WideText, "u16"));
    return out;
}

// ---- receiving and sending ----

void Receive(BASObserveData* record) {
    const std::string name = record->command ? record->command : "";
    WriteLine("RECV " + name + " " + Describe(*record, {}));
    if (name == LIBPLATFORM_COMMAND_CLOSE_ENSURE) {
        LONG left = InterlockedDecrement(&refuseClose);
        if (left >= 0) {
            record->value = 1;
            WriteLine("REFUSED " + name + " remaining=" + std::to_string(left));
        }
    }
    {
        std::lock_guard<std::mutex> hold(receivedLock);
        ++receivedCount[name];
    }
    receivedSignal.notify_all();
}

void __cdecl ReceiveGuarded(BASObserveData* record) noexcept {
    // Nothing may throw into the host.
    try {
        Receive(record);
    } catch (...) {
        WriteLine("ERROR exception while receiving");
    }
}

void Send(const Step& step) {
    BASObserveData record;
    memset(&record, 0, sizeof record);
    record.command = step.name.c_str();
    record.sender = bus->owner;
    for (const FieldValue& setting : step.settings) Apply(record, setting);
    bus->send(&record);
    WriteLine("ANSWER " + step.name + " " + Describe(record, step.reads));
}

void WaitFor(const Step& step, std::map<std::string, int>& consumed) {
    std::unique_lock<std::mutex> hold(receivedLock);
    int& mine = consumed[step.name];
    bool arrived = receivedSignal.wait_for(hold, std::chrono::milliseconds(step.milliseconds),
                                           [&] { return receivedCount[step.name] > mine; });
    hold.unlock();
    if (arrived) ++mine;
    else WriteLine("TIMEOUT " + step.name);
}

DWORD WINAPI RunScript(void*) {
    try {
        WriteLine("SCRIPT thread=" + Thread());
        std::map<std::string, int> consumed;
        for (const Step& step : steps) {
            if (step.verb == "SEND") Send(step);
            else if (step.verb == "SLEEP") Sleep(static_cast<DWORD>(step.milliseconds));
            else if (step.verb == "WAITFOR") WaitFor(step, consumed);
            else if (step.verb == "LOG") WriteLine("LOG " + step.text);
            else WriteLine("ERROR unknown step " + step.verb);
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
        endpoint->receive = &ReceiveGuarded;
        std::string id = OwnManifestId(static_cast<HMODULE>(endpoint->owner));
        if (!id.empty()) tag = id;
        logPath = Environment(L"LUMAREST_PROBE_LOG");
        refuseClose = static_cast<LONG>(wcstol(Environment(L"LUMAREST_PROBE_REFUSE_CLOSE").c_str(), nullptr, 10));
        std::wstring script = Environment(L"LUMAREST_PROBE_SCRIPT");
        if (!script.empty()) LoadScript(script);
        WriteLine("REGISTERED owner=" + Hex(endpoint->owner) + " thread=" + Thread());
        if (!steps.empty()) {
            HANDLE thread = CreateThread(nullptr, 0, &RunScript, nullptr, 0, nullptr);
            if (thread) CloseHandle(thread);
        }
    } catch (...) {
        WriteLine("ERROR exception in RegisterModule");
    }
}
