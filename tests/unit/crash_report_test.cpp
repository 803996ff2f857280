// The host's side of crash reports: its naming of the faulting module and
// its cleaning of the report folder. (The crash ways themselves run in the
// real host: tests/e2e/crash_e2e_test.cpp.)
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "crash_report.h"
#include "host_state.h"
#include "test_files.h"

namespace {

// The names in a folder, sorted; none of those made here begins with a dot.
std::vector<std::wstring> EntriesOf(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &entry))
        if (entry.cFileName[0] != L'.') names.push_back(entry.cFileName);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

TEST(CrashReport, NamesAPluginByFolderVersionAndFileInAnyLetterCase) {
    const FaultingModule plugin =
        DescribeFaultingModule(L"C:\\App\\plugins\\Title\\1.0.0\\Title.dll", L"C:\\App\\Plugins\\");
    EXPECT_EQ(plugin.plugin, "Title");
    EXPECT_EQ(plugin.version, "1.0.0");
    EXPECT_EQ(plugin.file, "Title.dll");

    const FaultingModule host = DescribeFaultingModule(L"C:\\App\\Lumarest.exe", L"C:\\App\\Plugins\\");
    EXPECT_EQ(host.file, "Lumarest.exe");
    EXPECT_EQ(host.plugin, "");
    EXPECT_EQ(CrashMembers(host, 0xC0000005, 0x401000).back().second, "0x00401000");
    // A DLL lying loose in the plug-ins folder has no version folder.
    EXPECT_EQ(DescribeFaultingModule(L"C:\\App\\Plugins\\Loose.dll", L"C:\\App\\Plugins\\").plugin, "");
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
