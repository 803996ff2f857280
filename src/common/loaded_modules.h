// What is loaded: the plug-in libraries the loader mapped and the module
// records by folder name. One object per process, never destroyed: libraries
// are never unloaded, and plug-in threads may look modules up, and the bus
// and the fault handler ask about libraries, until the process ends. Every
// other part asks it rather than keeping a list of its own.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "module_record.h"

// The host's own module handle: the sender of the host's commands and the
// owner of its endpoints.
HMODULE HostInstance();

class LoadedModules {
public:
    static LoadedModules& Instance();
    LoadedModules(const LoadedModules&) = delete;
    LoadedModules& operator=(const LoadedModules&) = delete;

    // Keeps library as a plug-in library until the process ends; the loader
    // adds each library it maps at once, also one whose entry point is
    // missing, since none is ever unloaded.
    void AddLibrary(HMODULE library);
    // Whether module is a plug-in library. Any thread, without a lock, so an
    // exception handler may ask too.
    bool IsPluginLibrary(HMODULE module) const;
    // Whether module stays mapped until the process ends (the host's image or
    // a plug-in library), so texts in its read-only data never change.
    bool StaysLoaded(HMODULE module) const;

    // Stores record under name (each receive name kept once), then, under the
    // table's lock, hands the stored record to publish, so that whoever finds
    // a module finds it published; false, and nothing stored or published,
    // when the name is taken. Names compare as exact UTF-16 code units.
    bool AddModule(const wchar_t* name, std::unique_ptr<ModuleRecord> record,
                   const std::function<void(const ModuleRecord&)>& publish = {});
    // The record stored under name, or null.
    const ModuleRecord* FindModule(const wchar_t* name) const;
    // Records the host itself as a module of type 2 whose id is name in UTF-8
    // (normally "Product"); the record already stored when the name is taken.
    const ModuleRecord* RegisterHostModule(const wchar_t* name);

private:
    LoadedModules() = default;

    // Append-only and read without a lock; a library past the last slot goes
    // unrecorded, which costs only the fault report's naming and the bus's
    // fast path for its texts.
    std::atomic<size_t> libraryCount_{0};
    std::atomic<HMODULE> libraries_[512] = {};

    mutable std::mutex lock_;
    std::map<std::wstring, std::unique_ptr<ModuleRecord>, std::less<>> modules_;  // guarded by lock_
};
