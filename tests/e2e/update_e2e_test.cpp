// The update flow in real runs with the probe as the communication plug-in,
// for what only a stand-in can provoke: notes that do not parse, a server
// crash and a download that fails halfway. Screenshots go to the artefacts
// folder.
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

// The automatic check fails unseen; a user's check shows the list at once,
// scrolled to the first of its twenty lines of notes; its download fails at
// a third, before the run has ended, and the dialog's close then cancels
// nothing.
constexpr char kHalfwayFailureScript[] =
    "WAITFOR LIBCOMM_COMMAND_CHECK_FOR_UPDATE\n"
    "SEND LIBCOMM_COMMAND_CHECK_FOR_UPDATE value=0\n"
    "SEND LIBPLATFORM_COMMAND_CHECK_FOR_UPDATE\n"
    "WAITFOR LIBCOMM_COMMAND_CHECK_FOR_UPDATE\n"
    "SEND LIBCOMM_COMMAND_CHECK_FOR_UPDATE value=1 count=1 data=u8:[{\"version\":\"4.4.41\",\"descriptions\":"
    "[\"2\",\"3\",\"4\",\"5\",\"6\",\"7\",\"8\",\"9\",\"10\",\"11\",\"12\",\"13\",\"14\",\"15\",\"16\",\"17\",\"18\",\"19\",\"20\"]}]\n"
    "WAITFOR LIBCOMM_COMMAND_DOWNLOAD_UPDATE\n"
    "SEND LIBCOMM_COMMAND_DOWNLOAD_UPDATE value=2 value2=3000000 value3=1000000\n"
    "SEND LIBCOMM_COMMAND_DOWNLOAD_UPDATE value=6\n";

TEST_F(UpdateRun, ClosingADownloadThatFailedHalfwayCancelsNothing) {
    AddProbe({"LIBCOMM_COMMAND_CHECK_FOR_UPDATE", "LIBCOMM_COMMAND_DOWNLOAD_UPDATE", "LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL"},
             kHalfwayFailureScript);
    HostProcess host(Options());
    ASSERT_TRUE(host.Start());
    ASSERT_NE(host.WaitForMainWindow(kStartTimeoutMs), nullptr);
    HWND list = WaitForDialog(host, kUpdateDialogWidth, kUpdateListHeight);
    ASSERT_NE(list, nullptr) << "the user's check showed no list";
    EXPECT_EQ(SendMessageW(Control(list, kNotesId), EM_GETFIRSTVISIBLELINE, 0, 0), 0) << "the notes open scrolled down";
    ClickAt(Centre(WindowRect(Control(list, kUpdateNowId))));
    HWND download = WaitForDialog(host, kUpdateDialogWidth, kDownloadHeight);
    ASSERT_NE(download, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return Lines(Log(), "probe DONE").size() == 1; }, kEventTimeoutMs)) << "no failure sent";
    Sleep(1000);
    ClickAt(Centre(WindowRect(Control(download, kDialogCancelId))));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(download); }, 5000));
    Close(host);  // whatever the close of the dialog sent has arrived by the end
    EXPECT_EQ(Received("LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL"), 0u) << "a failed download was cancelled";
}

}  // namespace
