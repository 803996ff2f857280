// Finding and loading the plug-in modules at start-up.
//
// Plug-ins live under the product's plug-ins folder, one folder per module
// (its name is the module's name in the module table) and inside it one
// folder per installed version holding the manifest "plugin.load" and the
// library. One version of each module is loaded, the highest first; a version
// that fails falls back to the next.
#pragma once

#include <windows.h>

#include <lumarest/plugin.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "loaded_modules.h"
#include "module_record.h"
#include "plugin_entry_call.h"

struct Finding;
struct ManifestFile;

// How the bootstrap runs this time.
struct LoadOptions {
    // A module folder to leave out of this start (a safe start); empty: none.
    std::wstring leaveOut;
    // Told the module folder's name before each "RegisterModule" call, so that
    // a start that never finishes can be traced to its plug-in.
    std::function<void(const std::wstring& module)> beforeEntryCall;
    // Told the same name once "RegisterModule" has returned.
    std::function<void(const std::wstring& module)> afterEntryCall;
    // Told, on the thread that prepares the modules, once a module's library
    // is loaded.
    std::function<void(const std::wstring& module)> afterLibraryLoad;
};

// A module whose library is loaded and whose entry point was found: what is
// left is its "RegisterModule" call.
struct PreparedModule {
    std::wstring name;
    std::unique_ptr<ModuleRecord> record;
    HMODULE library = nullptr;
    RegisterModuleFunction registerModule = nullptr;
};

// Start-up's first step: DLLs that the process loads by name come from the
// application's folder and the system folders only, never from the current
// directory.
void HardenDllSearchPath();

// Loads a plug-in library as the loader does: its own dependencies are
// looked up in its folder first, then in the application's and the system's.
HMODULE LoadPluginLibrary(const std::wstring& fullPath);

// The loader: fills the one record of what is loaded (LoadedModules) and
// asks it, never a list of its own, whether a module is in.
class PluginLoader {
public:
    explicit PluginLoader(LoadOptions options = {}, LoadedModules& modules = LoadedModules::Instance());

    // The bootstrap in two halves. The first loads the library of every
    // module folder below the plug-ins folder, in listing order; it touches
    // no window, so it may run on a worker while the main window is made.
    // The second, on the main thread while the main window exists but is
    // hidden, calls each module's "RegisterModule" in the same order, then
    // records the host as the module "Product". The host registers its own
    // commands right after, so that for any command name the plug-ins'
    // endpoints come first.
    std::vector<PreparedModule> PreparePlugins();
    void RegisterPlugins(std::vector<PreparedModule> modules);
    // Both halves on the calling thread.
    void LoadPlugins();

    // Loads at most one version of the module in folder (a full path ending
    // in a backslash): the highest whose library loads and has the entry
    // point. Nothing when a module of that name is already loaded.
    std::optional<PreparedModule> PreparePlugin(const std::wstring& folder);
    void RegisterPlugin(PreparedModule module);
    void LoadPlugin(const std::wstring& folder) {
        if (std::optional<PreparedModule> module = PreparePlugin(folder)) RegisterPlugin(std::move(*module));
    }

    // Records a loaded module and registers endpoint (when given) on the bus
    // for each of its receive names, in order, in one step; false, and
    // nothing stored or registered, when the name is taken.
    bool AddModule(const std::wstring& name, std::unique_ptr<ModuleRecord> record, CommandEndpoint* endpoint);

private:
    std::optional<PreparedModule> PrepareVersion(const std::wstring& name, const std::wstring& versionFolder,
                                                 const ManifestFile& manifest, Finding& reason);

    LoadOptions options_;
    LoadedModules& modules_;
};
