// Start-up pieces that need no running host: identity, the single-instance
// name, the command line, the log folder and the system-information record.
#include <gtest/gtest.h>

#include <windows.h>

#include <rapidjson/document.h>

#include "app_lifecycle.h"
#include "product_identity.h"
#include "system_info.h"
#include "test_files.h"

namespace {

TEST(ProductIdentity, ShowsBarsAsBlanksAndTakesTheBuildYear) {
    EXPECT_EQ(ProductIdentity::ProductTitle(), L"Zentrovia Handset Message + Contact Rescue");
    EXPECT_EQ(ProductIdentity::SecondTitle(), L"Zentrovia Handset Companion");
    EXPECT_EQ(ProductIdentity::BuildYear(), L"2020");
    EXPECT_EQ(ProductIdentity::LastWord(L"Apr  2 2020  "), L"2020");
    EXPECT_EQ(ProductIdentity::LastWord(L"single"), L"single");
    EXPECT_EQ(ProductIdentity::LastWord(L""), L"");
}

TEST(SingleInstance, NameLivesInThePerLogonNamespace) {
    EXPECT_EQ(InstanceMutexName(), L"Global_Zentrovia Handset Message + Contact Rescue_4.4.39");
    EXPECT_NE(InstanceMutexName().rfind(L"Global\\", 0), 0u) << "not the machine-wide namespace";
}

TEST(SingleInstance, SecondHolderSeesTheFirst) {
    const std::wstring name = L"Global_lumarest-test-" + std::to_wstring(GetCurrentProcessId());
    EXPECT_FALSE(SingleInstance::AnotherIsRunning(name));
    {
        SingleInstance first(name);
        EXPECT_TRUE(SingleInstance::AnotherIsRunning(name));
    }
    EXPECT_FALSE(SingleInstance::AnotherIsRunning(name)) << "closing the handle frees the name";
}

TEST(CommandLine, EmptyLineHasNoArguments) {
    CommandLineArgs none(L"");
    EXPECT_EQ(none.Count(), 0);
    CommandLineArgs null(nullptr);
    EXPECT_EQ(null.Count(), 0);
}

TEST(CommandLine, QuotedPathWithBlanksIsOneArgument) {
    CommandLineArgs args(LR"("C:\Program Files\Zentrovia Suite\host config.json" extra)");
    ASSERT_EQ(args.Count(), 2);
    EXPECT_STREQ(args[0], LR"(C:\Program Files\Zentrovia Suite\host config.json)");
    EXPECT_STREQ(args[1], L"extra");
}

TEST(LogFolder, IsTempMakerAndDate) {
    EXPECT_EQ(LogFolderPath(L"C:\\Temp\\", L"Zentrovia", L"20261205"), L"C:\\Temp\\Zentrovia\\20261205");
}

TEST(LogFolder, CreatingTwiceOnOneDayReusesTheFolder) {
    std::wstring first = CreateTodaysLogFolder();
    std::wstring second = CreateTodaysLogFolder();
    EXPECT_EQ(first, second);
    DWORD attributes = GetFileAttributesW(first.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(LogFolder, ShutDownRemovesOnlyAnEmptyFolder) {
    TempFolder root;
    const std::wstring empty = root.Path() + L"\\empty";
    CreateDirectoryW(empty.c_str(), nullptr);
    EXPECT_TRUE(RemoveLogFolderIfEmpty(empty + L"\\20261205120000.dmp"));
    EXPECT_EQ(GetFileAttributesW(empty.c_str()), INVALID_FILE_ATTRIBUTES);

    for (const wchar_t* name : {L"Lumarest.exe.log.INFO.20261205", L"20261205120000.dmp", L"report.zip"}) {
        const std::wstring kept = root.Path() + L"\\kept";
        CreateDirectoryW(kept.c_str(), nullptr);
        root.Write(std::wstring(L"kept\\") + name, "x");
        EXPECT_FALSE(RemoveLogFolderIfEmpty(kept + L"\\20261205120000.dmp")) << "folder holding " << name;
        EXPECT_NE(GetFileAttributesW(kept.c_str()), INVALID_FILE_ATTRIBUTES);
        TempFolder::RemoveTree(kept);
    }
}

TEST(SystemInfo, FormatsTheWindowsVersion) {
    EXPECT_EQ(FormatWindowsVersion(6, 1, 7601, 1, 0), "6.1 Build 7601 Service Pack 1.0");
}

TEST(SystemInfo, IsCompactJsonWithMembersInOrder) {
    SystemInfo info{"Zentrovia Handset Message + Contact Rescue", "4.4.39", "10.0 Build 19045 Service Pack 0.0",
                    123, 18446744073709551615ull};
    EXPECT_EQ(SystemInfoJson(info),
              R"({"Product":"Zentrovia Handset Message + Contact Rescue","Version":"4.4.39",)"
              R"("System":"10.0 Build 19045 Service Pack 0.0","FreeMemSize":123,"TotalMemSize":18446744073709551615})");
}

TEST(SystemInfo, CollectsThisMachine) {
    SystemInfo info = CollectSystemInfo();
    EXPECT_EQ(info.version, "4.4.39");
    EXPECT_FALSE(info.system.empty());
    // Wine caps a 32-bit process's total at 3.5 GB but reports the host's
    // free memory, so the two are not compared.
    EXPECT_GT(info.totalMemory, 0u);
    EXPECT_GT(info.freeMemory, 0u);
    rapidjson::Document parsed;
    ASSERT_FALSE(parsed.Parse(SystemInfoJson(info).c_str()).HasParseError());
    EXPECT_TRUE(parsed["TotalMemSize"].IsUint64());
}

}  // namespace
