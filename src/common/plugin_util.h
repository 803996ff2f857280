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
#include <string>
#include <vector>

#include "module_record.h"

// How the bootstrap runs this time.
struct LoadOptions {
    // A module folder to leave out of this start (a safe start); empty: none.
    std::wstring leaveOut;
    // Told the module folder's name before each "RegisterModule" call, so that
    // a start that never finishes can be traced to its plug-in.
    std::function<void(const std::wstring& module)> beforeEntryCall;
    // Told the same name once "RegisterModule" has returned.
    std::function<void(const std::wstring& module)> afterEntryCall;
};

// Start-up's first step: DLLs that the process loads by name come from the
// application's folder and the system folders only, never from the current
// directory.
void HardenDllSearchPath();

// The bootstrap: loads every module folder below the plug-ins folder, in
// listing order, then records the host as the module "Product". The host
// registers its own commands right after, so that for any command name the
// plug-ins' endpoints come first. Runs once, on the main thread, while the
// main window exists but is hidden.
void LoadPlugins(const LoadOptions& options);
void LoadPlugins();

// Loads at most one version of the module in folder (a full path ending in a
// backslash); does nothing when a module of that name is already loaded.
void LoadPlugin(const std::wstring& folder, const LoadOptions& options);
void LoadPlugin(const std::wstring& folder);

// Loads a plug-in library as the loader does: its own dependencies are
// looked up in its folder first, then in the application's and the system's.
HMODULE LoadPluginLibrary(const std::wstring& fullPath);

// The names of the subfolders of folder (ending in a backslash), "." and ".."
// left out, in the order in which the file system lists them.
std::vector<std::wstring> ListSubfolders(const std::wstring& folder);

// The module table: what was loaded, by module folder name. Names compare as
// exact UTF-16 code units. Records live until the process ends. The table
// has its own lock, and a module is stored and its receive names registered
// under it in one step, so whoever finds a module finds it ready.

// Stores record under name and registers endpoint (when given) on the bus
// for each of record->receives, in order; false, and nothing stored or
// registered, when the name is taken.
bool AddModule(const wchar_t* name, std::unique_ptr<ModuleRecord> record, CommandEndpoint* endpoint = nullptr);
// The record stored under name, or null.
ModuleRecord* FindModule(const wchar_t* name);
// Records the host itself as a module of type 2 whose id is name in UTF-8
// (normally "Product"); the record already stored when the name is taken.
ModuleRecord* RegisterHostModule(const wchar_t* name);
