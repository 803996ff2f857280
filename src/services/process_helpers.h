// The host's small process services for installing an update: finding the
// newest copy of the product installed in a suite, running and launching
// programs, and ending running copies of the product's program. None of them
// reports failures to the user; callers carry on regardless.
#pragma once

#include <string>

// The folder of the newest installed version of title below the suite's
// "Addins\<title>\" (next to the host configuration file), without a
// trailing backslash; empty when there is none.
std::wstring FindNewestAddin(const std::wstring& title);

// Whether a folder name below "Addins\<title>\" is taken as a version: the
// first "number.number.number" found in it, or the whole name when there is
// none, must be the whole name. So "4.4.39" is taken, "v4.4.40" and
// "4.4.39.1" are not.
bool IsAddinVersionName(const std::wstring& name);

// Starts path with arguments (path + " " + arguments, the path unquoted),
// without a window, and waits for it to end. A failed start is ignored.
void RunAndWait(const std::wstring& path, const std::wstring& arguments);

// Starts path through the shell ("runas" when elevate is set on systems
// newer than major version 5) and waits up to one second: true when the
// process still runs or ended with a non-zero code, false when the launch
// failed or the process ended with 0.
bool ShellLaunch(const std::wstring& path, const std::wstring& parameters, bool elevate);

// Ends every running process but this one whose executable path contains
// path, ignoring letter case.
void EndRunningCopies(const std::wstring& path);
