// Real runs of Lumarest.exe racing for the single-instance mutex.
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

    HostProcess::Options Isolated() const {
        HostProcess::Options options;
        options.tempDir = temp_.Path();
        options.pluginsFrom = plugins_.Path();  // empty: the run exercises the host alone
        return options;
    }

    TempFolder temp_;
    TempFolder plugins_;
};

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

}  // namespace
