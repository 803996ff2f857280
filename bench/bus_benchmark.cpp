// Cost of one send on the command bus, against a floor measured in the same
// process (two uncontended lock/unlock pairs of one pthread mutex plus one
// indirect call per endpoint) and against Boost.Signals2's thread-safe emit
// delivering the same record to the same receivers. Then the bus trace's
// part: the same send built without the trace's hook, with the hook and no
// trace running, and with a trace writing to a file. Prints ratios; the
// absolute figures depend on the machine (and on emulation under Wine).
#include <windows.h>

#include <pthread.h>

#include <boost/signals2/signal.hpp>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/bus_trace.h"
#include "bus_test_support.h"

namespace {

// Answers in the record, as receivers do: each sending thread has its own
// record, so the receivers share no memory that would tie threads together.
void __cdecl Receive(BASObserveData* record) { record->value2 += record->value; }

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / frequency.QuadPart;
}

// Best nanoseconds per call over several rounds: the minimum filters out
// interruptions, which only ever add time.
double NanosPerCall(const std::function<void(int)>& body, int calls) {
    double best = 1e30;
    for (int round = 0; round < 7; ++round) {
        double start = Now();
        body(calls);
        best = std::min(best, (Now() - start) * 1e9 / calls);
    }
    return best;
}

BASObserveData MakeRecord(const char* command) {
    BASObserveData record = Record(command, reinterpret_cast<void*>(0x5000));
    record.value = 1;
    return record;
}

struct Floor {
    pthread_mutex_t mutex;
    std::vector<BASCommandFunction> receivers;
    Floor(int endpoints) : receivers(endpoints, &Receive) { pthread_mutex_init(&mutex, nullptr); }
    void Send(BASObserveData* record) {
        pthread_mutex_lock(&mutex);
        pthread_mutex_unlock(&mutex);
        pthread_mutex_lock(&mutex);
        pthread_mutex_unlock(&mutex);
        for (BASCommandFunction receive : receivers) receive(record);
    }
};

void Register(const char* name, int endpoints) {
    for (int i = 0; i < endpoints; ++i) Attach(name, reinterpret_cast<void*>(0x6000 + 16 * i), &Receive);
}

void CompareSingleSends(int calls) {
    std::printf("%-12s %12s %12s %12s %14s %14s\n", "endpoints", "bus ns", "floor ns", "signals2 ns", "bus/floor",
                "bus/signals2");
    for (int endpoints : {1, 4}) {
        const char* name = endpoints == 1 ? "LIBPLATFORM_COMMAND_BENCH_ONE" : "LIBPLATFORM_COMMAND_BENCH_FOUR";
        Register(name, endpoints);
        BASObserveData record = MakeRecord(name);

        Floor floor(endpoints);
        boost::signals2::signal<void(BASObserveData*)> signal;
        for (int i = 0; i < endpoints; ++i) signal.connect(&Receive);

        double bus = NanosPerCall(
            [&](int n) {
                for (int i = 0; i < n; ++i) Broadcast(&record);
            },
            calls);
        double base = NanosPerCall(
            [&](int n) {
                for (int i = 0; i < n; ++i) floor.Send(&record);
            },
            calls);
        double sig = NanosPerCall(
            [&](int n) {
                for (int i = 0; i < n; ++i) signal(&record);
            },
            calls);
        std::printf("%-12d %12.1f %12.1f %12.1f %14.2f %14.2f\n", endpoints, bus, base, sig, bus / base, bus / sig);
    }
}

// Best nanoseconds per call of each body, their rounds taken in turn, so
// that a change in the machine's load meets all of them alike.
std::vector<double> InterleavedNanos(const std::vector<std::function<void(int)>>& bodies, int calls, int rounds) {
    std::vector<double> best(bodies.size(), 1e30);
    for (int round = 0; round < rounds; ++round) {
        for (size_t b = 0; b < bodies.size(); ++b) {
            const double start = Now();
            bodies[b](calls);
            best[b] = std::min(best[b], (Now() - start) * 1e9 / calls);
        }
    }
    return best;
}

// A send built without the trace's hook, with it and no trace, and with a
// trace that writes every line to a file (its lines written and dropped
// show whether its writer kept up).
void CompareTraceHook(int calls) {
    std::printf("\n%-10s %12s %12s %12s %14s %14s %12s %12s\n", "endpoints", "no hook ns", "off ns", "on ns",
                "off/no hook", "on/no hook", "written", "dropped");
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + L"bus-benchmark-trace.txt";
    for (int endpoints : {1, 4}) {
        const char* name = endpoints == 1 ? "LIBPLATFORM_COMMAND_BENCH_ONE" : "LIBPLATFORM_COMMAND_BENCH_FOUR";
        BASObserveData record = MakeRecord(name);
        auto untraced = [&](int n) {
            for (int i = 0; i < n; ++i) BroadcastWithoutTraceHook(&record);
        };
        auto hooked = [&](int n) {
            for (int i = 0; i < n; ++i) Broadcast(&record);
        };
        // Eleven rounds of each, in turn: the ratio of two minima is what is
        // compared against 2 %, and more rounds make each minimum steadier.
        const std::vector<double> off = InterleavedNanos({untraced, hooked}, calls, 11);

        std::unique_ptr<BusTrace> trace = BusTrace::OpenFile(path);
        if (!trace) {
            std::printf("the trace file %ls could not be made\n", path.c_str());
            return;
        }
        AttachBusTrace(trace.get());
        const double on = NanosPerCall(hooked, calls / 4);
        AttachBusTrace(nullptr);
        trace->Close(60000);
        std::printf("%-10d %12.2f %12.2f %12.2f %14.4f %14.2f %12llu %12llu\n", endpoints, off[0], off[1], on,
                    off[1] / off[0], on / off[0], static_cast<unsigned long long>(trace->Written()),
                    static_cast<unsigned long long>(trace->Dropped()));
    }
    DeleteFileW(path.c_str());
}

// Best total throughput of threads threads that each call send on a record
// of their own callsPerThread times.
double BestThroughput(int threads, int callsPerThread, BASCommandFunction send) {
    double best = 0;
    for (int round = 0; round < 3; ++round) {
        std::atomic<bool> go{false};
        std::vector<std::thread> senders;
        for (int t = 0; t < threads; ++t) {
            senders.emplace_back([&] {
                BASObserveData record = MakeRecord("LIBPLATFORM_COMMAND_BENCH_ONE");
                while (!go.load()) std::this_thread::yield();
                for (int i = 0; i < callsPerThread; ++i) send(&record);
            });
        }
        double start = Now();
        go = true;
        for (auto& s : senders) s.join();
        best = std::max(best, threads * static_cast<double>(callsPerThread) / (Now() - start));
    }
    return best;
}

// The bus's scaling beside that of plain calls of the receiver, which share
// nothing: what the machine gives to more threads at the moment (on a shared
// or emulated machine that can be far from the number of cores).
void CompareThreads(int callsPerThread) {
    std::printf("\n%-12s %18s %14s %20s\n", "threads", "sends per second", "vs 1 thread", "plain calls vs 1");
    double single = 0;
    double plainSingle = 0;
    for (int threads : {1, 2, 4}) {
        const double bus = BestThroughput(threads, callsPerThread, &Broadcast);
        const double plain = BestThroughput(threads, callsPerThread, &Receive);
        if (threads == 1) {
            single = bus;
            plainSingle = plain;
        }
        std::printf("%-12d %18.0f %14.2f %20.2f\n", threads, bus, bus / single, plain / plainSingle);
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Enough sends that a round of the thread comparison outlasts starting
    // its threads; pass a count to change it.
    int calls = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 2000000;
    std::printf("Command bus benchmark, %d sends per round, best of 7 rounds\n\n", calls);
    CompareSingleSends(calls);
    CompareTraceHook(calls);
    CompareThreads(calls);
    return 0;
}
