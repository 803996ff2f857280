#include "loaded_modules.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <vector>

#include "Utf8.h"

HMODULE HostInstance() {
    static const HMODULE instance = GetModuleHandleW(nullptr);
    return instance;
}

LoadedModules& LoadedModules::Instance() {
    static LoadedModules* const modules = new LoadedModules;
    return *modules;
}

// Adders take the lock; readers only load the count, then the slots below it.
void LoadedModules::AddLibrary(HMODULE library) {
    if (!library) return;
    std::lock_guard guard(lock_);
    const size_t at = libraryCount_.load(std::memory_order_relaxed);
    if (at == std::size(libraries_)) return;
    libraries_[at].store(library, std::memory_order_relaxed);
    libraryCount_.store(at + 1, std::memory_order_release);
}

bool LoadedModules::IsPluginLibrary(HMODULE module) const {
    if (!module) return false;
    const size_t count = libraryCount_.load(std::memory_order_acquire);
    for (size_t i = 0; i < count; ++i) {
        if (libraries_[i].load(std::memory_order_relaxed) == module) return true;
    }
    return false;
}

bool LoadedModules::StaysLoaded(HMODULE module) const {
    return module && (module == HostInstance() || IsPluginLibrary(module));
}

bool LoadedModules::AddModule(const wchar_t* name, std::unique_ptr<ModuleRecord> record,
                              const std::function<void(const ModuleRecord&)>& publish) {
    if (!name || !record) return false;
    std::lock_guard guard(lock_);
    const auto [entry, added] = modules_.try_emplace(name, std::move(record));
    if (!added) return false;
    // A name a manifest lists twice is delivered once: one endpoint per
    // module and name.
    std::vector<std::string>& receives = entry->second->receives;
    std::vector<std::string> once;
    for (const std::string& command : receives) {
        if (std::find(once.begin(), once.end(), command) == once.end()) once.push_back(command);
    }
    receives = std::move(once);
    if (publish) publish(*entry->second);
    return true;
}

const ModuleRecord* LoadedModules::FindModule(const wchar_t* name) const {
    if (!name) return nullptr;
    std::lock_guard guard(lock_);
    const auto it = modules_.find(std::wstring_view(name));
    return it == modules_.end() ? nullptr : it->second.get();
}

const ModuleRecord* LoadedModules::RegisterHostModule(const wchar_t* name) {
    auto record = std::make_unique<ModuleRecord>();
    record->type = 2;
    record->id = ToUtf8(name ? name : L"");
    const ModuleRecord* kept = record.get();
    return AddModule(name, std::move(record)) ? kept : FindModule(name);
}
