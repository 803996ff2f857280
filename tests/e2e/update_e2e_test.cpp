// The update flow in real runs with the probe as the communication plug-in,
// for what only a stand-in can provoke: notes that do not parse and a
// server crash. Screenshots go to the artefacts folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "host_process.h"
#include "screen_support.h"

namespace {

using namespace e2e;

using UpdateRun = HostRun;

// Notes that do not parse show nothing; a server crash gives the notice and
// one restart request.
constexpr char kCrashScript[] =
    "WAITFOR LIBCOMM_COMMAND_CHECK_FOR_UPDATE\n"
    "SEND LIBCOMM_COMMAND_CHECK_FOR_UPDATE value=1 count=1 data=u8:{\"version\":\"4.4.41\"}\n"
    "SLEEP 4000\n"
    "SEND LIBCOMM_COMMAND_SERVER_CRASH value=7\n";

TEST_F(UpdateRun, UnreadableNotesShowNothingAndACrashShowsItsNoticeAndRestartsOnce) {
    AddProbe({"LIBCOMM_COMMAND_CHECK_FOR_UPDATE", "LIBCOMM_COMMAND_READY_START_SERVER"}, kCrashScript);
    HostProcess host(Options());
    ASSERT_TRUE(host.Start());
    ASSERT_NE(host.WaitForMainWindow(kStartTimeoutMs), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return Lines(Log(), "probe ANSWER LIBCOMM_COMMAND_CHECK_FOR_UPDATE").size() == 1; },
                          kEventTimeoutMs));
    Sleep(2000);
    EXPECT_EQ(ShownSheet(host), nullptr) << "notes that do not parse were offered";
    HWND sheet = WaitForSheetNotice(host);
    ASSERT_NE(sheet, nullptr) << "the crash showed no notice";
    Sleep(500);
    EXPECT_TRUE(SaveScreenBmp(WindowRect(sheet), L"update-crash-notice.bmp"));
    Close(host);  // whatever the crash asked for has arrived by the end
    const auto restarts = Lines(Log(), "probe RECV LIBCOMM_COMMAND_READY_START_SERVER ");
    ASSERT_EQ(restarts.size(), 1u) << "one crash, one restart request";
    EXPECT_EQ(Value(restarts[0]), 7);
    EXPECT_NE(restarts[0].find("sender=host"), std::string::npos);
}

}  // namespace
