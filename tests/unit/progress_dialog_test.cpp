// The shared progress dialog as a modeless window of this process, driven
// the way the command handler drives it.
#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "gdiplus_session.h"
#include "ui/ui_progress_dialog.h"
#include "windowing_module.h"

namespace {

int ends = 0;
void __cdecl CountEnd(uint32_t, int64_t) { ++ends; }

void Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

class ProgressDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ends = 0;
        parent_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 100, 100, 800, 600, nullptr, nullptr,
                                  nullptr, nullptr);
        dialog_.Create(parent_, 500, 150);
        ASSERT_NE(dialog_.Handle(), nullptr);
    }
    void TearDown() override { DestroyWindow(parent_); }
    // The handler's start sequence.
    void StartRun(ProgressEndCallback callback) {
        dialog_.Reset();
        dialog_.SetShowFolderButton(true);
        dialog_.SetFolder(L"C:\\Recovered");
        dialog_.SetTitle(L"Progress");
        dialog_.SetOwnerName("recovery");
        dialog_.Start();
        dialog_.SetEndCallback(callback, 9);
    }
    HWND Button(int id) const { return GetDlgItem(dialog_.Handle(), id); }

    GdiplusSession gdiplus_;
    WindowingModule windowing_;
    ThreadMessageLoop loop_;
    HWND parent_ = nullptr;
    UiProgressDialog dialog_{nullptr, nullptr};
};

TEST_F(ProgressDialogTest, FinishedWithThreeFailuresOfTenShowsThemBeforeTheLastTextAndAnOKButton) {
    StartRun(CountEnd);
    EXPECT_TRUE(IsWindowVisible(dialog_.Handle()));
    EXPECT_FALSE(IsWindowEnabled(parent_)) << "a running progress keeps its parent from input";
    std::thread plugin([&] {
        dialog_.SetTotal(10);
        dialog_.SetDone(10);
        dialog_.AddFailed(3);
        dialog_.SetStatusText(L"photo-0010.jpg");
        dialog_.MarkFinished();
    });
    plugin.join();
    Pump(700);
    EXPECT_STREQ(dialog_.State().ShownText(), L"Failed(3) photo-0010.jpg");
    EXPECT_EQ(dialog_.State().ShownDone(), 7);
    EXPECT_TRUE(IsWindowVisible(dialog_.Handle())) << "the end waits for the user";

    PostMessageW(Button(kSecondButtonId), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));  // "OK"
    Pump(100);
    EXPECT_FALSE(IsWindowVisible(dialog_.Handle()));
    EXPECT_TRUE(IsWindowEnabled(parent_));
    EXPECT_EQ(ends, 0) << "OK after the end called the end callback";
}

TEST_F(ProgressDialogTest, CancelWhileRunningCallsTheEndCallbackOnceAndAStrangersCancelNothing) {
    StartRun(CountEnd);
    EXPECT_FALSE(dialog_.CancelBy("toolkit"));
    EXPECT_TRUE(IsWindowVisible(dialog_.Handle()));
    PostMessageW(dialog_.Handle(), WM_COMMAND, MAKEWPARAM(kCloseButtonId, BN_CLICKED), 0);
    PostMessageW(dialog_.Handle(), WM_COMMAND, MAKEWPARAM(kSecondButtonId, BN_CLICKED), 0);
    Pump(100);
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(dialog_.CancelBy("recovery")) << "a run that ended was cancelled again";

    StartRun(CountEnd);
    EXPECT_TRUE(dialog_.CancelBy("recovery"));
    EXPECT_FALSE(IsWindowVisible(dialog_.Handle()));
    EXPECT_EQ(ends, 1) << "the owner's own stop must not call its end callback";
}

}  // namespace
