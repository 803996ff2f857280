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
    ASSERT_NE(StartedFrame(host), nullptr);
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
    "[\"2\",\"3\",\"4\",\"5\",\"6\",\"7\",\"8\",\"9\",\"10\",\"11\",\"12\",\"13\",\"14\",\"15\",\"16\",\"17\",\"18\","
    "\"19\",\"20\"]}]\n"
    "WAITFOR LIBCOMM_COMMAND_DOWNLOAD_UPDATE\n"
    "SEND LIBCOMM_COMMAND_DOWNLOAD_UPDATE value=2 value2=3000000 value3=1000000\n"
    "SEND LIBCOMM_COMMAND_DOWNLOAD_UPDATE value=6\n";

TEST_F(UpdateRun, ClosingADownloadThatFailedHalfwayCancelsNothing) {
    AddProbe({"LIBCOMM_COMMAND_CHECK_FOR_UPDATE", "LIBCOMM_COMMAND_DOWNLOAD_UPDATE",
              "LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL"},
             kHalfwayFailureScript);
    HostProcess host(Options());
    ASSERT_NE(StartedFrame(host), nullptr);
    HWND list = WaitForDialog(host, kUpdateList);
    ASSERT_NE(list, nullptr) << "the user's check showed no list";
    EXPECT_EQ(SendMessageW(Control(list, kNotesId), EM_GETFIRSTVISIBLELINE, 0, 0), 0) << "the notes open scrolled down";
    ClickOn(list, kUpdateNowId);
    HWND download = WaitForDialog(host, kDownloadDialog);
    ASSERT_NE(download, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return Lines(Log(), "probe DONE").size() == 1; }, kEventTimeoutMs))
        << "no failure sent";
    Sleep(1000);
    ClickOn(download, kDialogCancelId);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(download); }, 5000));
    Close(host);  // whatever the close of the dialog sent has arrived by the end
    EXPECT_EQ(Received("LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL"), 0u) << "a failed download was cancelled";
}

// A user's check whose list is used from the keyboard, then a download that
// ends with the closing notice, after which neither Escape, the close button
// nor "Cancel" cancels it.
constexpr char kClosingNoticeScript[] =
    "WAITFOR LIBCOMM_COMMAND_CHECK_FOR_UPDATE\n"
    "SEND LIBCOMM_COMMAND_CHECK_FOR_UPDATE value=0\n"
    "SEND LIBPLATFORM_COMMAND_CHECK_FOR_UPDATE\n"
    "WAITFOR LIBCOMM_COMMAND_CHECK_FOR_UPDATE\n"
    "SEND LIBCOMM_COMMAND_CHECK_FOR_UPDATE value=1 count=1 data=u8:[{\"version\":\"4.4.41\"}]\n"
    "WAITFOR LIBCOMM_COMMAND_DOWNLOAD_UPDATE\n"
    "SEND LIBCOMM_COMMAND_DOWNLOAD_UPDATE value=2 value2=3000000 value3=3000000\n"
    "SEND LIBCOMM_COMMAND_DOWNLOAD_UPDATE value=1\n";

TEST_F(UpdateRun, TheListTabsInReadingOrderAndNothingCancelsAfterTheClosingNotice) {
    constexpr int kCloseId = 5050, kLinkId = 5051;
    AddProbe({"LIBCOMM_COMMAND_CHECK_FOR_UPDATE", "LIBCOMM_COMMAND_DOWNLOAD_UPDATE",
              "LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL", "LIBCOMM_COMMAND_EXIT_SERVER"},
             kClosingNoticeScript);
    HostProcess host(Options());
    ASSERT_NE(StartedFrame(host), nullptr);
    HWND list = WaitForDialog(host, kUpdateList);
    ASSERT_NE(list, nullptr) << "the user's check showed no list";
    ExpectPushButtons(list,
                      {{kUpdateNowId, L"Update Now"}, {kDialogCancelId, L"Remind Me Later"}, {kCloseId, L"Close"}});
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(list) == Control(list, kUpdateNowId); }, 5000));
    std::vector<HWND> visited;
    for (int i = 0; i < 5; ++i) {
        PressKey(VK_TAB);
        visited.push_back(FocusOf(list));
        EXPECT_TRUE(SaveScreenBmp(WindowRect(list), L"update-list-tab-" + std::to_wstring(i) + L".bmp"));
    }
    EXPECT_EQ(visited,
              (std::vector<HWND>{Control(list, kDialogCancelId), Control(list, kCloseId), Control(list, kNotesId),
                                 Control(list, kLinkId), Control(list, kUpdateNowId)}))
        << "not in reading order";
    PressKey(VK_RETURN);
    HWND download = WaitForDialog(host, kDownloadDialog);
    ASSERT_NE(download, nullptr) << "Return on \"Update Now\" started no download";
    ASSERT_TRUE(WaitUntil([&] { return Received("LIBCOMM_COMMAND_EXIT_SERVER") == 1; }, kEventTimeoutMs))
        << "no closing notice";
    Sleep(1000);
    PressKey(VK_ESCAPE);
    ClickOn(download, kCloseId);
    ClickOn(download, kDialogCancelId);
    Sleep(1000);
    EXPECT_TRUE(IsWindowVisible(download)) << "the closing notice was closed";
    EXPECT_TRUE(SaveScreenBmp(WindowRect(download), L"download-closing-notice.bmp"));
    Close(host);  // whatever the presses sent has arrived by the end
    EXPECT_EQ(Received("LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL"), 0u) << "a finished download was cancelled";
}

}  // namespace
