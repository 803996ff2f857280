// Real runs of Lumarest.exe: single instance, also against twenty racing
// starts, the log folder and its glog file with start-up's decisions on the
// shipped catalog, pictures and language, and the command line's host
// configuration path.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <vector>

#include "host_process.h"
#include "test_files.h"

namespace {

// Emulated 32-bit Wine starts a program in seconds, not milliseconds.
constexpr DWORD kStartTimeoutMs = 120000;
constexpr DWORD kExitTimeoutMs = 60000;

class LifecycleTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(HostProcess::DefaultExePath().empty()) << "LUMAREST_EXE is not set"; }

    HostProcess::Options Isolated(const std::wstring& arguments = L"") const {
        HostProcess::Options options;
        options.tempDir = temp_.Path();
        options.pluginsFrom = plugins_.Path();  // empty: the run exercises the host alone
        options.arguments = arguments;
        return options;
    }

    TempFolder temp_;
    TempFolder plugins_;
};

TEST_F(LifecycleTest, SecondStartEndsAtOnceWithZeroAndLeavesTheFirstRunning) {
    HostProcess first(Isolated());
    ASSERT_TRUE(first.Start());
    ASSERT_NE(first.WaitForMainWindow(kStartTimeoutMs), nullptr) << "the first instance never showed its window";

    HostProcess second(Isolated());
    ASSERT_TRUE(second.Start());
    EXPECT_EQ(second.WaitForExit(kExitTimeoutMs), 0u);
    EXPECT_EQ(second.WaitForMainWindow(0), nullptr) << "the second instance showed a window";

    EXPECT_EQ(first.WaitForExit(0), static_cast<DWORD>(STILL_ACTIVE)) << "the first instance was disturbed";
    ASSERT_TRUE(first.RequestClose());
    EXPECT_EQ(first.WaitForExit(kExitTimeoutMs), 0u);
}

// Starts that race for the single-instance mutex: whichever way they
// interleave, one stays and every other ends at once with 0.
TEST_F(LifecycleTest, TwentySimultaneousStartsLeaveExactlyOneRunning) {
    constexpr int kStarts = 20;
    std::vector<std::unique_ptr<HostProcess>> hosts;
    for (int i = 0; i < kStarts; ++i) hosts.push_back(std::make_unique<HostProcess>(Isolated()));
    for (auto& host : hosts) ASSERT_TRUE(host->Start());
    std::vector<HostProcess*> running;
    const DWORD start = GetTickCount();
    do {
        Sleep(500);
        running.clear();
        for (auto& host : hosts)
            if (host->WaitForExit(0) == STILL_ACTIVE) running.push_back(host.get());
    } while (running.size() > 1 && GetTickCount() - start < 4 * kStartTimeoutMs);
    ASSERT_EQ(running.size(), 1u) << "instances still running";
    for (auto& host : hosts) {
        if (host.get() == running[0]) continue;
        EXPECT_EQ(host->WaitForExit(0), 0u) << "a second instance ended with an error";
    }
    ASSERT_NE(running[0]->WaitForMainWindow(kStartTimeoutMs), nullptr) << "the one left shows no window";
    ASSERT_TRUE(running[0]->RequestClose());
    EXPECT_EQ(running[0]->WaitForExit(kExitTimeoutMs), 0u);
}

TEST_F(LifecycleTest, RunsOfOneDayLogSystemInformationAndTheHostConfigurationIntoOneFolder) {
    for (const wchar_t* arguments : {LR"("C:\Zentrovia Suite\host settings\host config.json")", L""}) {
        HostProcess host(Isolated(arguments));
        ASSERT_TRUE(host.Start());
        ASSERT_NE(host.WaitForMainWindow(kStartTimeoutMs), nullptr);
        ASSERT_TRUE(host.RequestClose());
        ASSERT_EQ(host.WaitForExit(kExitTimeoutMs), 0u) << "the close path did not end the loop with 0";
    }
    HostProcess reader(Isolated());
    DWORD attributes = GetFileAttributesW(reader.LogFolder().c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << "no dated log folder under the temporary folder";
    const std::string log = reader.ReadLogs();
    const std::string sysInfo = R"(SysInfoStr: {"Product":"Zentrovia Handset Message + Contact Rescue","Version":"4.4.39","System":")";
    const size_t first = log.find(sysInfo);
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_NE(log.find(sysInfo, first + 1), std::string::npos) << "the second run did not log into the same folder";
    EXPECT_NE(log.find(R"(,"FreeMemSize":)"), std::string::npos);
    EXPECT_NE(log.find(R"(Host configuration: C:\Zentrovia Suite\host settings\host config.json)"), std::string::npos)
        << "the quoted path with blanks is one argument";
    EXPECT_NE(log.find("Host configuration: (none)"), std::string::npos) << "an empty command line names no file";
    EXPECT_NE(log.find("Option.json loaded, product type 0"), std::string::npos) << "the shipped catalog";
    EXPECT_NE(log.find("Translation catalog for index"), std::string::npos);
    EXPECT_EQ(log.find("is missing"), std::string::npos) << "a shipped picture is missing:\n" << log;
    EXPECT_NE(log.find("OnDestroy"), std::string::npos) << "the log was not shut down in order";
}

}  // namespace
