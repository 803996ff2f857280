#include "BASDbgReport.h"

#ifndef GLOG_NO_ABBREVIATED_SEVERITIES
#define GLOG_NO_ABBREVIATED_SEVERITIES
#endif
#include <dbghelp.h>
#include <glog/logging.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "FolderListing.h"
#include "ReportArchive.h"
#include "UniqueResource.h"

// With libstdc++ linked statically into a PE image, vtables refer to
// __cxa_pure_virtual only weakly, so the linker leaves it out and a pure
// virtual call jumps to address 0. This strong reference brings it in: such a
// call then reaches std::terminate and is reported as what it is.
extern "C" void __cxa_pure_virtual();

namespace {

[[gnu::used]] void (*const kPureVirtualCall)() = __cxa_pure_virtual;

// What the filter is given at registration and what it learns at the fault.
// One set for the process: a crash filter is process-wide by nature.
struct CrashFilterState {
    std::wstring dumpPath;
    BASDbgReport::NoticeCallback notice = nullptr;
    BASDbgReport::ContentCallback content = nullptr;
    UniqueHandle faultEvent;  // set by the first faulting thread
    UniqueHandle doneEvent;   // set by the reporter when the report is complete
    DWORD reporterThreadId = 0;
    UniqueHandle reporterThread;
    volatile LONG faultingThreadId = 0;  // 0 until a fault claims the report
    EXCEPTION_POINTERS* pointers = nullptr;
    BASDbgReport::Fault fault;
};

// Never destroyed: a fault while the C runtime runs its exit-time
// destructors is still reported.
CrashFilterState& State() {
    static CrashFilterState& state = *new CrashFilterState;
    return state;
}

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\') + 1); }

std::wstring ZipPathFor(const std::wstring& dumpPath) {
    const size_t dot = dumpPath.find_last_of(L'.');
    const size_t slash = dumpPath.find_last_of(L'\\');
    const bool hasExtension = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash);
    return (hasExtension ? dumpPath.substr(0, dot) : dumpPath) + L".zip";
}

void RecordFault(const EXCEPTION_POINTERS* pointers, DWORD threadId) {
    BASDbgReport::Fault& fault = State().fault;
    fault.code = pointers->ExceptionRecord->ExceptionCode;
    fault.address = reinterpret_cast<uintptr_t>(pointers->ExceptionRecord->ExceptionAddress);
    fault.threadId = threadId;
    HMODULE module = nullptr;
    // A call through a null pointer faults at 0, which is in no module (the
    // lookup would answer with the executable).
    if (fault.address != 0 &&
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(fault.address), &module)) {
        GetModuleFileNameW(module, fault.module, MAX_PATH);
    }
}

// A normal dump (every thread's stack and registers) with the exception
// record of the faulting thread.
bool WriteDump(const std::wstring& path, EXCEPTION_POINTERS* pointers, DWORD threadId) {
    UniqueHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    MINIDUMP_EXCEPTION_INFORMATION exception{threadId, pointers, FALSE};
    return MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file.get(), MiniDumpNormal, &exception,
                             nullptr, nullptr);
}

// glog names its files "<program>.<host>.<user>.log.<severity>.<time>.<pid>";
// the report folder is the day's log folder, so these are the day's logs.
std::vector<std::wstring> LogFilesIn(const std::wstring& folder) {
    std::vector<std::wstring> files;
    for (const FolderEntry& entry : ListFolder(folder + L"*.log.*")) {
        if (!entry.isFolder) files.push_back(folder + entry.name);
    }
    return files;
}

// Runs on the reporter thread. The heap is used freely: a fault that
// corrupted it may end the report early, which the re-entry rule turns into
// a plain end of the process.
void WriteReport(EXCEPTION_POINTERS* pointers, DWORD threadId) {
    CrashFilterState& state = State();
    RecordFault(pointers, threadId);
    WriteDump(state.dumpPath, pointers, threadId);
    const std::wstring folder = FolderOf(state.dumpPath);
    wchar_t* extraFile = nullptr;
    if (state.content) state.content(folder.c_str(), &extraFile);
    // Without locks: the faulting thread may hold glog's.
    google::FlushLogFilesUnsafe(google::GLOG_INFO);
    std::vector<std::wstring> files{state.dumpPath};
    for (std::wstring& log : LogFilesIn(folder)) files.push_back(std::move(log));
    if (extraFile) files.push_back(extraFile);
    free(extraFile);
    const std::wstring zipPath = ZipPathFor(state.dumpPath);
    const bool packed = PackFilesIntoZip(zipPath, files);
    if (state.notice) state.notice(packed ? zipPath.c_str() : state.dumpPath.c_str());
}

// The dump is written from a thread of its own, made at registration: a
// thread that overflowed its stack has none left for dbghelp or zlib, and
// dbghelp describes the faulting thread best from outside it.
DWORD WINAPI ReporterMain(void*) {
    CrashFilterState& state = State();
    WaitForSingleObject(state.faultEvent.get(), INFINITE);
    WriteReport(state.pointers, static_cast<DWORD>(state.faultingThreadId));
    SetEvent(state.doneEvent.get());
    return 0;
}

// Every way of dying ends here. The first fault claims the report; any later
// one on the faulting or the reporter thread is a fault in the reporting
// itself and ends the process at once; one on another thread waits for the
// report, after which the process is ended under it.
[[noreturn]] void Report(EXCEPTION_POINTERS* pointers) {
    CrashFilterState& state = State();
    const DWORD self = GetCurrentThreadId();
    const DWORD code = pointers->ExceptionRecord->ExceptionCode;
    const LONG first = InterlockedCompareExchange(&state.faultingThreadId, static_cast<LONG>(self), 0);
    if (first != 0) {
        if (static_cast<DWORD>(first) == self || self == state.reporterThreadId)
            TerminateProcess(GetCurrentProcess(), code);
        for (;;) Sleep(INFINITE);
    }
    state.pointers = pointers;
    // The reporter is gone once the process has begun to end (ExitProcess
    // ends the other threads before the libraries hear of it): a fault from
    // then on is reported on its own thread.
    const bool reporterRuns =
        state.reporterThread && WaitForSingleObject(state.reporterThread.get(), 0) == WAIT_TIMEOUT;
    if (reporterRuns && SetEvent(state.faultEvent.get())) WaitForSingleObject(state.doneEvent.get(), INFINITE);
    else WriteReport(pointers, self);
    TerminateProcess(GetCurrentProcess(), code);
    for (;;) Sleep(INFINITE);  // TerminateProcess does not return for the current process
}

HMODULE ModuleAt(uintptr_t address) {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(address), &module);
    return module;
}

// Whether the bytes before address end in a call instruction: a direct call
// (E8 rel32) or an indirect one (FF /2 through a register, a pointer or a
// pointer plus a displacement), as a return address's do.
bool FollowsACall(uintptr_t address) {
    const auto* code = reinterpret_cast<const BYTE*>(address);
    auto indirectCallAt = [&](int back) { return code[-back] == 0xFF && (code[-back + 1] & 0x38) == 0x10; };
    return code[-5] == 0xE8 || indirectCallAt(2) || indirectCallAt(3) || indirectCallAt(6);
}

bool IsSystemModule(HMODULE module) {
    wchar_t path[MAX_PATH], system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    return length > 0 && GetModuleFileNameW(module, path, MAX_PATH) &&
           CompareStringOrdinal(path, static_cast<int>(length), system, static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

// abort() and a runtime's terminate or invalid-parameter path reach this
// library's handlers through the C runtime, so the handler's caller names
// nobody. The code that called in is found by scanning this thread's stack
// upwards for return addresses: the first one that is neither in the
// system's modules nor, before any of those, in this library's own module
// (the handlers' frames). Zero when none is found within 64 KB. The scan
// begins at frame, above the locals of the function that builds the report,
// whose captured registers may hold any address.
uintptr_t CallerOfTheRuntime(const void* frame) {
    const auto* top = static_cast<const uintptr_t*>(frame);
    // NT_TIB's StackBase, at fs:4, read directly: NtCurrentTeb's inline form
    // trips GCC's array-bounds warning.
    const uintptr_t* base;
    asm("movl %%fs:0x04, %0" : "=r"(base));
    const HMODULE self = ModuleAt(reinterpret_cast<uintptr_t>(&CallerOfTheRuntime));
    bool pastRuntime = false;
    for (const uintptr_t* slot = top; slot < base && slot < top + 16 * 1024; ++slot) {
        const HMODULE module = ModuleAt(*slot);
        if (!module || *slot < reinterpret_cast<uintptr_t>(module) + 0x1000 || !FollowsACall(*slot)) continue;
        if (IsSystemModule(module)) pastRuntime = true;
        else if (module != self || pastRuntime) return *slot;
    }
    return 0;
}

// Deaths without a structured exception get one made up here, with this
// thread's registers and, as the address, the code that called into the
// runtime or else the caller. RtlCaptureContext reads the caller's frame
// through EBP, so this function keeps a frame pointer.
[[noreturn]] __attribute__((noinline, optimize("no-omit-frame-pointer"))) void ReportHere(DWORD code) {
    CONTEXT context{};
    RtlCaptureContext(&context);
    EXCEPTION_RECORD record{};
    record.ExceptionCode = code;
    record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
    const uintptr_t caller = CallerOfTheRuntime(__builtin_frame_address(0));
    record.ExceptionAddress = caller ? reinterpret_cast<void*>(caller) : __builtin_return_address(0);
    EXCEPTION_POINTERS pointers{&record, &context};
    Report(&pointers);
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) { Report(pointers); }

// Stack overflow is caught when it is first raised: on Windows, searching
// the frames for a handler and calling the unhandled-exception filter may need
// more stack than the guard page leaves. (Under Wine the filter is reached
// either way: measured with neither this handler nor the guarantee below.)
// Nothing recovers from an overflow in this program.
LONG CALLBACK OnFirstChanceException(EXCEPTION_POINTERS* pointers) {
    if (pointers->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW) Report(pointers);
    return EXCEPTION_CONTINUE_SEARCH;
}

void __cdecl OnAbortSignal(int) { ReportHere(kCrashCodeAbort); }

void OnTerminate() { ReportHere(kCrashCodeTerminate); }

void __cdecl OnInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned, uintptr_t) {
    ReportHere(kCrashCodeInvalidParameter);
}

// msvcrt.dll has the invalid-parameter handler only from Vista on (Wine's
// has none: it logs bad arguments and returns an error), and mingw-w64's own
// _set_invalid_parameter_handler for msvcrt only records the handler for
// mingw's code: look msvcrt's up.
void InstallInvalidParameterHandler() {
    using Handler = void(__cdecl*)(const wchar_t*, const wchar_t*, const wchar_t*, unsigned, uintptr_t);
    using Setter = Handler(__cdecl*)(Handler);
    HMODULE crt = GetModuleHandleW(L"msvcrt.dll");
    if (!crt) return;
    FARPROC setter = GetProcAddress(crt, "_set_invalid_parameter_handler");
    if (setter) reinterpret_cast<Setter>(reinterpret_cast<void*>(setter))(OnInvalidParameter);
}

// Runtimes and other crash reporters loaded later call
// SetUnhandledExceptionFilter and would take the faults away from this one.
// Its entry is rewritten to return at once ("xor eax, eax; ret 4": no
// previous filter, the one stdcall argument popped), so every later caller is
// turned away, whether it imported the function, looked it up at run time or
// reached it through kernel32's forwarder. Patching import tables would miss
// the last two, and re-asserting the filter from time to time would leave
// gaps in between.
void LockUnhandledExceptionFilter(const wchar_t* moduleName) {
    static const BYTE kReturnAtOnce[] = {0x33, 0xC0, 0xC2, 0x04, 0x00};
    HMODULE module = GetModuleHandleW(moduleName);
    if (!module) return;
    auto entry = reinterpret_cast<BYTE*>(GetProcAddress(module, "SetUnhandledExceptionFilter"));
    DWORD protection = 0;
    if (!entry || !VirtualProtect(entry, sizeof kReturnAtOnce, PAGE_EXECUTE_READWRITE, &protection)) return;
    memcpy(entry, kReturnAtOnce, sizeof kReturnAtOnce);
    VirtualProtect(entry, sizeof kReturnAtOnce, protection, &protection);
    FlushInstructionCache(GetCurrentProcess(), entry, sizeof kReturnAtOnce);
}

bool StartReporter() {
    CrashFilterState& state = State();
    if (state.reporterThreadId != 0) return true;
    state.faultEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    state.doneEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!state.faultEvent || !state.doneEvent) return false;
    DWORD id = 0;
    // The handle tells a fault whether the thread still runs.
    state.reporterThread.reset(CreateThread(nullptr, 1024 * 1024, ReporterMain, nullptr, 0, &id));
    if (!state.reporterThread) return false;
    state.reporterThreadId = id;
    return true;
}

}  // namespace

bool BASDbgReport::RegisterCrashFilter(const wchar_t* dumpPath, NoticeCallback notice, ContentCallback content) {
    CrashFilterState& state = State();
    state.dumpPath = dumpPath ? dumpPath : L"";
    state.notice = notice;
    state.content = content;
    const bool started = StartReporter();
    // A second registration only changes the paths and callbacks.
    static bool installed = false;
    if (std::exchange(installed, true)) return started;
    // Room for the vectored handler and the hand-over after an overflow of
    // the registering (main) thread's stack.
    ULONG guarantee = 64 * 1024;
    SetThreadStackGuarantee(&guarantee);
    AddVectoredExceptionHandler(1, OnFirstChanceException);
    SetUnhandledExceptionFilter(OnUnhandledException);
    LockUnhandledExceptionFilter(L"kernel32.dll");
    LockUnhandledExceptionFilter(L"kernelbase.dll");
    signal(SIGABRT, OnAbortSignal);
    std::set_terminate(OnTerminate);
    InstallInvalidParameterHandler();
    return started;
}

const BASDbgReport::Fault& BASDbgReport::LastFault() { return State().fault; }

void BASDbgReport::WaitForReport(DWORD timeoutMs) {
    CrashFilterState& state = State();
    if (state.faultingThreadId == 0 || !state.doneEvent) return;
    WaitForSingleObject(state.doneEvent.get(), timeoutMs);
}

void BASDbgReport::ReportFault(EXCEPTION_POINTERS* pointers) { Report(pointers); }
