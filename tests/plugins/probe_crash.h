// Ways for the probe to die, for real runs of the host's crash reports.
#pragma once

#include <windows.h>

#include <string>

// Dies the given way: "null-write", "thread-null-write" (on a new thread),
// "two-threads" (two new threads at once), "divide-by-zero", "abort",
// "pure-virtual", "stack-overflow". announce is called
// with each thread that is about to fault, before it does. Returns only for
// an unknown way, or when the way did not kill the process.
void CrashTheWay(const std::string& way, void (*announce)(DWORD threadId));
