// The update flow in real runs: the probe plays the communication plug-in,
// answering the host's checks with release notes and its download requests
// with progress and failure; the user's clicks are real input. Screenshots
// go to the artefacts folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "host_process.h"
#include "screen_support.h"

namespace {

using namespace e2e;

const std::vector<std::string> kReceives = {"LIBCOMM_COMMAND_CHECK_FOR_UPDATE", "LIBCOMM_COMMAND_DOWNLOAD_UPDATE",
                                            "LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL",
                                            "LIBCOMM_COMMAND_READY_START_SERVER"};

using UpdateRun = HostRun;

// Two versions, offered on the sheet; the list shows both with one blank
// line between them; "Update Now" asks the probe for the download, whose
// progress grows the bar; a failure leaves a dialog whose close cancels nothing.
constexpr char kOfferScript[] =
    "WAITFOR LIBCOMM_COMMAND_CHECK_FOR_UPDATE\n"
    "SEND LIBCOMM_COMMAND_CHECK_FOR_UPDATE value=1 count=2 "
    "data=u8:[{\"version\":\"4.4.41\",\"descriptions\":[\"Faster_scans\",\"Fixed_a_crash\"]},"
    "{\"version\":\"4.4.40\",\"descriptions\":[\"New_icons\"]}]\n"
    "WAITFOR LIBCOMM_COMMAND_DOWNLOAD_UPDATE\n"
    "SEND LIBCOMM_COMMAND_DOWNLOAD_UPDATE value=2 value2=3000000 value3=1000000\n"
    "SLEEP 6000\n"
    "SEND LIBCOMM_COMMAND_DOWNLOAD_UPDATE value=2 value2=3000000 value3=2000000\n"
    "SLEEP 6000\n"
    "SEND LIBCOMM_COMMAND_DOWNLOAD_UPDATE value=6\n";

TEST_F(UpdateRun, NoticeOpensTheListWhoseUpdateDownloadsWithGrowingProgressUntilAFailure) {
    AddProbe(kReceives, kOfferScript);
    HostProcess host(Options());
    ASSERT_TRUE(host.Start());
    ASSERT_NE(host.WaitForMainWindow(kStartTimeoutMs), nullptr);
    HWND sheet = WaitForSheetNotice(host);
    ASSERT_NE(sheet, nullptr) << "the automatic check's notes were not offered on the sheet";
    Sleep(500);
    EXPECT_TRUE(SaveScreenBmp(WindowRect(sheet), L"update-notice.bmp"));
    ClickAt(WindowRect(sheet).left + 40, WindowRect(sheet).top + 18);

    HWND list = WaitForDialog(host, kUpdateDialogWidth, kUpdateListHeight);
    ASSERT_NE(list, nullptr) << "a click on the notice did not show the update list";
    wchar_t notes[512] = {};
    SendMessageW(Control(list, kNotesId), WM_GETTEXT, 512, reinterpret_cast<LPARAM>(notes));  // across processes
    EXPECT_STREQ(notes, L"Version: 4.4.41\r\nFaster_scans\r\nFixed_a_crash\r\n\r\nVersion: 4.4.40\r\nNew_icons\r\n");
    EXPECT_TRUE(SaveScreenBmp(WindowRect(list), L"update-list.bmp"));
    ClickAt(Centre(WindowRect(Control(list, kUpdateNowId))));

    HWND download = WaitForDialog(host, kUpdateDialogWidth, kDownloadHeight);
    ASSERT_NE(download, nullptr) << "\"Update Now\" showed no download dialog";
    EXPECT_FALSE(IsWindowVisible(list));
    EXPECT_TRUE(WaitUntil([&] { return DownloadBarFilledAt(download, 100); }, kEventTimeoutMs)) << "a third never showed";
    EXPECT_FALSE(DownloadBarFilledAt(download, 200));
    EXPECT_TRUE(SaveScreenBmp(WindowRect(download), L"update-download.bmp"));
    EXPECT_TRUE(WaitUntil([&] { return DownloadBarFilledAt(download, 200); }, kEventTimeoutMs)) << "two thirds never showed";
    ASSERT_TRUE(WaitUntil([&] { return Lines(Log(), "probe DONE").size() == 1; }, kEventTimeoutMs)) << "no failure sent";
    Sleep(1000);
    EXPECT_TRUE(SaveScreenBmp(WindowRect(download), L"update-failed.bmp"));
    ClickAt(Centre(WindowRect(Control(download, kDialogCancelId))));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(download); }, 5000));
    Close(host);  // whatever the close of the dialog sent has arrived by the end
    EXPECT_EQ(Received("LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL"), 0u) << "a failed download was cancelled";
}

// Notes that do not parse show nothing; a server crash gives the notice and
// one restart request; a user's check shows the list at once, and closing a
// running download asks the probe to cancel it.
constexpr char kCrashAndCancelScript[] =
    "WAITFOR LIBCOMM_COMMAND_CHECK_FOR_UPDATE\n"
    "SEND LIBCOMM_COMMAND_CHECK_FOR_UPDATE value=1 count=1 data=u8:{\"version\":\"4.4.41\"}\n"
    "SLEEP 4000\n"
    "SEND LIBCOMM_COMMAND_SERVER_CRASH value=7\n"
    "SLEEP 9000\n"
    "SEND LIBPLATFORM_COMMAND_CHECK_FOR_UPDATE\n"
    "WAITFOR LIBCOMM_COMMAND_CHECK_FOR_UPDATE\n"
    "SEND LIBCOMM_COMMAND_CHECK_FOR_UPDATE value=1 count=1 data=u8:[{\"version\":\"4.4.41\"}]\n"
    "WAITFOR LIBCOMM_COMMAND_DOWNLOAD_UPDATE\n"
    "SEND LIBCOMM_COMMAND_DOWNLOAD_UPDATE value=2 value2=100 value3=10\n"
    "WAITFOR LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL\n";

TEST_F(UpdateRun, UnreadableNotesShowNothingACrashRestartsOnceAndClosingADownloadCancelsIt) {
    AddProbe(kReceives, kCrashAndCancelScript);
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

    HWND list = WaitForDialog(host, kUpdateDialogWidth, kUpdateListHeight);
    ASSERT_NE(list, nullptr) << "the user's check did not show the list at once";
    ClickAt(Centre(WindowRect(Control(list, kUpdateNowId))));
    HWND download = WaitForDialog(host, kUpdateDialogWidth, kDownloadHeight);
    ASSERT_NE(download, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return Lines(Log(), "probe ANSWER LIBCOMM_COMMAND_DOWNLOAD_UPDATE").size() == 1; },
                          kEventTimeoutMs));
    ClickAt(Centre(WindowRect(Control(download, kDialogCancelId))));
    EXPECT_TRUE(WaitUntil([&] { return Received("LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL") == 1; }, kEventTimeoutMs));
    const auto restarts = Lines(Log(), "probe RECV LIBCOMM_COMMAND_READY_START_SERVER ");
    ASSERT_EQ(restarts.size(), 1u) << "one crash, one restart request";
    EXPECT_EQ(Value(restarts[0]), 7);
    EXPECT_NE(restarts[0].find("sender=host"), std::string::npos);
    Close(host);
}

}  // namespace
