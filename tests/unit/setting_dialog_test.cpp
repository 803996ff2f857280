// The settings dialog in a real modal run of this process.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <thread>

#include "gdiplus_session.h"
#include "ui/ui_setting_dialog.h"
#include "windowing_module.h"

namespace {

class SettingDialogTest : public ::testing::Test {
protected:
    // Runs the dialog for languageIndex while act gets its window from another thread.
    INT_PTR Run(int languageIndex, const std::function<void(HWND)>& act) {
        dialog_.SetLanguage(languageIndex);
        dialog_.SetContent(nullptr, 600, 240, nullptr);
        std::thread user([&] {
            HWND window = nullptr;
            for (int i = 0; i < 200 && !window; ++i) {
                Sleep(50);
                window = FindWindowExW(nullptr, nullptr, MAKEINTATOM(32770), nullptr);
                if (window && !IsWindowVisible(window)) window = nullptr;
            }
            ASSERT_NE(window, nullptr) << "no dialog was shown";
            act(window);
        });
        const INT_PTR code = dialog_.DoModal(nullptr);
        user.join();
        return code;
    }
    static std::wstring Selected(HWND window) {
        HWND list = GetDlgItem(window, UiSettingDialog::kLanguageListId);
        wchar_t text[64] = {};
        GetWindowTextW(list, text, 64);
        return text;
    }

    GdiplusSession gdiplus_;
    WindowingModule windowing_;
    ThreadMessageLoop loop_;
    UiSettingDialog dialog_{nullptr, nullptr, L"Cancel", L"OK"};
};

TEST_F(SettingDialogTest, PreselectsTheStoredLanguageByItsOwnNameAndOKReturnsIt) {
    std::wstring shown;
    const INT_PTR code = Run(2, [&](HWND window) {
        shown = Selected(window);
        PostMessageW(GetDlgItem(window, 5051), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    });
    EXPECT_EQ(shown, L"Deutsch");
    EXPECT_EQ(code, 5051);
    EXPECT_EQ(dialog_.Language(), 2);
}

TEST_F(SettingDialogTest, AnIndexOutsideTheListShowsEnglishAndTheCloseButtonCountsAsCancel) {
    std::wstring shown;
    const INT_PTR code = Run(12, [&](HWND window) {
        shown = Selected(window);
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(5050, BN_CLICKED), 0);
    });
    EXPECT_EQ(shown, L"English");
    EXPECT_EQ(code, 5052);
    EXPECT_FALSE(dialog_.Confirmed());
}

}  // namespace
