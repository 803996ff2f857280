#include "app_lifecycle.h"

#include <winsock2.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdlib>
#include <cwchar>

#include "BASUtility.h"
#include "FolderListing.h"
#include "Utf8.h"
#include "common/log_rate_limit.h"
#include "common/logging.h"
#include "host_state.h"
#include "product_identity.h"

HostState& Host() {
    static HostState state;
    return state;
}

std::wstring InstanceMutexName() {
    return L"Global_" + ProductIdentity::ProductTitle() + L"_" + ProductIdentity::Version();
}

bool SingleInstance::AnotherIsRunning(const std::wstring& name) {
    UniqueHandle existing(OpenMutexW(SYNCHRONIZE, FALSE, name.c_str()));
    return static_cast<bool>(existing);
}

SingleInstance::SingleInstance(const std::wstring& name) : mutex_(CreateMutexW(nullptr, TRUE, name.c_str())) {
    anotherWasFirst_ = mutex_ && GetLastError() == ERROR_ALREADY_EXISTS;
}

CommandLineArgs::CommandLineArgs(const wchar_t* commandLine) {
    // CommandLineToArgvW turns an empty line into the program's own path.
    if (commandLine && *commandLine) argv_ = CommandLineToArgvW(commandLine, &count_);
    if (!argv_) count_ = 0;
    int kept = 0;
    for (int i = 0; i < count_; ++i) {
        if (wcscmp(argv_[i], kStartupTraceSwitch) == 0) startupTrace_ = true;
        else if (wcscmp(argv_[i], kBusTraceSwitch) == 0) busTrace_ = true;
        else argv_[kept++] = argv_[i];
    }
    count_ = kept;
}

CommandLineArgs::~CommandLineArgs() {
    if (argv_) LocalFree(argv_);
}

std::wstring LogFolderPath(const std::wstring& tempPath, const std::wstring& maker, const std::wstring& date) {
    return tempPath + maker + L"\\" + date;
}

std::wstring NowFormatted(const char* format) {
    char buffer[64];
    BASUtilitySys::GetNowDateTime(buffer, sizeof buffer, format);
    return std::wstring(buffer, buffer + strlen(buffer));
}

std::wstring CreateTodaysLogFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    std::wstring folder = LogFolderPath(temp, ProductIdentity::MakerName(), NowFormatted("%Y%m%d"));
    // An existing folder is fine; a failure leaves the run without log files.
    BASUtilityFile::CreateFolderTree(folder.c_str());
    return folder;
}

namespace {
std::string ToAnsi(const std::wstring& text) {
    char* ansi = BASUtilityString::ConvertUtf8ToAnsi(ToUtf8(text).c_str());
    std::string out = ansi ? ansi : "";
    BASUtilityString::Free(ansi);
    return out;
}
}  // namespace

LogGuard::LogGuard(const std::wstring& logFolder) {
    wchar_t* module = BASUtilityApp::GetAppModule();
    std::wstring path = module;
    BASUtilityString::Free(module);
    programName_ = ToAnsi(path.substr(path.find_last_of(L'\\') + 1));
    logFolder_ = ToAnsi(logFolder);
    google::InitGoogleLogging(programName_.c_str());
    FLAGS_max_log_size = 20;
    FLAGS_log_dir = logFolder_;
}

LogGuard::~LogGuard() {
    if (Host().logShutFlag) return;
    FlushSuppressedLogLines();
    LOG(INFO) << "OnDestroy";
    Host().logShutFlag = true;
    google::ShutdownGoogleLogging();
}

ProcessServices::Winsock::Winsock() {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
}

ProcessServices::Winsock::~Winsock() { WSACleanup(); }

ProcessServices::Com::Com() { CoInitialize(nullptr); }

ProcessServices::Com::~Com() { CoUninitialize(); }

bool RemoveLogFolderIfEmpty(const std::wstring& dumpPath) {
    size_t slash = dumpPath.find_last_of(L'\\');
    if (slash == std::wstring::npos) return false;
    std::wstring folder = dumpPath.substr(0, slash);
    return ListFolder(folder + L"\\*.*").empty() && RemoveDirectoryW(folder.c_str());
}
