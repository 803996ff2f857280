// A program that dies on purpose, for the crash filter's tests:
//
//     lumarest-crasher.exe <way> <report folder> <thread file>
//
// logs two lines with glog into the report folder, registers the crash filter
// with the host's content callback and a notice that settles the folder
// without opening it, lets another filter try to take over, writes the ids
// of the threads that will fault into the thread file, and dies the given
// way. It is a windowless GUI-subsystem program, so it makes no console.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BASDbgReport.h"
#include "common/logging.h"
#include "crash_report.h"

namespace {

std::wstring ReportFolder;  // ends in a backslash

void __cdecl SettleWithoutOpening(const wchar_t* reportPath) {
    SettleReportFolder(ReportFolder.substr(0, ReportFolder.size() - 1));
}

LONG WINAPI Intruder(EXCEPTION_POINTERS*) { return EXCEPTION_CONTINUE_SEARCH; }

void WriteFaultingThreads(const wchar_t* path, const std::vector<DWORD>& ids) {
    if (FILE* file = _wfopen(path, L"w")) {
        for (DWORD id : ids) fprintf(file, "%lu\n", id);
        fclose(file);
    }
}

void NullWrite() {
    // An address the compiler cannot see is null, or it would drop the write.
    volatile uintptr_t address = 0;
    *reinterpret_cast<volatile int*>(address) = 1;
}

DWORD WINAPI NullWriteThread(void* start) {
    if (start) WaitForSingleObject(start, INFINITE);
    NullWrite();
    return 0;
}

void DivideByZero() {
    // All volatile: the compiler turns 1 / x into a comparison, and drops a
    // quotient that nobody reads.
    volatile int dividend = 7, zero = 0;
    volatile int quotient = dividend / zero;
    (void)quotient;
}

int Recurse(volatile const bool* stop, int depth) {
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    if (*stop) return frame[0];
    return Recurse(stop, depth + 1) + frame[0];
}

// The base constructor calls the pure function before the derived part
// exists, through a pointer the compiler cannot see through (it would drop a
// call that it knows to be pure).
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

void InvalidParameter() {
    using StrcpyS = int(__cdecl*)(char*, size_t, const char*);
    auto copy = reinterpret_cast<StrcpyS>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"msvcrt.dll"), "strcpy_s")));
    if (copy) copy(nullptr, 0, "text");
}

// Starts the threads that fault, records them, lets them go together and
// waits for the end that the filter brings.
void FaultOnThreads(int count, const wchar_t* threadFile) {
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<HANDLE> threads;
    std::vector<DWORD> ids;
    for (int i = 0; i < count; ++i) {
        DWORD id = 0;
        threads.push_back(CreateThread(nullptr, 0, NullWriteThread, start, 0, &id));
        ids.push_back(id);
    }
    WriteFaultingThreads(threadFile, ids);
    SetEvent(start);
    WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, INFINITE);
}

void Die(const std::wstring& way, const wchar_t* threadFile) {
    if (way == L"thread-null-write") return FaultOnThreads(1, threadFile);
    if (way == L"two-threads") return FaultOnThreads(2, threadFile);
    WriteFaultingThreads(threadFile, {GetCurrentThreadId()});
    if (way == L"null-write") NullWrite();
    if (way == L"divide-by-zero") DivideByZero();
    if (way == L"abort") abort();
    if (way == L"pure-virtual") Square square;
    if (way == L"invalid-parameter") InvalidParameter();
    if (way == L"stack-overflow") {
        volatile bool stop = false;
        Recurse(&stop, 0);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    if (__argc < 4) return 2;
    ReportFolder = std::wstring(__wargv[2]) + L"\\";
    std::string logFolder;
    for (const wchar_t* c = __wargv[2]; *c; ++c) logFolder += static_cast<char>(*c);  // ASCII test paths
    FLAGS_log_dir = logFolder;
    google::InitGoogleLogging("lumarest-crasher");
    char way[64];
    snprintf(way, sizeof way, "%ls", __wargv[1]);
    // glog writes its first line through and holds the next ones for up to
    // 30 s: only the filter's flush brings the last line into the report.
    LOG(INFO) << "crasher started";
    LOG(INFO) << "last line before " << way;

    BASDbgReport::RegisterCrashFilter((ReportFolder + L"crash.dmp").c_str(), SettleWithoutOpening, CrashContent);
    SetUnhandledExceptionFilter(Intruder);
    Die(__wargv[1], __wargv[3]);
    return 1;  // still alive: the way did not kill it
}
