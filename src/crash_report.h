// The host's side of crash reporting: the "Crash.json" that goes into the
// report, and the notice once the report is packed. The capture and the
// packing are libBasic's (BASDbgReport).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Where a fault happened, as the report names it.
struct FaultingModule {
    std::string file;     // the module's file name; "" when the address was in no module
    std::string plugin;   // for a plug-in below the plug-ins folder: its folder, else ""
    std::string version;  // and its version folder, else ""
};

// modulePath is a full path; pluginsDir ends in a backslash. A module below
// pluginsDir as <folder>\<version>\...\<file> is a plug-in; letter case does
// not matter, as in Windows paths.
FaultingModule DescribeFaultingModule(const std::wstring& modulePath, const std::wstring& pluginsDir);

// The members that follow the system information in "Crash.json": "Module",
// then "Plugin" and "PluginVersion" for a plug-in, then "ExceptionCode" and
// "ExceptionAddress" as 0x-prefixed hexadecimal texts.
std::vector<std::pair<std::string, std::string>> CrashMembers(const FaultingModule& module, uint32_t code,
                                                              uintptr_t address);

// Deletes every entry of folder (no trailing backslash) whose name does not
// contain ".zip" in any letter case, so that only packed reports stay. An
// unreadable folder is left as it is.
void CleanReportFolder(const std::wstring& folder);

// Shuts glog down unless that happened already (the log-shut flag), so that
// every line is on disk and no file stays open, then cleans the folder.
void SettleReportFolder(const std::wstring& folder);

// The content callback: writes reportFolder + "Crash.json" (the system
// information and the fault) and hands back a C-heap copy of its path, also
// when the file could not be written.
void __cdecl CrashContent(const wchar_t* reportFolder, wchar_t** extraFile);

// The notice callback: silent once the process is past its orderly end;
// otherwise settles the report folder and opens it in the shell.
void __cdecl CrashNotice(const wchar_t* reportPath);
