// Start-up pieces that need no running host: the single-instance mutex, the
// log folder and the system-information record.
#include <gtest/gtest.h>

#include <windows.h>

#include "app_lifecycle.h"
#include "system_info.h"
#include "test_files.h"

namespace {

TEST(SingleInstance, TheSecondHolderSeesTheFirstUntilItsHandleCloses) {
    const std::wstring name = L"Global_lumarest-test-" + std::to_wstring(GetCurrentProcessId());
    EXPECT_FALSE(SingleInstance::AnotherIsRunning(name));
    {
        SingleInstance first(name);
        EXPECT_FALSE(first.AnotherWasFirst());
        EXPECT_TRUE(SingleInstance::AnotherIsRunning(name));
        SingleInstance second(name);
        EXPECT_TRUE(second.AnotherWasFirst()) << "a create that finds the mutex is the second start";
    }
    EXPECT_FALSE(SingleInstance::AnotherIsRunning(name)) << "closing the handle frees the name";
}

TEST(LogFolder, IsTempMakerAndDateAndShutDownRemovesItOnlyWhenEmpty) {
    EXPECT_EQ(LogFolderPath(L"C:\\Temp\\", L"Zentrovia", L"20261205"), L"C:\\Temp\\Zentrovia\\20261205");
    TempFolder root;
    const std::wstring folder = root.Path() + L"\\day";
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const wchar_t* name : {L"Lumarest.exe.log.INFO.20261205", L"20261205120000.dmp", L"report.zip"}) {
        const std::wstring file = root.Write(std::wstring(L"day\\") + name, "x");
        EXPECT_FALSE(RemoveLogFolderIfEmpty(folder + L"\\20261205120000.dmp")) << "folder holding " << name;
        DeleteFileW(file.c_str());
    }
    EXPECT_TRUE(RemoveLogFolderIfEmpty(folder + L"\\20261205120000.dmp"));
    EXPECT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(SystemInfo, IsCompactJsonWithMembersInOrder) {
    SystemInfo info{"Zentrovia", "4.4.39", FormatWindowsVersion(6, 1, 7601, 1, 0), 123, 18446744073709551615ull};
    EXPECT_EQ(SystemInfoJson(info), R"({"Product":"Zentrovia","Version":"4.4.39","System":"6.1 Build 7601 Service Pack 1.0",)"
                                    R"("FreeMemSize":123,"TotalMemSize":18446744073709551615})");
}

}  // namespace
