#include "plugin_util.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "FolderListing.h"
#include "UniqueResource.h"
#include "Utf8.h"
#include "command_bus.h"
#include "logging.h"
#include "plugin_entry_call.h"
#include "plugin_image_check.h"
#include "plugin_review.h"
#include "plugin_manifest.h"

namespace {

// Parse errors of manifests are reported from this one place, so that log
// readers find them under a stable location whatever the build's paths.
constexpr char kParseErrorSource[] = "src\\common\\plugin_util";
constexpr int kParseErrorLine = 153;

// An export as the function type it is known to have.
template <typename Function>
Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// A version folder that holds a manifest, with the manifest as read: each
// manifest is opened once, and its opening is the test that it exists.
struct VersionCandidate {
    std::string version;  // the folder's name, UTF-8
    ManifestFile manifest;
};

std::vector<VersionCandidate> ListVersionCandidates(const std::wstring& folder, bool& anyFolder) {
    std::vector<VersionCandidate> candidates;
    const std::vector<std::wstring> names = ListSubfolderNames(folder + L"*");
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

// Tries one version folder: the module prepared from it, or nothing and
// reason says why not.
std::optional<PreparedModule> PluginLoader::PrepareVersion(const std::wstring& name, const std::wstring& versionFolder,
                                                           const ManifestFile& manifest, Finding& reason) {
    const std::wstring manifestPath = versionFolder + kManifestName;
    if (!manifest.read) {
        reason = UnreadableManifest(ToUtf8(manifestPath), manifest.error);
        return std::nullopt;
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
        return std::nullopt;
    }

    const std::wstring libraryPath = ManifestLibraryPath(versionFolder, reading.manifest.libraryPath);
    UniqueHandle held;
    if (std::string refusal = OpenAndCheckLibrary(libraryPath, held); !refusal.empty()) {
        reason = ReasonForLibrary(libraryPath, Finding{FindingLevel::Skipped, "library-refused",
                                                       ToUtf8(libraryPath) + " " + refusal, "build a 32-bit DLL"});
        return std::nullopt;
    }
    HMODULE library = LoadPluginLibrary(libraryPath);
    const DWORD loadError = GetLastError();
    held.reset();
    if (!library) {
        reason = ReasonForLibrary(libraryPath, LoadFailed(ToUtf8(libraryPath), loadError));
        return std::nullopt;
    }
    // Recorded at once: libraries are never unloaded, also one without the
    // entry point, whatever became of them.
    modules_.AddLibrary(library);
    auto registerModule = Export<RegisterModuleFunction>(library, LUMAREST_ENTRY_POINT_NAME);
    if (!registerModule) {
        reason = ReasonForLibrary(libraryPath, Finding{FindingLevel::Skipped, "export-missing",
                                                       ToUtf8(libraryPath) + " does not export \"RegisterModule\"",
                                                       "export RegisterModule undecorated"});
        return std::nullopt;
    }
    if (options_.afterLibraryLoad) options_.afterLibraryLoad(name);
    auto record = std::make_unique<ModuleRecord>(std::move(reading.manifest.record));
    record->libraryPath = ToUtf8(libraryPath);
    return PreparedModule{name, std::move(record), library, registerModule};
}

void PluginLoader::RegisterPlugin(PreparedModule module) {
    CommandEndpoint* endpoint = NewEndpoint(module.library);
    // Outside the lock: the module may send from here, reaching the modules
    // registered so far.
    if (options_.beforeEntryCall) options_.beforeEntryCall(module.name);
    CallRegisterModule(module.registerModule, endpoint, ToUtf8(module.name));
    if (options_.afterEntryCall) options_.afterEntryCall(module.name);
    LOG(INFO) << "Plug-in " << ToUtf8(module.name) << " " << module.record->version << " loaded from "
              << module.record->libraryPath;
    AddModule(module.name, std::move(module.record), endpoint);
}

PluginLoader::PluginLoader(LoadOptions options, LoadedModules& modules)
    : options_(std::move(options)), modules_(modules) {}

std::optional<PreparedModule> PluginLoader::PreparePlugin(const std::wstring& folder) {
    const std::wstring name = ModuleFolderName(folder);
    if (modules_.FindModule(name.c_str())) return std::nullopt;  // a module is loaded once
    bool anyFolder = false;
    const std::vector<VersionCandidate> candidates = ListVersionCandidates(folder, anyFolder);
    if (candidates.empty()) {
        LogSkipped(name, "", NoCandidate(ToUtf8(name), anyFolder));
        return std::nullopt;
    }
    std::vector<std::string> versions;
    for (const VersionCandidate& candidate : candidates) versions.push_back(candidate.version);
    for (const std::string& version : OrderVersionCandidates(versions)) {
        const auto candidate = std::find_if(candidates.begin(), candidates.end(),
                                            [&](const VersionCandidate& c) { return c.version == version; });
        Finding reason;
        if (auto prepared = PrepareVersion(name, folder + FromUtf8(version) + L"\\", candidate->manifest, reason))
            return prepared;
        if (reason.code == "manifest-parse") {
            // Parse errors are reported from one fixed place, so that log
            // readers find them under a stable location whatever the build's paths.
            google::LogMessage(kParseErrorSource, kParseErrorLine, google::GLOG_ERROR).stream()
                << "Plug-in " << ToUtf8(name) << "\\" << version << " skipped: " << DescribeFinding(reason);
        } else {
            LogSkipped(name, version, reason);
        }
    }
    return std::nullopt;
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

// The bus takes its own lock inside RegisterEndpoint and asks the loaded
// modules nothing that locks, so this order cannot deadlock.
bool PluginLoader::AddModule(const std::wstring& name, std::unique_ptr<ModuleRecord> record,
                             CommandEndpoint* endpoint) {
    return modules_.AddModule(name.c_str(), std::move(record), [endpoint](const ModuleRecord& stored) {
        if (!endpoint) return;
        for (const std::string& command : stored.receives) RegisterEndpoint(command.c_str(), endpoint);
    });
}
