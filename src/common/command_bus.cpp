#include "command_bus.h"

#include <winternl.h>

#include "bus_trace.h"
#include "log_rate_limit.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

// The endpoints of one name as a delivery sees them; never changed once
// published.
struct EndpointSnapshot {
    std::vector<CommandEndpoint*> endpoints;
};

struct CommandList;

// One address at which a sender's module keeps this name in memory that
// never changes (see FixedTextModule); claimed once, never released.
struct FixedName {
    std::atomic<const char*> text{nullptr};
    CommandList* list = nullptr;
};

// One command name and its current endpoints. `current` only ever moves on
// to a copy one endpoint longer, and is set before the name is published.
struct CommandList {
    explicit CommandList(const char* text) : name(text) {
        for (FixedName& entry : fixedNames) entry.list = this;
    }
    const std::string name;
    std::atomic<const EndpointSnapshot*> current{nullptr};
    // One per module that sends the name as a literal, in practice: the host
    // and the plug-ins. Further addresses go by the name's text.
    std::array<FixedName, 8> fixedNames;
};

// The module whose read-only image memory holds the whole text, or null
// when the text is anywhere else (stack, heap, writable data).
HMODULE FixedTextModule(const char* name) {
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

// FNV-1a over the name up to its NUL: one pass, no length needed first.
uint32_t HashName(const char* name) {
    uint32_t hash = 2166136261u;
    for (auto* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) hash = (hash ^ *p) * 16777619u;
    return hash;
}

// The names known at one moment and their lists: open addressing in a
// power-of-two array kept at most half full. Never changed once published.
class NameTable {
public:
    // previous's names and added.
    NameTable(const NameTable* previous, CommandList* added, uint32_t addedHash) {
        const size_t names = (previous ? previous->names_ : 0) + 1;
        size_t capacity = 16;
        while (capacity < 2 * names) capacity *= 2;
        slots_.resize(capacity);
        mask_ = capacity - 1;
        if (previous) {
            for (const Slot& slot : previous->slots_) {
                if (slot.list) Insert(slot);
            }
        }
        Insert({addedHash, added});
        names_ = names;
    }

    CommandList* Find(const char* name, uint32_t hash) const {
        for (size_t i = hash & mask_;; i = (i + 1) & mask_) {
            const Slot& slot = slots_[i];
            if (!slot.list) return nullptr;
            if (slot.hash == hash && std::strcmp(slot.list->name.c_str(), name) == 0) return slot.list;
        }
    }

private:
    struct Slot {
        uint32_t hash = 0;
        CommandList* list = nullptr;
    };

    void Insert(const Slot& entry) {
        size_t i = entry.hash & mask_;
        while (slots_[i].list) i = (i + 1) & mask_;
        slots_[i] = entry;
    }

    std::vector<Slot> slots_;
    size_t mask_ = 0;
    size_t names_ = 0;
};

// Senders read the published table and snapshots without a lock;
// registrations take the writer lock, build the next copy and publish it
// with one release store. Superseded tables and snapshots are kept until
// the process ends, because a delivery on another thread may still be
// reading one; their number is bounded by the number of registrations.
//
// Most sends name their command with a literal of a module that stays loaded
// until the process ends; such a text never changes, so its address alone
// identifies the list. A small table by address keeps those, and spares the
// common send the hashing and comparing of the name.
class CommandRegistry {
public:
    CommandList* Find(const char* name) {
        std::atomic<const FixedName*>& known = byAddress_[Slot(name)];
        const FixedName* fixed = known.load(std::memory_order_acquire);
        if (fixed && fixed->text.load(std::memory_order_relaxed) == name) return fixed->list;
        const NameTable* table = table_.load(std::memory_order_acquire);
        CommandList* list = table ? table->Find(name, HashName(name)) : nullptr;
        if (list) {
            if (const FixedName* entry = FixedNameFor(name, *list)) known.store(entry, std::memory_order_release);
        }
        return list;
    }

    // The trace that deliveries record in, or null: the one thing a send
    // reads when no trace runs.
    BusTrace* Trace() const { return trace_.load(std::memory_order_acquire); }
    void SetTrace(BusTrace* trace) { trace_.store(trace, std::memory_order_release); }

    void Append(const char* name, CommandEndpoint* endpoint) {
        std::lock_guard guard(writeLock_);
        const uint32_t hash = HashName(name);
        const NameTable* table = table_.load(std::memory_order_relaxed);
        CommandList* list = table ? table->Find(name, hash) : nullptr;
        const bool isNew = !list;
        if (isNew) list = lists_.emplace_back(std::make_unique<CommandList>(name)).get();

        auto next = std::make_unique<EndpointSnapshot>();
        if (const EndpointSnapshot* now = list->current.load(std::memory_order_relaxed))
            next->endpoints = now->endpoints;
        next->endpoints.push_back(endpoint);
        list->current.store(next.get(), std::memory_order_release);
        snapshots_.push_back(std::move(next));

        if (isNew) {
            tables_.push_back(std::make_unique<NameTable>(table, list, hash));
            table_.store(tables_.back().get(), std::memory_order_release);
        }
    }

private:
    static constexpr size_t kAddressSlots = 256;

    // Mixes the address's low bits so literals packed next to each other
    // land in different slots; a mask, not a division, on every send.
    static size_t Slot(const char* name) {
        const uintptr_t address = reinterpret_cast<uintptr_t>(name);
        return (address ^ address >> 7) & (kAddressSlots - 1);
    }

    // The list's entry for name when name is a fixed text, claimed on its
    // first send; null when it is not fixed or every entry is taken. A text
    // found not fixed is remembered by address, so that the memory query runs
    // once, not on every send (a wrong "not fixed" only costs speed).
    const FixedName* FixedNameFor(const char* name, CommandList& list) {
        for (const FixedName& entry : list.fixedNames) {
            const char* text = entry.text.load(std::memory_order_acquire);
            if (text == name) return &entry;
            if (!text) break;  // entries are claimed in order
        }
        std::atomic<const char*>& notFixed = notFixed_[Slot(name)];
        if (notFixed.load(std::memory_order_relaxed) == name) return nullptr;
        if (!LoadedModules::Instance().StaysLoaded(FixedTextModule(name))) {
            notFixed.store(name, std::memory_order_relaxed);
            return nullptr;
        }
        for (FixedName& entry : list.fixedNames) {
            const char* expected = nullptr;
            if (entry.text.compare_exchange_strong(expected, name, std::memory_order_acq_rel) || expected == name)
                return &entry;
        }
        return nullptr;
    }

    std::atomic<const NameTable*> table_{nullptr};
    std::atomic<const FixedName*> byAddress_[kAddressSlots] = {};
    std::atomic<const char*> notFixed_[kAddressSlots] = {};
    std::atomic<BusTrace*> trace_{nullptr};
    std::mutex writeLock_;
    // Everything ever published, owned here; guarded by writeLock_.
    std::vector<std::unique_ptr<CommandList>> lists_;
    std::vector<std::unique_ptr<const EndpointSnapshot>> snapshots_;
    std::vector<std::unique_ptr<const NameTable>> tables_;
};

// Never destroyed: plug-in threads may send until the process ends.
CommandRegistry& Registry() {
    static CommandRegistry* const registry = new CommandRegistry;
    return *registry;
}

// Deliveries in progress on this thread, one inside another. Two plug-ins
// that answer each other's command with the same command would otherwise
// recurse until the stack overflows (about 4,000 bounces); no legitimate
// exchange comes near the limit.
constexpr intptr_t kMaxNesting = 64;

// The depth lives in a TLS slot of its own, read straight from the thread's
// environment block. This compiler's thread_local goes through emulated TLS,
// a call and a lookup on every access, which made a send three times as
// slow; the block's first 64 slots are plain memory. A slot past those (or
// none at all) goes through the system's calls.
class NestingScope {
public:
    NestingScope() : depth_(Read() + 1) { Write(depth_); }
    ~NestingScope() { Write(depth_ - 1); }
    NestingScope(const NestingScope&) = delete;
    NestingScope& operator=(const NestingScope&) = delete;
    bool TooDeep() const { return depth_ > kMaxNesting; }

private:
    static DWORD Slot() {
        static const DWORD slot = TlsAlloc();
        return slot;
    }
    // This thread's environment block, read as NtCurrentTeb does (whose
    // inline form trips GCC's array-bounds warning).
    static TEB* ThreadBlock() {
        TEB* block;
        asm("movl %%fs:0x18, %0" : "=r"(block));
        return block;
    }
    static intptr_t Read() {
        const DWORD slot = Slot();
        if (slot < 64) return reinterpret_cast<intptr_t>(ThreadBlock()->TlsSlots[slot]);
        return slot == TLS_OUT_OF_INDEXES ? 0 : reinterpret_cast<intptr_t>(TlsGetValue(slot));
    }
    static void Write(intptr_t depth) {
        const DWORD slot = Slot();
        if (slot < 64) ThreadBlock()->TlsSlots[slot] = reinterpret_cast<void*>(depth);
        else if (slot != TLS_OUT_OF_INDEXES) TlsSetValue(slot, reinterpret_cast<void*>(depth));
    }

    const intptr_t depth_;
};

// Logs a delivery refused for nesting too deep on this thread.
bool RefusedTooDeep(const NestingScope& scope, const BASObserveData& record) {
    if (!scope.TooDeep()) return false;
    LOG_PLUGIN_TRAFFIC(ERROR) << record.command << " dropped: sent " << kMaxNesting
                              << " deliveries deep on one thread; receivers keep sending it on";
    return true;
}

// Deliver with each receive timed, and the whole recorded in trace. A record
// that the bus drops (no sender, no name, a name nobody registered) is
// recorded with no receivers, which is what an author needs to see.
template <bool StopWhenHandled>
__attribute__((noinline, cold)) void DeliverTraced(CommandRegistry& registry, BASObserveData* record, BusTrace& trace) {
    if (!record) return;
    // The counter is read once before the receivers and once after each: under
    // emulation a read is a system call that costs microseconds. The look-up
    // before the first receiver is counted in its time; it takes nanoseconds.
    int64_t mark = TraceTicks();
    BusTraceEvent event;
    BeginTraceEvent(event, *record, mark);
    const CommandList* list = record->sender && record->command ? registry.Find(record->command) : nullptr;
    if (list) {
        const NestingScope scope;
        if (RefusedTooDeep(scope, *record)) return;
        const EndpointSnapshot* snapshot = list->current.load(std::memory_order_acquire);
        for (CommandEndpoint* endpoint : snapshot->endpoints) {
            if (endpoint->owner == record->sender || !endpoint->receive) continue;
            endpoint->receive(record);
            const int64_t now = TraceTicks();
            AddTraceReceiver(event, endpoint->owner, mark, now);
            mark = now;
            if (StopWhenHandled && record->value != 0) break;
        }
    }
    trace.Record(event);
}

// With TraceHook, a running trace costs the send one load and one branch
// when no trace runs; without it, the bus is as it would be with no trace.
template <bool StopWhenHandled, bool TraceHook = true>
void Deliver(BASObserveData* record) {
    CommandRegistry& registry = Registry();
    if constexpr (TraceHook) {
        if (BusTrace* trace = registry.Trace()) [[unlikely]] {
            DeliverTraced<StopWhenHandled>(registry, record, *trace);
            return;
        }
    }
    if (!record || !record->sender || !record->command) return;
    const CommandList* list = registry.Find(record->command);
    if (!list) return;
    const NestingScope scope;
    if (RefusedTooDeep(scope, *record)) return;
    // The endpoints registered before this point, and no others, for the
    // whole delivery.
    const EndpointSnapshot* snapshot = list->current.load(std::memory_order_acquire);
    for (CommandEndpoint* endpoint : snapshot->endpoints) {
        if (endpoint->owner == record->sender || !endpoint->receive) continue;
        endpoint->receive(record);
        if (StopWhenHandled && record->value != 0) return;
    }
}

}  // namespace

void __cdecl Broadcast(BASObserveData* record) { Deliver<false>(record); }

void __cdecl BroadcastWithoutTraceHook(BASObserveData* record) { Deliver<false, false>(record); }

void SendUntilHandled(BASObserveData* record) { Deliver<true>(record); }

void AttachBusTrace(BusTrace* trace) { Registry().SetTrace(trace); }

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
    if (command && endpoint) Registry().Append(command, endpoint);
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
