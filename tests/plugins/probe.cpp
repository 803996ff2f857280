/*
 * The probe: a test plug-in that records what reaches it. Built against
 * <lumarest/plugin.h> only.
 *
 * Its tag is the "id" of the "plugin.load" beside the DLL ("probe" when there
 * is none), so copies of the same DLL in several module folders can be told
 * apart. Settings come from environment variables read in RegisterModule:
 *
 *   LUMAREST_PROBE_LOG            file that every line below is appended to
 *   LUMAREST_PROBE_REFUSE_CLOSE   N: answer the first N "LIBPLATFORM_COMMAND_CLOSE_ENSURE"
 *                                 with value 1, which keeps the main window open
 *
 * Log lines (one WriteFile each, appended, UTF-8):
 *
 *   <tag> REGISTERED thread=<id>
 *   <tag> RECV <name> thread=<id> sender=<self|host|0x..> value=<n>
 *   <tag> REFUSED <name>
 */
#include <windows.h>

#include <lumarest/plugin.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "test_files.h"

namespace {

CommandEndpoint* bus;
std::string tag = "probe";
std::wstring logPath;
LONG refuseClose;

void WriteLine(const std::string& line) {
    HANDLE file = CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string whole = tag + " " + line + "\n";
    DWORD written = 0;
    WriteFile(file, whole.data(), static_cast<DWORD>(whole.size()), &written, nullptr);
    CloseHandle(file);
}

std::string Thread() { return std::to_string(GetCurrentThreadId()); }

std::string SenderOf(const BASObserveData& record) {
    if (record.sender == bus->owner) return "self";
    if (record.sender == GetModuleHandleW(nullptr)) return "host";
    char text[16];
    snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(record.sender)));
    return text;
}

// The "id" string of the manifest beside the DLL, or empty.
std::string OwnManifestId(HMODULE self) {
    wchar_t path[MAX_PATH * 2];
    std::wstring folder(path, GetModuleFileNameW(self, path, ARRAYSIZE(path)));
    const std::string text = ReadTextFile(folder.substr(0, folder.find_last_of(L"\\/") + 1) + L"plugin.load");
    const size_t key = text.find("\"id\"");
    const size_t open = key == std::string::npos ? key : text.find('"', text.find(':', key));
    return open == std::string::npos ? "" : text.substr(open + 1, text.find('"', open + 1) - open - 1);
}

void __cdecl Receive(BASObserveData* record) noexcept {
    try {  // nothing may throw into the host
        const std::string name = record->command ? record->command : "";
        WriteLine("RECV " + name + " thread=" + Thread() + " sender=" + SenderOf(*record) +
                  " value=" + std::to_string(record->value));
        if (name == LIBPLATFORM_COMMAND_CLOSE_ENSURE && InterlockedDecrement(&refuseClose) >= 0) {
            record->value = 1;
            WriteLine("REFUSED " + name);
        }
    } catch (...) {
    }
}

}  // namespace

extern "C" LUMAREST_EXPORT void LUMAREST_CDECL RegisterModule(CommandEndpoint* endpoint) {
    bus = endpoint;
    endpoint->receive = &Receive;
    if (std::string id = OwnManifestId(static_cast<HMODULE>(endpoint->owner)); !id.empty()) tag = id;
    logPath = EnvironmentText(L"LUMAREST_PROBE_LOG");
    refuseClose = static_cast<LONG>(wcstol(EnvironmentText(L"LUMAREST_PROBE_REFUSE_CLOSE").c_str(), nullptr, 10));
    WriteLine("REGISTERED thread=" + Thread());
}
