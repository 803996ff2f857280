// Real runs of Lumarest.exe: single instance, the log folder and its glog
// file, and the command line's host configuration path.
#include <gtest/gtest.h>

#include <windows.h>

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
        options.pluginsDir = plugins_.Path();  // empty: the run exercises the host alone
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

TEST_F(LifecycleTest, RunLogsSystemInformationAndTheQuotedHostConfigurationPath) {
    HostProcess host(Isolated(LR"("C:\Zentrovia Suite\host settings\host config.json")"));
    ASSERT_TRUE(host.Start());
    ASSERT_NE(host.WaitForMainWindow(kStartTimeoutMs), nullptr);
    ASSERT_TRUE(host.RequestClose());
    ASSERT_EQ(host.WaitForExit(kExitTimeoutMs), 0u) << "the close path did not end the loop with 0";

    DWORD attributes = GetFileAttributesW(host.LogFolder().c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << "no dated log folder under the temporary folder";
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);

    const std::string log = host.ReadLogs();
    EXPECT_NE(log.find(R"(SysInfoStr: {"Product":"Zentrovia Handset Message + Contact Rescue","Version":"4.4.39","System":")"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(R"(,"FreeMemSize":)"), std::string::npos);
    EXPECT_NE(log.find(R"(Host configuration: C:\Zentrovia Suite\host settings\host config.json)"), std::string::npos)
        << "the quoted path with blanks is one argument";
    EXPECT_NE(log.find("OnDestroy"), std::string::npos) << "the log was not shut down in order";
}

TEST_F(LifecycleTest, SecondRunOnOneDayReusesAndKeepsTheLogFolder) {
    for (int run = 0; run < 2; ++run) {
        HostProcess host(Isolated());
        ASSERT_TRUE(host.Start());
        ASSERT_NE(host.WaitForMainWindow(kStartTimeoutMs), nullptr);
        ASSERT_TRUE(host.RequestClose());
        ASSERT_EQ(host.WaitForExit(kExitTimeoutMs), 0u);
    }
    HostProcess probe(Isolated());
    const std::string log = probe.ReadLogs();
    size_t first = log.find("SysInfoStr: ");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(log.find("SysInfoStr: ", first + 1), std::string::npos) << "both runs logged into the same day folder";
    EXPECT_EQ(log.find("Host configuration: (none)") != std::string::npos, true) << "an empty command line names no file";
}

}  // namespace
