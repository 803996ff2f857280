// The host's naming of a plug-in in any letter case, its cleaning of the
// report folder and its silence after the orderly end. (The crash ways
// themselves run in the real host: tests/e2e/crash_e2e_test.cpp.)
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "crash_report.h"
#include "host_state.h"
#include "test_files.h"

namespace {

TEST(CrashReport, NamesAPluginByFolderAndVersionInAnyLetterCase) {
    const FaultingModule plugin =
        DescribeFaultingModule(L"C:\\App\\plugins\\Title\\1.0.0\\Title.dll", L"C:\\App\\Plugins\\");
    EXPECT_EQ(plugin.plugin + "/" + plugin.version, "Title/1.0.0");
    const auto members = CrashMembers(plugin, 0xC0000005, 0x1000F00D);
    const auto valueOf = [&](const std::string& name) {
        for (const auto& [key, value] : members)
            if (key == name) return value;
        return std::string("missing");
    };
    EXPECT_EQ(valueOf("Plugin"), "Title");
    EXPECT_EQ(valueOf("PluginVersion"), "1.0.0");
    EXPECT_EQ(valueOf("ExceptionCode"), "0xC0000005");
    EXPECT_EQ(valueOf("ExceptionAddress"), "0x1000F00D");
}

TEST(CrashReport, CleaningKeepsEveryNameContainingZipInAnyCaseButNotAfterTheOrderlyEnd) {
    TempFolder folder;
    for (const wchar_t* name : {L"old.zip", L"report.ZIP.txt", L"20261206.dmp", L"Crash.json"}) folder.Write(name, "x");
    Host().exitFlag = true;
    CrashNotice((folder.Path() + L"\\20261206.zip").c_str());
    Host().exitFlag = false;
    EXPECT_EQ(EntriesOf(folder.Path()).size(), 4u) << "a dying process was announced";
    CleanReportFolder(folder.Path());
    EXPECT_EQ(EntriesOf(folder.Path()), (std::vector<std::wstring>{L"old.zip", L"report.ZIP.txt"}));
}

}  // namespace
