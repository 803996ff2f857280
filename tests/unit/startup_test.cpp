// Start-up pieces that need no running host: the single-instance mutex, the
// command line, the log folder, the system-information record, the start-up
// trace and the safe-start marker.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>

#include "app_lifecycle.h"
#include "safe_start.h"
#include "startup_trace.h"
#include "system_info.h"
#include "test_files.h"

namespace {

TEST(SingleInstance, TheSecondHolderSeesTheFirst) {
    const std::wstring name = L"Global_lumarest-test-" + std::to_wstring(GetCurrentProcessId());
    SingleInstance first(name);
    EXPECT_FALSE(first.AnotherWasFirst());
    SingleInstance second(name);
    EXPECT_TRUE(second.AnotherWasFirst()) << "a create that finds the mutex is the second start";
}

TEST(CommandLine, TheTraceSwitchesAreTakenOutWhereverTheyStand) {
    const CommandLineArgs args(L"--trace-bus \"C:\\a b\\host.json\" --startup-trace");
    EXPECT_TRUE(args.StartupTraceAsked());
    EXPECT_TRUE(args.BusTraceAsked());
    ASSERT_EQ(args.Count(), 1);
    EXPECT_STREQ(args[0], L"C:\\a b\\host.json");
}

TEST(StartupTrace, SumsEachPhaseInFirstSeenOrderCountingRepeatedOnes) {
    StartupTrace trace;
    trace.Record("frame", 1.0);
    trace.Record("plug-in load", 2.0, "Comm");
    trace.Record("RegisterModule", 0.5, "Comm");
    trace.Record("plug-in load", 3.0, "Title");
    EXPECT_EQ(trace.Summary(), "Start-up 6.5 ms: frame 1.0 ms; plug-in load 5.0 ms (2); RegisterModule 0.5 ms");
}

TEST(StartMarkerWriter, KeepsOnlyTheLatestPluginLetsTheCrashReportWriteOverItAndGoesWhenFinished) {
    TempFolder root;
    const std::wstring path = root.Path() + L"\\settings\\StartMarker.txt";
    StartMarkerWriter writer(path);
    ASSERT_TRUE(writer.Write({L"CommunicationModule", false}));
    ASSERT_TRUE(writer.Write({L"Title", false}));
    std::optional<StartMarker> read = ParseStartMarker(ReadTextFile(path));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->plugin, L"Title") << "the longer name before it must not show through";
    EXPECT_TRUE(WriteStartMarker(path, {L"Title", true})) << "the crash report is shut out while the file is open";
    read = ParseStartMarker(ReadTextFile(path));
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->crashed);
    writer.Finish();
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);

    ASSERT_TRUE(WriteStartMarker(path, {L"Title", true}));
    EXPECT_TRUE(TakeStartMarker(path)) << "the marker of a crashed start is read";
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "a marker read stays for the next start";
    for (const char* forged : {"crashed\n../Title\n", "crashed\nTitle\\x\n", "unfinished\n\n", "crashed Title\n"})
        EXPECT_FALSE(ParseStartMarker(forged)) << "a marker naming no plain folder is refused: " << forged;
}

TEST(SystemInfo, IsCompactJsonWithMembersInOrder) {
    SystemInfo info{"Zentrovia", "4.4.39", FormatWindowsVersion(6, 1, 7601, 1, 0), 123, 18446744073709551615ull};
    EXPECT_EQ(SystemInfoJson(info),
              R"({"Product":"Zentrovia","Version":"4.4.39","System":"6.1 Build 7601 Service Pack 1.0",)"
              R"("FreeMemSize":123,"TotalMemSize":18446744073709551615})");
}

}  // namespace
