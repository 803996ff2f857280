// The update flow in real runs with the probe as the communication plug-in,
// for what only a stand-in can provoke: a server crash, a download that fails
// halfway and one that ends with the closing notice. Screenshots go to the
// artefacts folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "host_process.h"
#include "screen_support.h"

namespace {

using namespace e2e;

class UpdateRun : public HostRun {
protected:
    // The probe as Comm: the automatic check fails unseen, a user's check
    // offers notes at once, and the download that "Update Now" asks for
    // answers as given.
    void AddUserCheck(const std::string& notes, const std::string& download) {
        AddProbe({"LIBCOMM_COMMAND_CHECK_FOR_UPDATE", "LIBCOMM_COMMAND_DOWNLOAD_UPDATE",
                  "LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL", "LIBCOMM_COMMAND_EXIT_SERVER"},
                 "WAITFOR LIBCOMM_COMMAND_CHECK_FOR_UPDATE\n"
                 "SEND LIBCOMM_COMMAND_CHECK_FOR_UPDATE value=0\n"
                 "SEND LIBPLATFORM_COMMAND_CHECK_FOR_UPDATE\n"
                 "WAITFOR LIBCOMM_COMMAND_CHECK_FOR_UPDATE\n"
                 "SEND LIBCOMM_COMMAND_CHECK_FOR_UPDATE value=1 count=1 data=u8:" +
                     notes + "\nWAITFOR LIBCOMM_COMMAND_DOWNLOAD_UPDATE\n" + download);
    }
};

// A server crash gives the notice and one restart request.
constexpr char kCrashScript[] =
    "WAITFOR LIBCOMM_COMMAND_CHECK_FOR_UPDATE\n"
    "SLEEP 2000\n"
    "SEND LIBCOMM_COMMAND_SERVER_CRASH value=7\n";

TEST_F(UpdateRun, ACrashShowsItsNoticeAndRestartsOnce) {
    AddProbe({"LIBCOMM_COMMAND_CHECK_FOR_UPDATE", "LIBCOMM_COMMAND_READY_START_SERVER"}, kCrashScript);
    HostProcess host(Options());
    ASSERT_NE(StartedFrame(host), nullptr);
    HWND sheet = WaitForSheetNotice(host);
    ASSERT_NE(sheet, nullptr) << "the crash showed no notice";
    Sleep(500);
    EXPECT_TRUE(SaveScreenBmp(WindowRect(sheet), L"update-crash-notice.bmp"));
    Close(host);  // whatever the crash asked for has arrived by the end
    EXPECT_EQ(Received("LIBCOMM_COMMAND_READY_START_SERVER"), 1u) << "one crash, one restart request";
}

// The list opens scrolled to the first of its twenty lines of notes; the
// download fails at a third, before the run has ended, and the dialog's
// close then cancels nothing.
TEST_F(UpdateRun, ClosingADownloadThatFailedHalfwayCancelsNothing) {
    AddUserCheck(
        "[{\"version\":\"4.4.41\",\"descriptions\":[\"2\",\"3\",\"4\",\"5\",\"6\",\"7\",\"8\",\"9\",\"10\","
        "\"11\",\"12\",\"13\",\"14\",\"15\",\"16\",\"17\",\"18\",\"19\",\"20\"]}]",
        "SEND LIBCOMM_COMMAND_DOWNLOAD_UPDATE value=2 value2=3000000 value3=1000000\n"
        "SEND LIBCOMM_COMMAND_DOWNLOAD_UPDATE value=6\n");
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

// The list has "Update Now" focused, which Return presses; then a download
// that ends with the closing notice, after which neither Escape, the close
// button nor "Cancel" cancels it.
TEST_F(UpdateRun, TheListStartsOnUpdateNowAndNothingCancelsAfterTheClosingNotice) {
    AddUserCheck("[{\"version\":\"4.4.41\"}]",
                 "SEND LIBCOMM_COMMAND_DOWNLOAD_UPDATE value=2 value2=3000000 value3=3000000\n"
                 "SEND LIBCOMM_COMMAND_DOWNLOAD_UPDATE value=1\n");
    HostProcess host(Options());
    ASSERT_NE(StartedFrame(host), nullptr);
    HWND list = WaitForDialog(host, kUpdateList);
    ASSERT_NE(list, nullptr) << "the user's check showed no list";
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(list) == Control(list, kUpdateNowId); }, 5000));
    PressKey(VK_RETURN);
    HWND download = WaitForDialog(host, kDownloadDialog);
    ASSERT_NE(download, nullptr) << "Return on \"Update Now\" started no download";
    ASSERT_TRUE(WaitUntil([&] { return Received("LIBCOMM_COMMAND_EXIT_SERVER") == 1; }, kEventTimeoutMs))
        << "no closing notice";
    Sleep(1000);
    PressKey(VK_ESCAPE);
    ClickOn(download, 5050);  // the close button
    ClickOn(download, kDialogCancelId);
    Sleep(1000);
    EXPECT_TRUE(IsWindowVisible(download)) << "the closing notice was closed";
    EXPECT_TRUE(SaveScreenBmp(WindowRect(download), L"download-closing-notice.bmp"));
    Close(host);  // whatever the presses sent has arrived by the end
    EXPECT_EQ(Received("LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL"), 0u) << "a finished download was cancelled";
}

}  // namespace
