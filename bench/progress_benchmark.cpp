// Progress notifications as plug-ins send them: "LIBPLATFORM_COMMAND_NOTIFY_PROGRESS"
// records from four threads at full speed, through the bus to the platform
// command handler, into a real UiProgressDialog whose 500 ms refresh and
// paint run on this (the user-interface) thread meanwhile. Beside it, the
// same number of bare interlocked increments on four threads in the same run.
// Each record carries every field: a failure, done, total and a status text.
//
// Afterwards it checks what the dialog holds: the failures are the sum sent,
// done and total the last values sent, and the status texts of a million
// notifications cost a bounded number of heap blocks and little working set.
// Then the same million once more with the bus trace writing to a file: its
// rate beside the first, and how many lines the trace wrote and dropped.
// Exit code 0 when every check holds.
#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/bus_trace.h"
#include "bus_test_support.h"
#include "gdiplus_session.h"
#include "heap_census.h"
#include "stub_host.h"
#include "ui/ui_progress_dialog.h"
#include "windowing_module.h"

namespace {

constexpr int kThreads = 4;
constexpr int kPerThread = 250000;  // a million notifications in all

double Now() {
    LARGE_INTEGER frequency, t;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / frequency.QuadPart;
}

// Runs body(t) on four threads while this thread serves its messages (the
// dialog's timer and paint); the seconds until all four are done.
template <typename Body>
double SecondsOnThreads(Body body) {
    std::atomic<int> running{kThreads};
    std::vector<std::thread> threads;
    const double start = Now();
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            body(t);
            --running;
        });
    while (running > 0) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    const double seconds = Now() - start;
    for (std::thread& thread : threads) thread.join();
    return seconds;
}

void Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

SIZE_T WorkingSet() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.WorkingSetSize;
}

// The text of thread t; all four have the same length, so their copies in
// the dialog have one block size that the heap census can count.
std::wstring StatusText(int t) { return L"Recovering photo of thread " + std::to_wstring(t); }

// The dialog keeps a status text in one C-heap block: a link and the characters.
size_t TextBlockSize(const std::wstring& text) { return sizeof(void*) + (text.size() + 1) * sizeof(wchar_t); }

// A million notifications from four threads, as a plug-in sends them; seconds.
double Notify(CommandEndpoint* endpoint, void* plugin) {
    return SecondsOnThreads([&](int t) {
        const std::wstring text = StatusText(t);
        BASObserveData record = Record(LIBPLATFORM_COMMAND_NOTIFY_PROGRESS, plugin);
        for (int i = 1; i <= kPerThread; ++i) {
            record.value = 1;
            record.value2 = kPerThread;
            record.value3 = i;
            record.object = const_cast<wchar_t*>(text.c_str());
            endpoint->send(&record);
        }
    });
}

// The same with the bus trace on, written to a file in the temporary folder
// as the host writes it beside its log. False when the file cannot be made.
bool NotifyTraced(CommandEndpoint* endpoint, void* plugin, double untraced) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + L"progress-benchmark-trace.txt";
    std::unique_ptr<BusTrace> trace = BusTrace::OpenFile(path);
    if (!trace) return false;
    AttachBusTrace(trace.get());
    const double traced = Notify(endpoint, plugin);
    AttachBusTrace(nullptr);
    const double startClose = Now();
    const bool closed = trace->Close(60000);
    const double closeSeconds = Now() - startClose;
    const double total = static_cast<double>(kThreads) * kPerThread;
    std::printf("with the bus trace on: notifications per second %12.0f (untraced / traced time %.3f)\n",
                total / traced, untraced / traced);
    std::printf("trace lines written %llu, dropped %llu (of %.0f); close waited %.0f ms%s\n",
                static_cast<unsigned long long>(trace->Written()), static_cast<unsigned long long>(trace->Dropped()),
                total, closeSeconds * 1000, closed ? "" : ", writer unfinished");
    const bool accounted = closed && trace->Written() + trace->Dropped() == kThreads * kPerThread;
    if (!accounted) std::printf("FAILED: trace lines went missing without being counted\n");
    DeleteFileW(path.c_str());
    return accounted;
}

}  // namespace

int main() {
    GdiplusSession gdiplus;
    WindowingModule windowing;
    ThreadMessageLoop loop;
    MainThreadCalls mainThreadCalls;
    StubHost host;  // with a real progress dialog
    host.view = host.frame = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 100, 100, 800, 600, nullptr,
                                             nullptr, nullptr, nullptr);
    host.dialogs.SetParent(host.frame);
    host.RegisterCommands();

    std::atomic<long> counter{0};
    const double bare = SecondsOnThreads([&](int) {
        for (int i = 0; i < kPerThread; ++i) counter.fetch_add(1);
    });

    // A plug-in starts the progress as the recovery module does, from a
    // thread of its own while this thread serves the main-thread call.
    void* const plugin = reinterpret_cast<void*>(0x61000);
    CommandEndpoint* endpoint = NewEndpoint(plugin);
    SecondsOnThreads([&](int t) {
        if (t != 0) return;
        BASObserveData start = Record(LIBPLATFORM_COMMAND_START_PROGRESS, plugin);
        start.arg = "bench";
        start.wideText = const_cast<wchar_t*>(L"C:\\Recovered");
        endpoint->send(&start);
    });
    const SIZE_T workingSetBefore = WorkingSet();
    const size_t blocksBefore = heap_census::LiveBlocksOfSize(TextBlockSize(StatusText(0)));

    const double notified = Notify(endpoint, plugin);
    const size_t blocksAfter = heap_census::LiveBlocksOfSize(TextBlockSize(StatusText(0)));
    const SIZE_T workingSetAfter = WorkingSet();
    Pump(700);  // one more refresh shows the last values

    ProgressState& state = host.dialogs.ProgressObject().State();
    const double total = static_cast<double>(kThreads) * kPerThread;
    const int failed = state.Failed();
    std::printf("threads %d, notifications %.0f through the bus to a real progress dialog\n", kThreads, total);
    std::printf("progress notifications per second: %12.0f\n", total / notified);
    std::printf("bare interlocked increments per second: %12.0f\n", total / bare);
    std::printf("notifications / increments: %.3f\n", bare / notified);
    std::printf("failures %d (sent %.0f); shown done %d, total %d (last sent %d, %d)\n", failed, total,
                state.ShownDone(), state.ShownTotal(), kPerThread, kPerThread);
    std::printf("status-text blocks alive: %zu before, %zu after a million texts\n", blocksBefore, blocksAfter);
    std::printf("working set: %.1f MB before, %.1f MB after\n", workingSetBefore / 1048576.0,
                workingSetAfter / 1048576.0);

    const bool countsHold =
        failed == kThreads * kPerThread && state.ShownDone() == kPerThread && state.ShownTotal() == kPerThread;
    // The current, the shown and at most one retired text per sending thread.
    const bool textsBounded = blocksAfter <= blocksBefore + 2 + kThreads;
    const bool memoryBounded = workingSetAfter < workingSetBefore + 16 * 1048576;
    if (!countsHold) std::printf("FAILED: the dialog lost notifications\n");
    if (!textsBounded || !memoryBounded) std::printf("FAILED: the status texts were kept\n");
    const bool traceAccounted = NotifyTraced(endpoint, plugin, notified);
    host.dialogs.ProgressObject().Stop();
    DestroyWindow(host.frame);
    return countsHold && textsBounded && memoryBounded && traceAccounted ? 0 : 1;
}
