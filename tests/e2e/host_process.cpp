#include "host_process.h"

#include <cstdio>
#include <map>

namespace {

std::wstring WithoutTrailingSlash(std::wstring path) {
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return path;
}

// Sets each variable in this process (an empty value removes it) and
// returns the values they had.
std::map<std::wstring, std::wstring> SetEnvironment(const std::map<std::wstring, std::wstring>& values) {
    std::map<std::wstring, std::wstring> old;
    for (const auto& [name, value] : values) {
        old[name] = EnvironmentText(name.c_str());
        SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
    }
    return old;
}

// A hard link where the file system allows one (the copies are many and the
// program is megabytes), else a copy.
void LinkOrCopy(const std::wstring& from, const std::wstring& to) {
    if (!CreateHardLinkW(to.c_str(), from.c_str(), nullptr)) CopyFileW(from.c_str(), to.c_str(), FALSE);
}

// Copies a file or a whole folder; a missing source copies nothing.
void CopyTree(const std::wstring& from, const std::wstring& to) {
    const DWORD attributes = GetFileAttributesW(from.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return LinkOrCopy(from, to);
    CreateDirectoryW(to.c_str(), nullptr);
    for (const std::wstring& name : EntriesOf(from)) CopyTree(from + L"\\" + name, to + L"\\" + name);
}

struct TopLevelSearch {
    DWORD process;  // 0: any process
    const wchar_t* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<TopLevelSearch*>(parameter);
    DWORD owner = 0;
    wchar_t name[64] = {};
    GetWindowThreadProcessId(window, &owner);
    GetClassNameW(window, name, 64);
    if ((search->process == 0 || owner == search->process) && IsWindowVisible(window) &&
        wcscmp(name, search->className) == 0)
        search->found.push_back(window);
    return TRUE;
}

// The main frame, not its shadow, which is a visible top-level window of the
// process too.
HWND MainFrame(DWORD process) {
    const std::vector<HWND> frames = TopLevels(process, L"LumarestMainFrame");
    return frames.empty() ? nullptr : frames.front();
}

}  // namespace

std::vector<HWND> TopLevels(DWORD process, const wchar_t* className) {
    TopLevelSearch search{process, className, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring HostProcess::DefaultExePath() { return EnvironmentText(L"LUMAREST_EXE"); }

HostProcess::HostProcess(Options options) : options_(std::move(options)) {
    if (options_.exePath.empty()) options_.exePath = DefaultExePath();
    // The build's installation tree is the program's own folder.
    if (options_.installFrom.empty())
        options_.installFrom = options_.exePath.substr(0, options_.exePath.find_last_of(L"\\/"));
    installDir_ = options_.inPlace ? WithoutTrailingSlash(options_.installFrom) : install_.Path();
}

HostProcess::~HostProcess() {
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.get(), 99);
        WaitForSingleObject(process_.get(), 10000);
    }
}

void HostProcess::Install() {
    if (installed_) return;
    installed_ = true;
    // An installation made by the setup runs as the setup left it; only the
    // test's plug-ins are added.
    if (!options_.inPlace) {
        LinkOrCopy(options_.exePath, installDir_ + L"\\Lumarest.exe");
        for (const wchar_t* part : {L"Option.json", L"I18n", L"Resources"})
            CopyTree(WithoutTrailingSlash(options_.installFrom) + L"\\" + part, installDir_ + L"\\" + part);
    }
    if (!options_.pluginsFrom.empty()) CopyTree(WithoutTrailingSlash(options_.pluginsFrom), installDir_ + L"\\Plugins");
}

bool HostProcess::Start() {
    Install();
    const std::wstring exe = installDir_ + L"\\Lumarest.exe";
    std::map<std::wstring, std::wstring> overrides;
    // A crash must end the run at once, not start Wine's debugger, which
    // would hold the test's output open.
    overrides[L"WINEDLLOVERRIDES"] = L"winedbg.exe=d";
    if (!options_.tempDir.empty()) {
        overrides[L"TMP"] = options_.tempDir;
        overrides[L"TEMP"] = options_.tempDir;
    }
    for (const auto& [name, value] : options_.environment) overrides[name] = value;
    // The program inherits the variables; the old values come back after.
    const std::map<std::wstring, std::wstring> old = SetEnvironment(overrides);
    process_ = StartProgram(exe, options_.arguments, nullptr, &processId_);
    SetEnvironment(old);
    return static_cast<bool>(process_);
}

UniqueHandle StartProgram(const std::wstring& program, const std::wstring& arguments, UniqueHandle* output,
                          DWORD* processId) {
    std::wstring line = L"\"" + program + L"\" " + arguments;  // CreateProcessW may write into it
    STARTUPINFOW startup{sizeof startup};
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (output) {
        if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return {};
        output->reset(readEnd);
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION started{};
    const BOOL made = CreateProcessW(nullptr, line.data(), nullptr, nullptr, output != nullptr, 0, nullptr, nullptr,
                                     &startup, &started);
    if (writeEnd) CloseHandle(writeEnd);  // the child's copy is the only one left: reads end with its exit
    if (!made) return {};
    CloseHandle(started.hThread);
    if (processId) *processId = started.dwProcessId;
    return UniqueHandle(started.hProcess);
}

DWORD RunToEnd(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs, std::string* output) {
    UniqueHandle reader;
    const UniqueHandle process = StartProgram(program, arguments, output ? &reader : nullptr);
    if (!process) return ~0u;
    char buffer[4096];
    DWORD read = 0;
    while (output && ReadFile(reader.get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
        output->append(buffer, read);
    if (WaitForSingleObject(process.get(), timeoutMs) == WAIT_TIMEOUT) TerminateProcess(process.get(), STILL_ACTIVE);
    DWORD code = ~0u;
    GetExitCodeProcess(process.get(), &code);
    return code;
}

HWND HostProcess::WaitForMainWindow(DWORD timeoutMs, DWORD pollMs) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        if (HWND frame = MainFrame(processId_)) return frame;
        if (WaitForSingleObject(process_.get(), pollMs) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
}

bool HostProcess::RequestClose() {
    HWND frame = MainFrame(processId_);
    return frame && PostMessageW(frame, WM_CLOSE, 0, 0);
}

DWORD HostProcess::WaitForExit(DWORD timeoutMs) {
    if (!process_) return STILL_ACTIVE;
    WaitForSingleObject(process_.get(), timeoutMs);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

std::wstring HostProcess::LogFolder() const {
    std::wstring temp = options_.tempDir;
    if (temp.empty()) {
        wchar_t buffer[MAX_PATH + 1];
        GetTempPathW(MAX_PATH + 1, buffer);
        temp = buffer;
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t date[16];
    swprintf(date, 16, L"%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
    return WithoutTrailingSlash(temp) + L"\\Zentrovia\\" + date;
}

std::string HostProcess::ReadLogs() const {
    std::string text;
    const std::wstring folder = LogFolder();
    for (const std::wstring& name : EntriesOf(folder))
        if (name.find(L".log.INFO.") != std::wstring::npos) text += ReadTextFile(folder + L"\\" + name);
    return text;
}
