// The system-information record logged at start and packed into crash reports.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct SystemInfo {
    std::string product;
    std::string version;
    std::string system;  // "" when the Windows version is unknown
    uint64_t freeMemory = 0;
    uint64_t totalMemory = 0;
};

// "6.1 Build 7601 Service Pack 1.0".
std::string FormatWindowsVersion(unsigned major, unsigned minor, unsigned build, unsigned servicePackMajor,
                                 unsigned servicePackMinor);
// Reads this machine.
SystemInfo CollectSystemInfo();
// Compact JSON with Product, Version, System, FreeMemSize, TotalMemSize in
// that order, then the extra string members (key, value) in theirs.
std::string SystemInfoJson(const SystemInfo& info, const std::vector<std::pair<std::string, std::string>>& extra = {});
