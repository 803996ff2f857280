// The bus trace: one line per command on the bus, for plug-in authors who
// want to see what their module sent, what reached it and how long each
// receiver kept the sender waiting.
//
// Senders on any thread copy what they saw into a bounded ring without
// waiting for anything; one writer thread of the trace's own formats the
// lines and writes them out. When the ring is full a send is not held up:
// its line is dropped and counted, and the writer says how many lines it
// lost at the place in the file where they went missing.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include <lumarest/plugin.h>

// What one delivery did, as the sending thread recorded it. Plain data, so
// that the ring copies it without touching the heap.
struct BusTraceEvent {
    static constexpr int kTimedReceivers = 8;
    static constexpr size_t kCommandChars = 63;

    struct Receiver {
        void* module;
        int64_t ticks;  // performance-counter ticks its receive function ran
    };

    int64_t start;                    // performance counter when the send began
    char command[kCommandChars + 1];  // the name, cut at kCommandChars; "" for none
    void* sender;
    int64_t value;  // as sent, before any receiver answered
    DWORD thread;
    int receivers;                    // every receiver called, timed or not
    Receiver timed[kTimedReceivers];  // the first kTimedReceivers of them
    int64_t restTicks;                // the receivers beyond those, together
};

// Begins an event for record as its send starts (now on the performance counter).
void BeginTraceEvent(BusTraceEvent& event, const BASObserveData& record, int64_t now);
// Adds a receiver that returned at now; the previous mark is the one before.
void AddTraceReceiver(BusTraceEvent& event, void* module, int64_t previous, int64_t now);

// The performance counter, as the bus and the trace read it.
inline int64_t TraceTicks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// One line, without its end: tab-separated fields
//   microseconds since origin, sender, command, value, thread id,
//   then one field per timed receiver "module:microseconds", and
//   "+N:microseconds" for the N receivers beyond those.
// Module names never hold a tab or a colon (Windows refuses both in folder
// and file names); a command's control characters are written as '?'.
std::string FormatTraceLine(const BusTraceEvent& event, int64_t origin, int64_t ticksPerSecond,
                            const std::function<std::string(void*)>& moduleName);
// "# dropped N lines": the lines lost while the ring was full.
std::string DroppedLine(uint64_t dropped);
// The name a module is traced under: "Product" for the host, the module's
// folder for a plug-in below a "Plugins" folder, else the library's file
// name without extension; a handle that is no loaded module in hexadecimal.
std::string TraceModuleName(void* module);

// A bounded queue of events, many senders and one reader, without locks
// (a sequence number per cell tells who may use it next). Full, it refuses
// and counts the refusal.
class BusTraceRing {
public:
    // capacity is rounded up to a power of two.
    explicit BusTraceRing(size_t capacity);
    BusTraceRing(const BusTraceRing&) = delete;
    BusTraceRing& operator=(const BusTraceRing&) = delete;

    // Any thread. False, and one more counted as dropped, when full.
    bool TryPush(const BusTraceEvent& event);
    // The reader only. False when nothing is ready (a sender that has claimed
    // the oldest cell may still be filling it).
    bool TryPop(BusTraceEvent& event);
    // The drops counted since the last call; the reader only.
    uint64_t TakeDropped();

private:
    struct Cell {
        std::atomic<size_t> sequence;
        BusTraceEvent event;
    };
    std::unique_ptr<Cell[]> cells_;
    size_t mask_;
    alignas(64) std::atomic<size_t> enqueue_{0};
    alignas(64) std::atomic<uint64_t> dropped_{0};
    alignas(64) size_t dequeue_ = 0;
};

// The trace from its opening to its close: the ring and the writer thread.
// Text goes to write in the writer thread's order: the heading first, then
// batches of whole lines.
class BusTrace {
public:
    using Write = std::function<void(std::string_view text)>;
    static constexpr size_t kDefaultCapacity = 16384;

    explicit BusTrace(Write write, size_t capacity = kDefaultCapacity,
                      std::function<std::string(void*)> moduleName = TraceModuleName);
    // Closes (again), waiting up to five seconds for the writer.
    ~BusTrace();
    BusTrace(const BusTrace&) = delete;
    BusTrace& operator=(const BusTrace&) = delete;

    // A trace written to a new file at path (shared for reading while it
    // grows); null when the file cannot be made.
    static std::unique_ptr<BusTrace> OpenFile(const std::wstring& path);

    // From the sending thread; returns at once. Ignored once closed.
    void Record(const BusTraceEvent& event);

    // Takes no more events, lets the writer write what the ring holds and the
    // count of what was dropped, and waits for it up to waitMs. False when the
    // writer had not finished by then; it finishes on its own afterwards.
    bool Close(DWORD waitMs);

    // Lines written and dropped so far (final after a successful Close).
    uint64_t Written() const;
    uint64_t Dropped() const;

private:
    struct Writer;
    static DWORD WINAPI WriterMain(void* parameter);

    std::shared_ptr<Writer> writer_;  // shared with the writer thread
    HANDLE thread_ = nullptr;
    std::atomic<bool> closed_{false};
};
