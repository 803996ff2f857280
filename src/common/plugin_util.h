// Finding and loading the plug-in modules at start-up.
//
// Plug-ins live under the product's plug-ins folder, one folder per module
// (its name is the module's name in the module table) and inside it one
// folder per installed version holding the manifest "plugin.load" and the
// library. One version of each module is loaded, the highest first; a version
// that fails falls back to the next.
#pragma once

#include <string>
#include <vector>

// Start-up's first step: DLLs that the process loads by name come from the
// application's folder and the system folders only, never from the current
// directory.
void HardenDllSearchPath();

// The bootstrap: loads every module folder below the plug-ins folder, in
// listing order, then records the host as the module "Product". The host
// registers its own commands right after, so that for any command name the
// plug-ins' endpoints come first. Runs once, on the main thread, while the
// main window is being created.
void LoadPlugins();

// Loads at most one version of the module in folder (a full path ending in a
// backslash); does nothing when a module of that name is already loaded.
void LoadPlugin(const std::wstring& folder);

// The names of the subfolders of folder (ending in a backslash), "." and ".."
// left out, in the order in which the file system lists them.
std::vector<std::wstring> ListSubfolders(const std::wstring& folder);
