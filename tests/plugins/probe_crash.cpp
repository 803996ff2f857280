// Built unoptimised: the optimiser drops faults it can prove (a quotient
// that nobody reads, a call it knows to be pure virtual).
#include "probe_crash.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void NullWrite() {
    volatile uintptr_t address = 0;  // a null the compiler cannot see
    *reinterpret_cast<volatile int*>(address) = 1;
}

DWORD WINAPI NullWriteThread(void* start) {
    WaitForSingleObject(start, INFINITE);
    NullWrite();
    return 0;
}

int Recurse(volatile const bool* stop, int depth) {
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    if (*stop) return frame[0];
    return Recurse(stop, depth + 1) + frame[0];
}

// The base constructor calls the pure function before the derived part
// exists, through a pointer the compiler cannot see through.
struct Shape {
    Shape() {
        Shape* volatile self = this;
        self->Area();
    }
    virtual ~Shape() = default;
    virtual int Area() = 0;
};
struct Square : Shape {
    int Area() override { return 4; }
};

void FaultOnThreads(int count, void (*announce)(DWORD)) {
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<HANDLE> threads;
    for (int i = 0; i < count; ++i) {
        DWORD id = 0;
        threads.push_back(CreateThread(nullptr, 0, NullWriteThread, start, 0, &id));
        announce(id);
    }
    SetEvent(start);
    WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, INFINITE);
}

LONG WINAPI Intruder(EXCEPTION_POINTERS*) { return EXCEPTION_CONTINUE_SEARCH; }

}  // namespace

void CrashTheWay(const std::string& way, void (*announce)(DWORD)) {
    // As a plug-in with a crash reporter of its own would, just before: the
    // host's filter must keep the fault.
    SetUnhandledExceptionFilter(Intruder);
    if (way == "thread-null-write") return FaultOnThreads(1, announce);
    if (way == "two-threads") return FaultOnThreads(2, announce);
    announce(GetCurrentThreadId());
    if (way == "null-write") NullWrite();
    if (way == "divide-by-zero") {
        volatile int dividend = 7, zero = 0;
        volatile int quotient = dividend / zero;
        (void)quotient;
    }
    if (way == "abort") abort();
    if (way == "pure-virtual") Square square;
    if (way == "stack-overflow") {
        volatile bool stop = false;
        Recurse(&stop, 0);
    }
}
