// Single instance against twenty racing starts of the real Lumarest.exe:
// whichever way they interleave, one stays and every other ends at once
// with 0.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <vector>

#include "host_process.h"
#include "test_files.h"

namespace {

constexpr DWORD kStartTimeoutMs = 120000;  // emulated Wine starts a program in seconds
constexpr int kStarts = 20;

TEST(Lifecycle, TwentySimultaneousStartsLeaveExactlyOneRunning) {
    TempFolder temp;
    TempFolder plugins;  // empty: the runs exercise the host alone
    std::vector<std::unique_ptr<HostProcess>> hosts;
    for (int i = 0; i < kStarts; ++i) {
        HostProcess::Options options;
        options.tempDir = temp.Path();
        options.pluginsFrom = plugins.Path();
        hosts.push_back(std::make_unique<HostProcess>(options));
    }
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
    EXPECT_EQ(running[0]->WaitForExit(60000), 0u);
}

}  // namespace
