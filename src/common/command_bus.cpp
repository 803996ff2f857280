#include "command_bus.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "logging.h"

namespace {

struct EndpointList {
    explicit EndpointList(std::string n) : name(std::move(n)) {}
    const std::string name;
    std::vector<CommandEndpoint*> endpoints;  // guarded by the registry lock
};

// A posted continuation: the function and the C-heap record it owns.
struct MainThreadCall {
    void (*function)(BASObserveData*);
    BASObserveData* record;
    void operator()() const { function(record); }
};

class CommandRegistry {
public:
    CommandRegistry() { pthread_mutex_init(&lock_, nullptr); }

    void Lock() { pthread_mutex_lock(&lock_); }
    void Unlock() { pthread_mutex_unlock(&lock_); }

    // The list for name, or null. Lists are never removed, so a list found
    // once stays valid. Two lookaside tables keep the common case off the
    // lock and the hash table, keyed by the address of the name text a sender
    // used:
    // - names that lie in a read-only section of a module that is never
    //   unloaded (the host, a loaded plug-in: in practice every literal)
    //   cannot change, so the address alone identifies them;
    // - any other name is checked against the list's own name first, so a
    //   reused buffer never maps to the wrong list.
    EndpointList* Find(const char* name) {
        const size_t slot = Slot(name);
        const FixedName* fixed = fixedNames_[slot].load(std::memory_order_acquire);
        if (fixed && fixed->text == name) return fixed->list;
        EndpointList* cached = lookaside_[slot].load(std::memory_order_acquire);
        if (cached && std::strcmp(cached->name.c_str(), name) == 0) return cached;
        Lock();
        auto it = lists_.find(name);
        EndpointList* list = it == lists_.end() ? nullptr : it->second.get();
        Unlock();
        if (!list) return nullptr;
        lookaside_[slot].store(list, std::memory_order_release);
        // The module query takes the system's loader lock: never under ours.
        if (HMODULE module = FixedTextModule(name)) {
            Lock();
            const FixedName* remembered = IsPermanent(module) ? Remember(name, list) : nullptr;
            Unlock();
            if (remembered) fixedNames_[slot].store(remembered, std::memory_order_release);
        }
        return list;
    }

    // With the lock held: a module whose text may key the fixed-name table.
    void AddPermanentModule(HMODULE module) { permanentModules_.push_back(module); }

    // With the lock held.
    void Append(const char* name, CommandEndpoint* endpoint) {
        auto& list = lists_[name];
        if (!list) list = std::make_unique<EndpointList>(name);
        list->endpoints.push_back(endpoint);
    }

    size_t Count(EndpointList* list) {
        Lock();
        size_t n = list->endpoints.size();
        Unlock();
        return n;
    }

    CommandEndpoint* At(EndpointList* list, size_t i) {
        Lock();
        CommandEndpoint* endpoint = list->endpoints[i];
        Unlock();
        return endpoint;
    }

    std::map<std::wstring, std::unique_ptr<ModuleRecord>> modules;  // guarded
    std::map<std::string, Gdiplus::Bitmap*> images;                 // main thread at start-up
    std::map<std::string, char*> urls;                              // main thread at start-up
    std::atomic<HWND> mainWindow{nullptr};

private:
    // Mixes the address's low bits so literals packed next to each other
    // land in different slots; a mask, not a division, on every send.
    static size_t Slot(const char* name) {
        uintptr_t address = reinterpret_cast<uintptr_t>(name);
        return (address ^ address >> 7) & (kLookasideSlots - 1);
    }

    // A name text at a fixed address, and its list; never freed.
    struct FixedName {
        const char* text;
        EndpointList* list;
    };

    // The module whose read-only image memory holds the whole text, or null
    // when the text is anywhere else (stack, heap, writable data).
    static HMODULE FixedTextModule(const char* name) {
        MEMORY_BASIC_INFORMATION region{};
        if (!VirtualQuery(name, &region, sizeof region) || region.Type != MEM_IMAGE) return nullptr;
        const DWORD access = region.Protect & 0xFF;
        if (access != PAGE_READONLY && access != PAGE_EXECUTE_READ) return nullptr;
        const char* regionEnd = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (static_cast<size_t>(regionEnd - name) <= std::strlen(name)) return nullptr;
        HMODULE module = nullptr;
        if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                reinterpret_cast<LPCWSTR>(name), &module))
            return nullptr;
        return module;
    }

    // With the lock held: a module that stays loaded until the process ends.
    bool IsPermanent(HMODULE module) const {
        return module == HostInstance() ||
               std::find(permanentModules_.begin(), permanentModules_.end(), module) != permanentModules_.end();
    }

    // With the lock held: one entry per address, reused, so the table's
    // memory is bounded by the number of distinct literals.
    const FixedName* Remember(const char* name, EndpointList* list) {
        auto& entry = fixedByAddress_[name];
        if (!entry) entry = std::make_unique<FixedName>(FixedName{name, list});
        return entry.get();
    }

    static constexpr size_t kLookasideSlots = 64;
    pthread_mutex_t lock_;
    std::unordered_map<std::string, std::unique_ptr<EndpointList>> lists_;
    std::unordered_map<const char*, std::unique_ptr<FixedName>> fixedByAddress_;
    std::vector<HMODULE> permanentModules_;
    std::atomic<EndpointList*> lookaside_[kLookasideSlots] = {};
    std::atomic<const FixedName*> fixedNames_[kLookasideSlots] = {};
};

pthread_once_t registryOnce = PTHREAD_ONCE_INIT;
std::atomic<CommandRegistry*> registry{nullptr};

// Lives until the process ends.
void CreateRegistry() { registry.store(new CommandRegistry, std::memory_order_release); }

// Every send passes here, so the created registry is found with one load;
// pthread_once settles the race of the first uses.
CommandRegistry& Registry() {
    CommandRegistry* created = registry.load(std::memory_order_acquire);
    if (!created) {
        pthread_once(&registryOnce, CreateRegistry);
        created = registry.load(std::memory_order_acquire);
    }
    return *created;
}

template <bool StopWhenHandled>
void Deliver(BASObserveData* record) {
    if (!record || !record->sender || !record->command) return;
    CommandRegistry& reg = Registry();
    EndpointList* list = reg.Find(record->command);
    if (!list) return;
    // Endpoints registered after this point wait for the next delivery.
    const size_t count = reg.Count(list);
    for (size_t i = 0; i < count; ++i) {
        CommandEndpoint* endpoint = reg.At(list, i);
        if (endpoint->owner == record->sender || !endpoint->receive) continue;
        endpoint->receive(record);
        if (StopWhenHandled && record->value != 0) return;
    }
}

}  // namespace

HMODULE HostInstance() {
    static const HMODULE instance = GetModuleHandleW(nullptr);
    return instance;
}

void __cdecl Broadcast(BASObserveData* record) { Deliver<false>(record); }

void SendUntilHandled(BASObserveData* record) { Deliver<true>(record); }

void HostSend(BASObserveData* record) {
    if (!record) return;
    record->sender = HostInstance();
    Broadcast(record);
}

CommandEndpoint* NewEndpoint(void* owner) {
    // Endpoints belong to the process: plug-ins keep their pointer forever.
    auto* endpoint = static_cast<CommandEndpoint*>(calloc(1, sizeof(CommandEndpoint)));
    endpoint->send = &Broadcast;
    endpoint->owner = owner;
    return endpoint;
}

CommandEndpoint* RegisterHandler(const char* command, BASCommandFunction receive) {
    CommandEndpoint* endpoint = NewEndpoint(HostInstance());
    endpoint->send = nullptr;
    endpoint->receive = receive;
    RegisterEndpoint(command, endpoint);
    return endpoint;
}

void RegisterEndpoint(const char* command, CommandEndpoint* endpoint) {
    WithRegistryLock([&] { RegisterEndpointUnlocked(command, endpoint); });
}

void RegisterEndpointUnlocked(const char* command, CommandEndpoint* endpoint) {
    if (command && endpoint) Registry().Append(command, endpoint);
}

void AddPermanentModule(HMODULE module) {
    if (module) WithRegistryLock([&] { Registry().AddPermanentModule(module); });
}

void LockRegistry() { Registry().Lock(); }
void UnlockRegistry() { Registry().Unlock(); }

ModuleRecord* RegisterHostModule(const wchar_t* name) {
    auto record = std::make_unique<ModuleRecord>();
    record->type = 2;
    char* id = BASUtilityString::ConvertUnicodeToUtf8(name);
    record->id = id;
    BASUtilityString::Free(id);
    ModuleRecord* kept = record.get();
    return AddModule(name, std::move(record)) ? kept : FindModule(name);
}

bool AddModule(const wchar_t* name, std::unique_ptr<ModuleRecord> record) {
    bool added = false;
    WithRegistryLock([&] { added = AddModuleUnlocked(name, std::move(record)); });
    return added;
}

bool AddModuleUnlocked(const wchar_t* name, std::unique_ptr<ModuleRecord> record) {
    if (!name || !record) return false;
    return Registry().modules.try_emplace(name, std::move(record)).second;
}

ModuleRecord* FindModule(const wchar_t* name) {
    ModuleRecord* found = nullptr;
    WithRegistryLock([&] { found = FindModuleUnlocked(name); });
    return found;
}

ModuleRecord* FindModuleUnlocked(const wchar_t* name) {
    if (!name) return nullptr;
    auto& modules = Registry().modules;
    auto it = modules.find(name);
    return it == modules.end() ? nullptr : it->second.get();
}

void SetNamedImage(const char* key, Gdiplus::Bitmap* bitmap) {
    if (key) Registry().images[key] = bitmap;
}

Gdiplus::Bitmap* FindNamedImage(const char* key) {
    if (!key) return nullptr;
    auto& images = Registry().images;
    auto it = images.find(key);
    return it == images.end() ? nullptr : it->second;
}

void SetNamedUrl(const char* key, const char* text) {
    if (!key) return;
    char*& slot = Registry().urls[key];
    free(slot);
    slot = _strdup(text ? text : "");
}

const char* FindNamedUrl(const char* key) {
    if (!key) return "";
    auto& urls = Registry().urls;
    auto it = urls.find(key);
    return it == urls.end() ? "" : it->second;
}

void SetMainThreadWindow(HWND window) { Registry().mainWindow.store(window); }

HWND MainThreadWindow() { return Registry().mainWindow.load(); }

void PostToMainThread(void (*fn)(BASObserveData*), BASObserveData* record) {
    auto* call = new MainThreadCall{fn, record};
    HWND window = MainThreadWindow();
    if (window && PostMessageW(window, kMainThreadCallMessage, reinterpret_cast<WPARAM>(call), 0)) return;
    LOG(ERROR) << "Main-thread call for " << (record && record->command ? record->command : "(none)")
               << " dropped: no main window to take it (error " << GetLastError() << ")";
    free(record);
    delete call;
}

void RunMainThreadCall(WPARAM call) {
    std::unique_ptr<MainThreadCall> owned(reinterpret_cast<MainThreadCall*>(call));
    if (owned && owned->function) (*owned)();
}

void ForwardToPlugins(BASObserveData* record) {
    HostSend(record);
    free(record);
}

BASObserveData* CopyRecord(const BASObserveData* record) {
    auto* copy = static_cast<BASObserveData*>(malloc(sizeof(BASObserveData)));
    if (copy) *copy = *record;
    return copy;
}
