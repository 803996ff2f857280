// libBasic's crash filter: when the process dies of a fault it writes a
// minidump, lets the application add a file, packs the report into a ".zip"
// beside the dump and tells the application where it is.
#pragma once

#include <windows.h>

#include <cstdint>

// Exception codes for deaths that arrive without a structured exception;
// real faults keep their own codes.
constexpr DWORD kCrashCodeAbort = 0x40000015;             // STATUS_FATAL_APP_EXIT, as abort() reports it
constexpr DWORD kCrashCodeInvalidParameter = 0xC0000417;  // STATUS_INVALID_CRUNTIME_PARAMETER
constexpr DWORD kCrashCodeTerminate = 0xE0000E01;         // std::terminate, pure virtual calls among them

class BASDbgReport {
public:
    // Called after the ".zip" is written, with its path (the dump's path when
    // packing failed); runs on the filter's own thread while the faulting
    // thread waits, and the process ends when it returns.
    using NoticeCallback = void(__cdecl*)(const wchar_t* reportPath);
    // Called after the dump is written, with the report folder (ending in a
    // backslash). The application may set *extraFile to a C-heap path of one
    // more file to pack; the library frees it.
    using ContentCallback = void(__cdecl*)(const wchar_t* reportFolder, wchar_t** extraFile);

    // What the filter knows of the fault being reported.
    struct Fault {
        DWORD code = 0;
        uintptr_t address = 0;
        DWORD threadId = 0;
        wchar_t module[MAX_PATH] = {};  // full path of the module holding the address, or ""
    };

    // Installs the filter for the rest of the process: unhandled exceptions
    // on any thread (also when a library later sets its own filter), stack
    // overflow, abort(), std::terminate and the C runtime's invalid-parameter
    // handler. dumpPath is the dump's full path; its folder is the report
    // folder. Returns false when the filter's thread could not be started.
    static bool RegisterCrashFilter(const wchar_t* dumpPath, NoticeCallback notice, ContentCallback content);

    // For the orderly end: when a fault has begun a report, waits up to
    // timeoutMs for it to be complete (the process then ends with the fault's
    // code); at once otherwise. Returning from the program would end the
    // process under a report still being written, leaving an empty dump.
    static void WaitForReport(DWORD timeoutMs);

    // The fault being reported; meaningful inside the two callbacks.
    static const Fault& LastFault();

    // Reports a fault that the system would swallow (one raised inside a
    // window-creation callback never reaches the unhandled-exception filter)
    // as if it were unhandled, then ends the process. With no filter
    // registered the process just ends.
    [[noreturn]] static void ReportFault(EXCEPTION_POINTERS* pointers);
};
