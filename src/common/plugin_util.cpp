#include "plugin_util.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>

#include "UniqueResource.h"
#include "Utf8.h"
#include "command_bus.h"
#include "logging.h"
#include "plugin_entry_call.h"
#include "plugin_image_check.h"
#include "plugin_review.h"
#include "plugin_manifest.h"

namespace {

// Never destroyed: plug-in threads may look modules up until the process ends.
struct ModuleTable {
    std::mutex lock;
    std::map<std::wstring, std::unique_ptr<ModuleRecord>, std::less<>> modules;  // guarded by lock
};

ModuleTable& Modules() {
    static ModuleTable* const table = new ModuleTable;
    return *table;
}

constexpr wchar_t kManifestName[] = L"plugin.load";
// Parse errors of manifests are reported from this one place, so that log
// readers find them under a stable location whatever the build's paths.
constexpr char kParseErrorSource[] = "src\\common\\plugin_util";
constexpr int kParseErrorLine = 153;

// An export as the function type it is known to have.
template <typename Function>
Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The module's name: the folder's last component, without the backslash.
std::wstring ModuleNameOf(std::wstring folder) {
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    size_t slash = folder.find_last_of(L"\\/");
    return slash == std::wstring::npos ? folder : folder.substr(slash + 1);
}

// A version folder that holds a manifest, with the manifest as read: each
// manifest is opened once, and its opening is the test that it exists.
struct VersionCandidate {
    std::string version;  // the folder's name, UTF-8
    ManifestFile manifest;
};

std::vector<VersionCandidate> ListVersionCandidates(const std::wstring& folder, bool& anyFolder) {
    std::vector<VersionCandidate> candidates;
    const std::vector<std::wstring> names = ListSubfolders(folder);
    anyFolder = !names.empty();
    for (const std::wstring& name : names) {
        ManifestFile manifest = ReadManifestFile(folder + name + L"\\" + kManifestName);
        if (manifest.found) candidates.push_back({ToUtf8(name), std::move(manifest)});
    }
    return candidates;
}

// The folder of the running program, where the loader also finds a
// plug-in's dependencies.
std::wstring HostFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length < MAX_PATH ? length : 0);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

// Why a library that failed a quick check or the load is refused, told as
// the checker tells it; fallback when the review finds nothing worse.
Finding ReasonForLibrary(const std::wstring& libraryPath, Finding fallback) {
    const size_t slash = libraryPath.find_last_of(L"\\/");
    const LibrarySearch search = MakeLibrarySearch(libraryPath.substr(0, slash + 1), HostFolder());
    for (const Finding& finding : ReviewLibrary(libraryPath, search)) {
        if (finding.level == FindingLevel::Skipped) return finding;
    }
    return fallback;
}

std::wstring FullPath(const std::wstring& path) {
    DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return path;
    std::wstring full(needed, L'\0');
    DWORD written = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    full.resize(written < needed ? written : 0);
    return full.empty() ? path : full;
}

// Opens the library for reading while denying writers and deleters, so the
// file that was checked is the file that gets loaded, and checks its headers.
// The returned handle must stay open until the library is loaded. Empty
// reason when the file is a 32-bit x86 DLL.
std::string OpenAndCheckLibrary(const std::wstring& path, UniqueHandle& held) {
    held = UniqueHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!held) return "cannot be opened (error " + std::to_string(GetLastError()) + ")";
    unsigned char head[kPluginImageHeadSize];
    DWORD read = 0;
    if (!ReadFile(held.get(), head, sizeof head, &read, nullptr)) return "cannot be read";
    return CheckPluginImage(head, read);
}

// One line per version folder the loader skips, with the reason the checker
// gives for it, so a user's log tells the plug-in's author what to fix.
void LogSkipped(const std::wstring& module, const std::string& version, const Finding& reason) {
    LOG(ERROR) << "Plug-in " << ToUtf8(module) << (version.empty() ? "" : "\\" + version)
               << " skipped: " << DescribeFinding(reason);
}

// Tries one version folder; true when the module was loaded from it,
// otherwise reason says why not.
bool LoadVersion(const std::wstring& name, const std::wstring& versionFolder, const ManifestFile& manifest,
                 const LoadOptions& options, Finding& reason) {
    const std::wstring manifestPath = versionFolder + kManifestName;
    if (!manifest.read) {
        reason = UnreadableManifest(ToUtf8(manifestPath), manifest.error);
        return false;
    }
    ManifestReading reading = ParsePluginManifest(manifest.text.c_str());
    if (!reading.ok) {
        std::vector<Finding> findings;
        ReviewManifest(manifest.text, findings);
        reason = Finding{FindingLevel::Skipped, "manifest-refused", reading.refusal, "correct plugin.load"};
        for (const Finding& finding : findings) {
            if (finding.level == FindingLevel::Skipped) {
                reason = finding;
                break;
            }
        }
        return false;
    }

    const std::wstring libraryPath = FullPath(versionFolder + FromUtf8(reading.manifest.libraryPath));
    UniqueHandle held;
    if (std::string refusal = OpenAndCheckLibrary(libraryPath, held); !refusal.empty()) {
        reason = ReasonForLibrary(libraryPath, Finding{FindingLevel::Skipped, "library-refused",
                                                       ToUtf8(libraryPath) + " " + refusal, "build a 32-bit DLL"});
        return false;
    }
    HMODULE library = LoadPluginLibrary(libraryPath);
    const DWORD loadError = GetLastError();
    held.reset();
    if (!library) {
        reason = ReasonForLibrary(libraryPath, LoadFailed(ToUtf8(libraryPath), loadError));
        return false;
    }
    AddPermanentModule(library);  // libraries are never unloaded
    // A library without the entry point stays loaded: libraries are never
    // unloaded, whatever became of them.
    auto registerModule = Export<RegisterModuleFunction>(library, LUMAREST_ENTRY_POINT_NAME);
    if (!registerModule) {
        reason = ReasonForLibrary(libraryPath, Finding{FindingLevel::Skipped, "export-missing",
                                                       ToUtf8(libraryPath) + " does not export \"RegisterModule\"",
                                                       "export RegisterModule undecorated"});
        return false;
    }

    auto record = std::make_unique<ModuleRecord>(std::move(reading.manifest.record));
    record->libraryPath = ToUtf8(libraryPath);
    CommandEndpoint* endpoint = NewEndpoint(library);
    // Outside the lock: the module may send from here, reaching the modules
    // registered so far.
    if (options.beforeEntryCall) options.beforeEntryCall(name);
    CallRegisterModule(registerModule, endpoint, library, ToUtf8(name));
    if (options.afterEntryCall) options.afterEntryCall(name);
    LOG(INFO) << "Plug-in " << ToUtf8(name) << " " << record->version << " loaded from " << record->libraryPath;
    AddModule(name.c_str(), std::move(record), endpoint);
    return true;
}

}  // namespace

void HardenDllSearchPath() {
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    auto setDefault =
        Export<SetDefaultDllDirectoriesFunction>(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    // Older systems lack it; removing the current directory still helps there.
    if (setDefault && !setDefault(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS))
        LOG(ERROR) << "SetDefaultDllDirectories failed (error " << GetLastError() << ")";
    SetDllDirectoryW(L"");
}

std::vector<std::wstring> ListSubfolders(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    const UniqueFindHandle search(FindFirstFileW((folder + L"*").c_str(), &entry));
    if (!search) return names;  // a missing folder lists nothing
    do {
        std::wstring_view name = entry.cFileName;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..")
            names.emplace_back(name);
    } while (FindNextFileW(search.get(), &entry));
    return names;
}

void LoadPlugin(const std::wstring& folder) { LoadPlugin(folder, LoadOptions{}); }

void LoadPlugin(const std::wstring& folder, const LoadOptions& options) {
    const std::wstring name = ModuleNameOf(folder);
    if (FindModule(name.c_str())) return;  // a module is loaded once
    bool anyFolder = false;
    const std::vector<VersionCandidate> candidates = ListVersionCandidates(folder, anyFolder);
    if (candidates.empty()) {
        LogSkipped(name, "", NoCandidate(ToUtf8(name), anyFolder));
        return;
    }
    std::vector<std::string> versions;
    for (const VersionCandidate& candidate : candidates) versions.push_back(candidate.version);
    for (const std::string& version : OrderVersionCandidates(versions)) {
        const auto candidate = std::find_if(candidates.begin(), candidates.end(),
                                            [&](const VersionCandidate& c) { return c.version == version; });
        Finding reason;
        if (LoadVersion(name, folder + FromUtf8(version) + L"\\", candidate->manifest, options, reason)) return;
        if (reason.code == "manifest-parse") {
            // Parse errors are reported from one fixed place, so that log
            // readers find them under a stable location whatever the build's paths.
            google::LogMessage(kParseErrorSource, kParseErrorLine, google::GLOG_ERROR).stream()
                << "Plug-in " << ToUtf8(name) << "\\" << version << " skipped: " << DescribeFinding(reason);
        } else {
            LogSkipped(name, version, reason);
        }
    }
}

// Loads the library so that its own dependencies are looked up in its folder
// first, then in the application's and the system's folders. Systems without
// the LOAD_LIBRARY_SEARCH flags get the older altered search path, which also
// starts at the library's folder.
HMODULE LoadPluginLibrary(const std::wstring& fullPath) {
    const bool searchFlagsSupported = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "AddDllDirectory") != nullptr;
    if (searchFlagsSupported) {
        HMODULE module = LoadLibraryExW(fullPath.c_str(), nullptr,
                                        LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
        if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
    }
    return LoadLibraryExW(fullPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

bool AddModule(const wchar_t* name, std::unique_ptr<ModuleRecord> record, CommandEndpoint* endpoint) {
    if (!name || !record) return false;
    ModuleTable& table = Modules();
    // The bus takes its own lock inside RegisterEndpoint; it never calls back
    // into the loader, so this order cannot deadlock.
    std::lock_guard guard(table.lock);
    const auto [entry, added] = table.modules.try_emplace(name, std::move(record));
    if (!added) return false;
    // A name a manifest lists twice is delivered once: one endpoint per
    // module and name.
    std::vector<std::string>& receives = entry->second->receives;
    std::vector<std::string> once;
    for (const std::string& command : receives) {
        if (std::find(once.begin(), once.end(), command) == once.end()) once.push_back(command);
    }
    receives = std::move(once);
    if (endpoint) {
        for (const std::string& command : receives) RegisterEndpoint(command.c_str(), endpoint);
    }
    return true;
}

ModuleRecord* FindModule(const wchar_t* name) {
    if (!name) return nullptr;
    ModuleTable& table = Modules();
    std::lock_guard guard(table.lock);
    const auto it = table.modules.find(std::wstring_view(name));
    return it == table.modules.end() ? nullptr : it->second.get();
}

ModuleRecord* RegisterHostModule(const wchar_t* name) {
    auto record = std::make_unique<ModuleRecord>();
    record->type = 2;
    record->id = ToUtf8(name ? name : L"");
    ModuleRecord* kept = record.get();
    return AddModule(name, std::move(record)) ? kept : FindModule(name);
}
