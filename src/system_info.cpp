#include "system_info.h"

#include <windows.h>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "product_identity.h"

std::string FormatWindowsVersion(unsigned major, unsigned minor, unsigned build, unsigned servicePackMajor,
                                 unsigned servicePackMinor) {
    return std::to_string(major) + "." + std::to_string(minor) + " Build " + std::to_string(build) + " Service Pack " +
           std::to_string(servicePackMajor) + "." + std::to_string(servicePackMinor);
}

SystemInfo CollectSystemInfo() {
    SystemInfo info;
    info.product = ProductIdentity::ProductTitleUtf8();
    info.version = ProductIdentity::VersionUtf8();
    OSVERSIONINFOEXW os{};
    os.dwOSVersionInfoSize = sizeof os;
    if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&os))) {
        info.system = FormatWindowsVersion(os.dwMajorVersion, os.dwMinorVersion, os.dwBuildNumber, os.wServicePackMajor,
                                           os.wServicePackMinor);
    }
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    if (GlobalMemoryStatusEx(&memory)) {
        info.freeMemory = memory.ullAvailPhys;
        info.totalMemory = memory.ullTotalPhys;
    }
    return info;
}

std::string SystemInfoJson(const SystemInfo& info, const std::vector<std::pair<std::string, std::string>>& extra) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.StartObject();
    writer.Key("Product");
    writer.String(info.product.c_str());
    writer.Key("Version");
    writer.String(info.version.c_str());
    writer.Key("System");
    writer.String(info.system.c_str());
    writer.Key("FreeMemSize");
    writer.Uint64(info.freeMemory);
    writer.Key("TotalMemSize");
    writer.Uint64(info.totalMemory);
    for (const auto& [key, value] : extra) {
        writer.Key(key.c_str());
        writer.String(value.c_str());
    }
    writer.EndObject();
    return buffer.GetString();
}
