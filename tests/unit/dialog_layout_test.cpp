// The dialogs' own rules: the alert's layout and the sheet shown again. Real
// runs press buttons.
#include <gtest/gtest.h>

#include <windows.h>

#include "bus_test_support.h"
#include "gdiplus_session.h"
#include "ui/alert_layout.h"
#include "ui/ui_dialog.h"
#include "ui/ui_sheet_dialog.h"
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

TEST(DialogPlacement, CentredOnTheWindowAboveAndKeptInsideTheWorkArea) {
    const POINT centred = CentredDialogOrigin(RECT{100, 50, 900, 650}, 400, 200);
    EXPECT_EQ(centred.x, 300);
    EXPECT_EQ(centred.y, 250);
    const RECT work{0, 0, 1280, 760};
    const POINT kept = KeptInside(POINT{1100, 700}, 400, 200, work);
    EXPECT_EQ(kept.x, 880) << "the right edge left the work area";
    EXPECT_EQ(kept.y, 560);
    EXPECT_EQ(KeptInside(POINT{-50, -20}, 400, 200, work).x, 0);
}

// Shown again while it is open, the strip restarts its opening from where it
// is: it never shrinks.
TEST(SheetDialog, ShowingItWhileOpenKeepsItsFullHeight) {
    GdiplusSession gdiplus;
    WindowingModule windowing;
    HWND parent =
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 600, 400, nullptr, nullptr, nullptr, nullptr);
    UiSheetDialog sheet(nullptr, nullptr);
    sheet.Create(parent, 600, 0);
    sheet.Show(SW_SHOW);
    for (DWORD start = GetTickCount(); GetTickCount() - start < 1500;) PumpThreadMessages();
    ASSERT_EQ(sheet.CurrentHeight(), UiSheetDialog::kFullHeight);
    sheet.Show(SW_SHOW);
    EXPECT_EQ(sheet.CurrentHeight(), UiSheetDialog::kFullHeight) << "showing it again shrank it";
    for (DWORD start = GetTickCount(); GetTickCount() - start < 300;) PumpThreadMessages();
    EXPECT_EQ(sheet.CurrentHeight(), UiSheetDialog::kFullHeight);
    EXPECT_TRUE(IsWindowVisible(sheet.Handle()));
    for (DWORD start = GetTickCount(); GetTickCount() - start < 5500;) PumpThreadMessages();
    EXPECT_FALSE(IsWindowVisible(sheet.Handle())) << "the notice stayed past its five seconds";
    bool clicked = false;
    sheet.SetClickCallback([&clicked] { clicked = true; });
    sheet.Show(SW_SHOW);
    for (DWORD start = GetTickCount(); GetTickCount() - start < 500;) PumpThreadMessages();
    NMHDR click{GetDlgItem(sheet.Handle(), kConfirmButtonId), kConfirmButtonId, NM_CLICK};
    SendMessageW(sheet.Handle(), WM_NOTIFY, kConfirmButtonId, reinterpret_cast<LPARAM>(&click));
    EXPECT_TRUE(clicked);
    EXPECT_FALSE(IsWindowVisible(sheet.Handle())) << "a click on the notice left it open";
    DestroyWindow(parent);
}

}  // namespace
