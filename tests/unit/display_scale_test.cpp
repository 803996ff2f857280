// What the host draws on a display of another DPI, and with which font when
// the one asked for is missing: the window-free rules behind both.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>

#include "dpi_scale.h"
#include "frame_geometry.h"
#include "services/product_catalog.h"
#include "settings_catalog.h"
#include "ui/alert_layout.h"
#include "ui/face_fallback.h"

namespace {

TEST(DisplayScale, At144DpiEverySizeIsHalfAsLargeAgainRoundedOnceAnd96DpiChangesNothing) {
    EXPECT_EQ(ScaleToDpi(5, 144), 8) << "7.5 rounds up";
    EXPECT_EQ(ScaleToDpi(-8, 144), -12) << "a right-anchored control keeps its distance from the edge";
    EXPECT_EQ(ScaleToDpi(-5, 144), -8) << "a negative half rounds away from zero, as its positive twin";
    EXPECT_EQ(ScaleToDpi(13, 120), 16);
    for (int v : {-10, 0, 1, 26, 500}) EXPECT_EQ(ScaleToDpi(v, 96), v);

    const DpiScale big(144);
    const SIZE button{120, 45};
    const AlertLayout alert = LayOutAlert(600, 72, 72, 30.5f, button, button, true, big);
    EXPECT_EQ(alert.textX, 72 + 2 * 30) << "text beside the icon, 30-pixel margins";
    EXPECT_EQ(alert.height, 39 + 72 + 30 + 15 + 45) << "title bar 39, margin 30, gap 15 at 144 DPI";
    EXPECT_EQ(alert.secondButton.x, 600 - 15 - 120);
    EXPECT_EQ(alert.confirmButton.x, alert.secondButton.x - 15 - 120);

    const FrameChrome chrome = FrameChromeAt(144);
    EXPECT_EQ(chrome.border, 6);
    EXPECT_EQ(chrome.resizeEdge, 8);
    EXPECT_EQ(chrome.shadowSize, 18);
    const RECT view = ViewRectAtCreation(1431, 921, 144);
    EXPECT_EQ(view.left, 2);
    EXPECT_EQ(view.right, 1431 - 6);
    // The frame's share of the screen is the same at any DPI: 1.5 times 954
    // x 614 where the screen is 1.5 times 1280 pixels wide.
    const RECT frame = InitialFrameRect(1920, 1200);
    EXPECT_EQ(frame.right - frame.left, 1431);
    EXPECT_EQ(frame.bottom - frame.top, 921);
    EXPECT_EQ(FrameHitTest({frame.left + 7, frame.top + 300}, frame, chrome.resizeEdge), HTLEFT);
    EXPECT_EQ(FrameHitTest({frame.left + 7, frame.top + 300}, frame), HTCAPTION) << "96 DPI keeps its 5-pixel band";

    const RECT client{0, 0, 1425, 915};
    EXPECT_EQ(TitlePlacement(client, nullptr, 144).bottom, 132) << "the title row 88 at 150 %";
    EXPECT_EQ(RecoveryPlacement(client, nullptr, 144).top, 134) << "the pane row 89 at 150 %, 133.5 rounded";
    EXPECT_EQ(ToolkitPlacement(client).top, LUMAREST_PANE_TOP);
}

TEST(DisplayScale, PicturesComeFromTheRenderNearestTheDisplaysScale) {
    EXPECT_EQ(NearestPictureScale(96), 100);
    EXPECT_EQ(NearestPictureScale(120), 150) << "125 % lies between 100 and 150: the larger shrinks cleanly";
    EXPECT_EQ(NearestPictureScale(144), 150);
    EXPECT_EQ(NearestPictureScale(168), 200) << "175 %, a tie again";
    EXPECT_EQ(NearestPictureScale(288), 200) << "nothing larger is rendered";
    EXPECT_EQ(ScaledPictureName("close-normal.png", 150), "close-normal@1.5x.png");
    EXPECT_EQ(ScaledPictureName("application.png", 200), "application@2x.png");
    EXPECT_EQ(ScaledPictureName("alert.png", 100), "alert.png");
}

TEST(FaceFallback, AMissingFamilyTakesTheFirstInstalledFallBackAndIsReportedOnce) {
    std::set<std::wstring> installed{L"Tahoma", L"DejaVu Sans"};
    int lookups = 0;
    FaceFallback faces(
        [&](const std::wstring& family) {
            ++lookups;
            return installed.count(family) > 0;
        },
        {L"Segoe UI", L"Tahoma", L"DejaVu Sans"});

    const FaceFallback::Choice first = faces.Resolve(L"Arial");
    EXPECT_EQ(first.family, L"Tahoma") << "the first fall-back that is installed";
    EXPECT_TRUE(first.newSubstitute);
    const int afterFirst = lookups;
    const FaceFallback::Choice again = faces.Resolve(L"Arial");
    EXPECT_EQ(again.family, L"Tahoma");
    EXPECT_FALSE(again.newSubstitute) << "the substitution would be logged for every font";
    EXPECT_EQ(lookups, afterFirst) << "each family is looked up once";

    const FaceFallback::Choice present = faces.Resolve(L"DejaVu Sans");
    EXPECT_EQ(present.family, L"DejaVu Sans");
    EXPECT_FALSE(present.newSubstitute);

    installed.clear();
    const FaceFallback::Choice none = faces.Resolve(L"Verdana");
    EXPECT_TRUE(none.family.empty()) << "a family nobody has must not be handed out";
    EXPECT_TRUE(none.newSubstitute);
}

}  // namespace
