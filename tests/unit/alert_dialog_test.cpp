// The alert and confirm dialog: its layout rules, and a real modal run in
// this process answered by a press on its buttons.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <thread>

#include "gdiplus_session.h"
#include "ui/alert_layout.h"
#include "ui/ui_alert_dialog.h"
#include "windowing_module.h"

namespace {

TEST(AlertLayout, ButtonsSitTenPixelsFromTheEdgesAndTheBodyFitsTheTallerOfIconAndText) {
    const SIZE button{80, 30};
    AlertLayout one = LayOutAlert(400, 48, 48, 20.5f, button, button, false);
    EXPECT_EQ(one.height, 26 + 48 + 20 + 10 + 30) << "a short message still leaves room for the icon";
    EXPECT_EQ(one.confirmButton.x, 400 - 10 - 80) << "a lone button sits 10 pixels from the right";
    EXPECT_EQ(one.confirmButton.y, one.height - 10 - 30);

    AlertLayout two = LayOutAlert(400, 48, 48, 120.7f, button, SIZE{100, 30}, true);
    EXPECT_EQ(two.height, 26 + 120 + 20 + 10 + 30) << "a long message grows the dialog, truncated";
    EXPECT_EQ(two.secondButton.x, 400 - 10 - 100);
    EXPECT_EQ(two.confirmButton.x, two.secondButton.x - 10 - 80);
}

TEST(AlertLayout, WithoutAnIconTheTextStartsAt20AndSpansTheWidthLess40) {
    const AlertLayout box = AlertTextBox(400, 0);
    EXPECT_EQ(box.textX, 20.0f);
    EXPECT_EQ(box.textWidth, 360.0f);
    EXPECT_EQ(AlertTextBox(400, 48).textX, 88.0f);
}

class AlertRunTest : public ::testing::Test {
protected:
    // Runs dialog modally while act gets its window from another thread.
    INT_PTR RunAnswering(UiAlertDialog& dialog, const std::function<void(HWND)>& act) {
        std::thread user([&] {
            HWND window = nullptr;
            for (int i = 0; i < 200 && !window; ++i) {
                Sleep(50);
                window = FindWindowExW(nullptr, nullptr, MAKEINTATOM(32770), nullptr);
                if (window && !IsWindowVisible(window)) window = nullptr;
            }
            act(window);
        });
        const INT_PTR code = dialog.DoModal(nullptr);
        user.join();
        return code;
    }

    GdiplusSession gdiplus_;
    WindowingModule windowing_;
    ThreadMessageLoop loop_;
};

TEST_F(AlertRunTest, APressOnConfirmEndsWith5051AndTheCloseButtonWith5050AsNotConfirmed) {
    UiAlertDialog dialog(nullptr, nullptr, nullptr, true, L"Cancel", L"OK");
    dialog.SetContent(nullptr, 400, 0, L"Delete the selected messages?", nullptr);
    RECT place{};
    EXPECT_EQ(RunAnswering(dialog,
                           [&](HWND window) {
                               ASSERT_NE(window, nullptr) << "no dialog was shown";
                               GetClientRect(window, &place);
                               // Only the press: the command must not wait for the release.
                               PostMessageW(GetDlgItem(window, kConfirmButtonId), WM_LBUTTONDOWN, MK_LBUTTON,
                                            MAKELPARAM(5, 5));
                           }),
              kConfirmButtonId);
    EXPECT_TRUE(dialog.Confirmed());
    EXPECT_EQ(place.right, 400);

    UiAlertDialog closed(nullptr, nullptr, nullptr, true, L"Cancel", L"OK");
    closed.SetContent(nullptr, 400, 0, L"Delete?", nullptr);
    EXPECT_EQ(RunAnswering(closed,
                           [](HWND window) {
                               ASSERT_NE(window, nullptr);
                               PostMessageW(window, WM_COMMAND, MAKEWPARAM(kCloseButtonId, BN_CLICKED), 0);
                           }),
              kCloseButtonId);
    EXPECT_FALSE(closed.Confirmed());
}

}  // namespace
