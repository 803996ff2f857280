#include "services/process_helpers.h"

#include <windows.h>
#include <psapi.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cwctype>
#include <regex>
#include <vector>

#include "BASUtility.h"
#include "FolderListing.h"
#include "UniqueResource.h"
#include "Utf8.h"
#include "common/logging.h"
#include "host_state.h"

namespace {

std::wstring Lowered(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// The executable of a process, lower-cased; empty when it cannot be opened.
std::wstring LoweredImagePath(DWORD processId) {
    UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (!process) return {};
    HMODULE firstModule = nullptr;
    DWORD needed = 0;
    if (!EnumProcessModules(static_cast<HANDLE>(process.get()), &firstModule, sizeof firstModule, &needed)) return {};
    wchar_t path[MAX_PATH] = L"";
    if (!GetModuleFileNameExW(process.get(), firstModule, path, MAX_PATH)) return {};
    return Lowered(path);
}

std::vector<DWORD> ProcessesRunning(const std::wstring& loweredPath) {
    std::vector<DWORD> found;
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return found;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    const DWORD self = GetCurrentProcessId();  // the host may run from the very path it ends
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == self) continue;
        const std::wstring image = LoweredImagePath(entry.th32ProcessID);
        if (!image.empty() && image.find(loweredPath) != std::wstring::npos) found.push_back(entry.th32ProcessID);
    }
    return found;
}

// Elevation asks for "runas" only where the system knows it: above major
// version 5, or when the version cannot be read.
bool SystemOffersRunAs() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    return !GetVersionExA(&version) || version.dwMajorVersion > 5;
}

}  // namespace

bool IsAddinVersionName(const std::wstring& name) {
    static const std::wregex pattern(L"[0-9]+[.]{1}[0-9]+[.]{1}[0-9]+", std::regex_constants::ECMAScript);
    std::wsmatch match;
    const std::wstring version = std::regex_search(name, match, pattern) ? match.str(0) : name;
    return !version.empty() && version == name;
}

std::wstring FindNewestAddin(const std::wstring& title) {
    const std::wstring& config = Host().hostConfigPath;
    const size_t slash = config.rfind(L'\\');
    const std::wstring base = slash == std::wstring::npos ? std::wstring() : config.substr(0, slash);
    const std::wstring folder = base + L"\\Addins\\" + title + L"\\";

    std::wstring newest, newestName;
    for (const std::wstring& name : ListSubfolderNames(folder + L"*")) {
        if (!IsAddinVersionName(name)) continue;
        const std::wstring candidate = folder + name;
        if (!BASUtilityFile::IsFileExist((candidate + L"\\Bin\\" + title + L".exe").c_str())) continue;
        if (newest.empty() ||
            BASUtilityString::CompareVersion(ToUtf8(newestName).c_str(), ToUtf8(name).c_str()) == -1) {
            newest = candidate;
            newestName = name;
        }
    }
    return newest;
}

void RunAndWait(const std::wstring& path, const std::wstring& arguments) {
    std::wstring commandLine = path + L" " + arguments;  // CreateProcessW may write into it
    STARTUPINFOW startup{};
    GetStartupInfoW(&startup);
    startup.dwFlags = 0;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &started))
        return;  // the update goes on without it
    UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);
    WaitForSingleObject(process.get(), INFINITE);
}

bool ShellLaunch(const std::wstring& path, const std::wstring& parameters, bool elevate) {
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
    execute.lpFile = path.c_str();
    execute.lpParameters = parameters.c_str();
    execute.nShow = SW_SHOWNORMAL;
    if (elevate && SystemOffersRunAs()) execute.lpVerb = L"runas";
    LOG(INFO) << "ShellExecuteEx: " << ToUtf8(path);
    if (!ShellExecuteExW(&execute)) return false;
    UniqueHandle process(execute.hProcess);
    WaitForSingleObject(process.get(), 1000);
    DWORD exitCode = 0;  // a launch that gave no process counts as ended with 0
    GetExitCodeProcess(process.get(), &exitCode);
    return exitCode != 0;
}

void EndRunningCopies(const std::wstring& path) {
    for (DWORD processId : ProcessesRunning(Lowered(path))) {
        UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
        if (process && TerminateProcess(process.get(), 0)) WaitForSingleObject(process.get(), 2000);
    }
}
