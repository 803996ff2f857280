/*
 * A stand-in program for the process helper tests:
 *
 *     lumarest-sleeper.exe <milliseconds> <exit code>
 *
 * sleeps, then exits with the code.
 * It is a windowless GUI-subsystem program, so starting it makes no console
 * (whose host would outlive the test and hold its output open).
 */
#include <windows.h>

#include <stdlib.h>
#include <wchar.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show) {
    int argc = __argc;
    wchar_t** argv = __wargv;
    DWORD milliseconds = argc > 1 ? (DWORD)wcstoul(argv[1], NULL, 10) : 0;
    int exitCode = argc > 2 ? _wtoi(argv[2]) : 0;
    Sleep(milliseconds);
    return exitCode;
}
