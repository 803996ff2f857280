#include "bus_trace.h"

#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

#include "loaded_modules.h"

namespace {

// How long the idle writer sleeps before it looks at the ring again. Senders
// never signal it: a kernel call per send would cost more than the trace.
constexpr DWORD kIdleWaitMs = 10;
// The writer hands text on in pieces of about this size.
constexpr size_t kBatchBytes = 64 * 1024;
// A trace destroyed without its close waits this long for its writer.
constexpr DWORD kDestructorWaitMs = 5000;

int64_t Micros(int64_t ticks, int64_t ticksPerSecond) {
    return ticks / ticksPerSecond * 1000000 + ticks % ticksPerSecond * 1000000 / ticksPerSecond;
}

std::string Hex(void* pointer) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(reinterpret_cast<uintptr_t>(pointer)));
    return text;
}

std::string Narrow(const std::wstring& text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::string Heading() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[256];
    std::snprintf(text, sizeof text,
                  "# Lumarest bus trace opened %04u-%02u-%02u %02u:%02u:%02u; tab-separated: microseconds since then, "
                  "sender, command, value as sent, thread, receiver:microseconds...\n",
                  now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    return text;
}

}  // namespace

void BeginTraceEvent(BusTraceEvent& event, const BASObserveData& record, int64_t now) {
    event.start = now;
    event.sender = record.sender;
    event.value = record.value;
    event.thread = GetCurrentThreadId();
    event.receivers = 0;
    event.restTicks = 0;
    const char* name = record.command ? record.command : "";
    const size_t length = strnlen(name, BusTraceEvent::kCommandChars + 1);
    if (length <= BusTraceEvent::kCommandChars) {
        std::memcpy(event.command, name, length + 1);
    } else {
        // A longer name is cut, and says so.
        std::memcpy(event.command, name, BusTraceEvent::kCommandChars - 3);
        std::memcpy(event.command + BusTraceEvent::kCommandChars - 3, "...", 4);
    }
}

void AddTraceReceiver(BusTraceEvent& event, void* module, int64_t previous, int64_t now) {
    const int64_t ticks = now - previous;
    if (event.receivers < BusTraceEvent::kTimedReceivers) event.timed[event.receivers] = {module, ticks};
    else event.restTicks += ticks;
    ++event.receivers;
}

std::string FormatTraceLine(const BusTraceEvent& event, int64_t origin, int64_t ticksPerSecond,
                            const std::function<std::string(void*)>& moduleName) {
    std::string line = std::to_string(Micros(event.start - origin, ticksPerSecond));
    line += '\t';
    line += moduleName(event.sender);
    line += '\t';
    if (!event.command[0]) line += "(null)";
    for (const char* c = event.command; *c; ++c) line += static_cast<unsigned char>(*c) < 0x20 || *c == 0x7F ? '?' : *c;
    line += '\t';
    line += std::to_string(event.value);
    line += '\t';
    line += std::to_string(event.thread);
    const int timed =
        event.receivers < BusTraceEvent::kTimedReceivers ? event.receivers : BusTraceEvent::kTimedReceivers;
    for (int i = 0; i < timed; ++i) {
        line += '\t';
        line += moduleName(event.timed[i].module);
        line += ':';
        line += std::to_string(Micros(event.timed[i].ticks, ticksPerSecond));
    }
    if (event.receivers > timed) {
        line += "\t+" + std::to_string(event.receivers - timed) + ':' +
                std::to_string(Micros(event.restTicks, ticksPerSecond));
    }
    return line;
}

std::string DroppedLine(uint64_t dropped) { return "# dropped " + std::to_string(dropped) + " lines"; }

std::string TraceModuleName(void* module) {
    if (module && module == HostInstance()) return "Product";
    wchar_t path[MAX_PATH * 2];
    const DWORD length = module ? GetModuleFileNameW(static_cast<HMODULE>(module), path, MAX_PATH * 2) : 0;
    if (length == 0 || length >= MAX_PATH * 2) return Hex(module);
    // ...\Plugins\<module>\<version>\<library>: the module is known by its folder.
    std::vector<std::wstring> parts;
    for (const wchar_t* begin = path;;) {
        const wchar_t* end = wcschr(begin, L'\\');
        parts.emplace_back(begin, end ? end : path + length);
        if (!end) break;
        begin = end + 1;
    }
    const size_t n = parts.size();
    if (n >= 4 && _wcsicmp(parts[n - 4].c_str(), L"Plugins") == 0) return Narrow(parts[n - 3]);
    const std::wstring& file = parts.back();
    return Narrow(file.substr(0, file.rfind(L'.')));
}

BusTraceRing::BusTraceRing(size_t capacity) {
    size_t size = 2;
    while (size < capacity) size *= 2;
    cells_ = std::make_unique<Cell[]>(size);
    mask_ = size - 1;
    for (size_t i = 0; i < size; ++i) cells_[i].sequence.store(i, std::memory_order_relaxed);
}

// A cell whose sequence equals the position is free for that position's
// sender; position + 1, filled for the reader; position + size, free again
// for the sender one round later.
bool BusTraceRing::TryPush(const BusTraceEvent& event) {
    size_t position = enqueue_.load(std::memory_order_relaxed);
    for (;;) {
        Cell& cell = cells_[position & mask_];
        const size_t sequence = cell.sequence.load(std::memory_order_acquire);
        const auto lead = static_cast<intptr_t>(sequence - position);
        if (lead == 0) {
            if (enqueue_.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) {
                cell.event = event;
                cell.sequence.store(position + 1, std::memory_order_release);
                return true;
            }
        } else if (lead < 0) {
            dropped_.fetch_add(1, std::memory_order_relaxed);
            return false;
        } else {
            position = enqueue_.load(std::memory_order_relaxed);
        }
    }
}

bool BusTraceRing::TryPop(BusTraceEvent& event) {
    Cell& cell = cells_[dequeue_ & mask_];
    if (cell.sequence.load(std::memory_order_acquire) != dequeue_ + 1) return false;
    event = cell.event;
    cell.sequence.store(dequeue_ + mask_ + 1, std::memory_order_release);
    ++dequeue_;
    return true;
}

uint64_t BusTraceRing::TakeDropped() { return dropped_.exchange(0, std::memory_order_relaxed); }

// What the writer thread uses; it keeps its own reference, so a close that
// stops waiting for it leaves it nothing freed under its feet.
struct BusTrace::Writer {
    Writer(Write writeText, size_t capacity, std::function<std::string(void*)> name)
        : ring(capacity), write(std::move(writeText)), moduleName(std::move(name)) {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        ticksPerSecond = frequency.QuadPart;
        origin = TraceTicks();
    }
    ~Writer() {
        if (wake) CloseHandle(wake);
    }

    // A module's name, looked up once: the writer asks for the same few
    // modules on every line.
    const std::string& NameOf(void* module) {
        auto found = names.find(module);
        if (found == names.end()) found = names.emplace(module, moduleName(module)).first;
        return found->second;
    }

    // Writes what the ring holds now, and the drops since the last time;
    // the number of lines it took.
    size_t Drain() {
        std::string batch;
        size_t lines = 0;
        BusTraceEvent event;
        while (batch.size() < kBatchBytes && ring.TryPop(event)) {
            batch += FormatTraceLine(event, origin, ticksPerSecond, [this](void* m) { return NameOf(m); });
            batch += '\n';
            ++lines;
        }
        if (const uint64_t lost = ring.TakeDropped()) {
            batch += DroppedLine(lost) + '\n';
            dropped.fetch_add(lost, std::memory_order_relaxed);
        }
        if (!batch.empty()) write(batch);
        written.fetch_add(lines, std::memory_order_relaxed);
        return lines;
    }

    void Run() {
        write(Heading());
        for (;;) {
            const bool stop = stopping.load(std::memory_order_acquire);
            if (Drain() > 0) continue;
            if (stop) {
                // A sender that took a cell just before the close may still
                // be filling it.
                Sleep(1);
                while (Drain() > 0) {}
                break;
            }
            WaitForSingleObject(wake, kIdleWaitMs);
        }
        write = nullptr;  // a file closes here
    }

    BusTraceRing ring;
    Write write;
    std::function<std::string(void*)> moduleName;
    std::unordered_map<void*, std::string> names;
    int64_t ticksPerSecond = 1;
    int64_t origin = 0;
    HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<bool> stopping{false};
    std::atomic<uint64_t> written{0};
    std::atomic<uint64_t> dropped{0};
};

BusTrace::BusTrace(Write write, size_t capacity, std::function<std::string(void*)> moduleName)
    : writer_(std::make_shared<Writer>(std::move(write), capacity, std::move(moduleName))) {
    auto* reference = new std::shared_ptr<Writer>(writer_);
    thread_ = CreateThread(nullptr, 0, &WriterMain, reference, 0, nullptr);
    if (!thread_) {
        // No writer: the trace takes nothing.
        delete reference;
        closed_ = true;
    }
}

BusTrace::~BusTrace() {
    Close(kDestructorWaitMs);
    if (thread_) CloseHandle(thread_);
}

DWORD WINAPI BusTrace::WriterMain(void* parameter) {
    std::unique_ptr<std::shared_ptr<Writer>> writer(static_cast<std::shared_ptr<Writer>*>(parameter));
    (*writer)->Run();
    return 0;
}

std::unique_ptr<BusTrace> BusTrace::OpenFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    std::shared_ptr<void> owner(file, CloseHandle);
    return std::make_unique<BusTrace>([owner](std::string_view text) {
        DWORD done = 0;
        // A failed write loses those lines; the trace is a diagnosis, not a record.
        WriteFile(owner.get(), text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
    });
}

void BusTrace::Record(const BusTraceEvent& event) {
    if (!closed_.load(std::memory_order_relaxed)) writer_->ring.TryPush(event);
}

bool BusTrace::Close(DWORD waitMs) {
    if (!thread_) return true;
    closed_.store(true, std::memory_order_relaxed);
    writer_->stopping.store(true, std::memory_order_release);
    SetEvent(writer_->wake);
    return WaitForSingleObject(thread_, waitMs) == WAIT_OBJECT_0;
}

uint64_t BusTrace::Written() const { return writer_->written.load(std::memory_order_relaxed); }

uint64_t BusTrace::Dropped() const { return writer_->dropped.load(std::memory_order_relaxed); }
