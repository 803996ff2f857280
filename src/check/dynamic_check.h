// The checker's run of a plug-in as the host would use it, in a child
// process of its own so that a crash or a hang of the plug-in is a finding
// and not the checker's end. The child is the checker started again with a
// hidden switch; it hosts the plug-in headless (the real bus and command
// handler, no windows of the host's) and writes what happened, line by line,
// into a report file that the parent reads once it has ended.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/plugin_review.h"

// The switch that makes the checker the child.
constexpr wchar_t kChildSwitch[] = L"--run-plugin-child";

struct StepTime {
    std::string step;
    double ms = 0;
};

// Blocks and bytes the C heap gained over a pass: "repeat" (every command
// name sent many times) or "kept" (from before RegisterModule to after the
// close, the headless host's own blocks left out).
struct HeapGain {
    std::string pass;
    long blocks = 0;
    long bytes = 0;
};

struct DynamicResult {
    std::vector<Finding> findings;
    std::vector<StepTime> steps;
    std::vector<HeapGain> heap;
};

// Parent: runs the plug-in of module in versionFolder (ending in a
// backslash) in a child started from checker (this program's path); each
// step may take limitMs.
DynamicResult RunDynamicChecks(const std::wstring& checker, const std::wstring& versionFolder,
                               const std::string& module, DWORD limitMs);

// Child: the steps themselves; the exit code of the child process.
int RunChild(const std::wstring& versionFolder, const std::wstring& module, const std::wstring& reportPath,
             DWORD limitMs);
