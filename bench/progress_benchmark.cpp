// Progress notifications from four plug-in threads at full speed while the
// user-interface thread refreshes, against the same number of bare
// interlocked increments on four threads in the same run. Each notification
// does what "LIBPLATFORM_COMMAND_NOTIFY_PROGRESS" with every field does: adds
// a failure, stores done and total and replaces the status text.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "ui/progress_state.h"

namespace {

constexpr int kThreads = 4;
constexpr int kPerThread = 100000;

double Now() {
    LARGE_INTEGER frequency, t;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / frequency.QuadPart;
}

template <typename Body>
double SecondsOnThreads(Body body) {
    std::vector<std::thread> threads;
    const double start = Now();
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(body, t);
    for (std::thread& thread : threads) thread.join();
    return Now() - start;
}

}  // namespace

int main() {
    std::atomic<long> counter{0};
    const double bare = SecondsOnThreads([&](int) {
        for (int i = 0; i < kPerThread; ++i) counter.fetch_add(1);
    });

    ProgressState state;
    state.Reset();
    std::atomic<bool> running{true};
    std::thread painter([&] {
        while (running) {
            state.Refresh();
            Sleep(1);  // far more often than the dialog's 500 ms
        }
    });
    const double notified = SecondsOnThreads([&](int t) {
        const std::wstring text = L"Recovering item of thread " + std::to_wstring(t);
        for (int i = 1; i <= kPerThread; ++i) {
            state.AddFailed(1);
            state.SetDone(i);
            state.SetTotal(kPerThread);
            state.SetStatusText(text.c_str());
        }
    });
    running = false;
    painter.join();

    const double total = static_cast<double>(kThreads) * kPerThread;
    std::printf("threads %d, notifications %.0f\n", kThreads, total);
    std::printf("progress notifications per second: %12.0f\n", total / notified);
    std::printf("bare interlocked increments per second: %12.0f\n", total / bare);
    std::printf("notifications / increments: %.3f\n", bare / notified);
    std::printf("failures counted: %d of %.0f\n", state.Failed(), total);
    return state.Failed() == kThreads * kPerThread ? 0 : 1;
}
