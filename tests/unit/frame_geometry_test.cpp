// The main frame's arithmetic: where it opens, where the view sits, which
// part of the frame a point grabs and what the cursor and a press do there.
#include <gtest/gtest.h>

#include <windows.h>

#include "frame_geometry.h"
#include "shared_dialogs.h"

namespace {

void ExpectRect(const RECT& actual, LONG left, LONG top, LONG right, LONG bottom) {
    EXPECT_EQ(actual.left, left);
    EXPECT_EQ(actual.top, top);
    EXPECT_EQ(actual.right, right);
    EXPECT_EQ(actual.bottom, bottom);
}

TEST(InitialFrameRect, Is954By614CentredOnA1280PixelScreen) {
    ExpectRect(InitialFrameRect(1280, 800), 163, 93, 163 + 954, 93 + 614);
}

TEST(InitialFrameRect, ScalesWithTheWidthAndKeepsTheAspectOnA1920By1080Screen) {
    ExpectRect(InitialFrameRect(1920, 1080), 244, 79, 244 + 1431, 79 + 921);
}

TEST(InitialFrameRect, TruncatesTheScaledSizes) {
    // 954 * 1366 / 1280 = 1018.06 and 614 * 1018 / 954 = 655.2: rounding up
    // or scaling the height by the screen's height would give other numbers.
    const RECT r = InitialFrameRect(1366, 768);
    EXPECT_EQ(r.right - r.left, 1018);
    EXPECT_EQ(r.bottom - r.top, 655);
    EXPECT_EQ(r.left, 174);
    EXPECT_EQ(r.top, 56);
}

TEST(InitialFrameRect, AScreenLowerThanTheFrameStillGetsANonNegativeTop) {
    // 1280 x 600: the frame is 14 pixels taller than the screen.
    EXPECT_EQ(InitialFrameRect(1280, 600).top, 7) << "the half difference is taken as a distance, never negative";
}

TEST(ViewRectInClient, LeavesOnePixelTopLeftAndThreeBottomRight) {
    ExpectRect(ViewRectInClient(954, 614), 1, 1, 951, 611);
    ExpectRect(ViewRectInClient(1431, 921), 1, 1, 1428, 918);
}

class FrameHitTestTest : public ::testing::Test {
protected:
    // A frame at (100, 200), 954 x 614.
    const RECT frame_{100, 200, 1054, 814};
    LRESULT Hit(LONG x, LONG y) const { return FrameHitTest(POINT{x, y}, frame_); }
};

TEST_F(FrameHitTestTest, FivePixelsInsideBothEdgesIsTheCornerAndSixIsTheCaption) {
    EXPECT_EQ(Hit(105, 205), HTTOPLEFT);
    EXPECT_EQ(Hit(106, 206), HTCAPTION);
}

TEST_F(FrameHitTestTest, CornersWinOverTheirSides) {
    EXPECT_EQ(Hit(100, 200), HTTOPLEFT);
    EXPECT_EQ(Hit(1049, 205), HTTOPRIGHT);
    EXPECT_EQ(Hit(105, 809), HTBOTTOMLEFT);
    EXPECT_EQ(Hit(1049, 809), HTBOTTOMRIGHT);
    EXPECT_EQ(Hit(1053, 813), HTBOTTOMRIGHT);
}

TEST_F(FrameHitTestTest, EachSideOwnsAFivePixelBand) {
    EXPECT_EQ(Hit(105, 500), HTLEFT);
    EXPECT_EQ(Hit(106, 500), HTCAPTION);
    EXPECT_EQ(Hit(1049, 500), HTRIGHT);
    EXPECT_EQ(Hit(1048, 500), HTCAPTION);
    EXPECT_EQ(Hit(500, 205), HTTOP);
    EXPECT_EQ(Hit(500, 206), HTCAPTION);
    EXPECT_EQ(Hit(500, 809), HTBOTTOM);
    EXPECT_EQ(Hit(500, 808), HTCAPTION);
}

TEST_F(FrameHitTestTest, SidesAreTestedLeftRightTopInThatOrder) {
    // In a frame narrower than two bands a point is in the left and the right
    // band at once; the left side is asked first.
    const RECT narrow{0, 0, 8, 100};
    EXPECT_EQ(FrameHitTest(POINT{4, 50}, narrow), HTLEFT);
    // Lower than two bands: the top is asked before the bottom.
    const RECT flat{0, 0, 100, 8};
    EXPECT_EQ(FrameHitTest(POINT{50, 4}, flat), HTTOP);
}

TEST(SizeCursorForHit, OppositeSidesAndCornersShareTheirDiagonal) {
    EXPECT_EQ(SizeCursorForHit(HTLEFT), IDC_SIZEWE);
    EXPECT_EQ(SizeCursorForHit(HTRIGHT), IDC_SIZEWE);
    EXPECT_EQ(SizeCursorForHit(HTTOP), IDC_SIZENS);
    EXPECT_EQ(SizeCursorForHit(HTBOTTOM), IDC_SIZENS);
    EXPECT_EQ(SizeCursorForHit(HTTOPLEFT), IDC_SIZENWSE);
    EXPECT_EQ(SizeCursorForHit(HTBOTTOMRIGHT), IDC_SIZENWSE);
    EXPECT_EQ(SizeCursorForHit(HTTOPRIGHT), IDC_SIZENESW);
    EXPECT_EQ(SizeCursorForHit(HTBOTTOMLEFT), IDC_SIZENESW);
}

TEST(SizeCursorForHit, TheCaptionAndTheClientKeepTheirCursor) {
    EXPECT_EQ(SizeCursorForHit(HTCAPTION), nullptr);
    EXPECT_EQ(SizeCursorForHit(HTCLIENT), nullptr);
    EXPECT_EQ(SizeCursorForHit(HTNOWHERE), nullptr);
}

TEST(SizeEdgeForHit, NumbersTheEdgesAsTheSizeCommandDoes) {
    EXPECT_EQ(SizeEdgeForHit(HTLEFT), 1);
    EXPECT_EQ(SizeEdgeForHit(HTRIGHT), 2);
    EXPECT_EQ(SizeEdgeForHit(HTTOP), 3);
    EXPECT_EQ(SizeEdgeForHit(HTTOPLEFT), 4);
    EXPECT_EQ(SizeEdgeForHit(HTTOPRIGHT), 5);
    EXPECT_EQ(SizeEdgeForHit(HTBOTTOM), 6);
    EXPECT_EQ(SizeEdgeForHit(HTBOTTOMLEFT), 7);
    EXPECT_EQ(SizeEdgeForHit(HTBOTTOMRIGHT), 8);
}

TEST(SizeEdgeForHit, ACaptionPressStartsNoSizing) {
    EXPECT_EQ(SizeEdgeForHit(HTCAPTION), 0);
    EXPECT_EQ(SizeEdgeForHit(HTCLIENT), 0);
}

struct NullDialog : SharedDialog {
    void MoveBy(int, int) override {}
};

TEST(SharedDialogRegistry, ANumberThatWasNeverEnteredYieldsNull) {
    EXPECT_EQ(FindSharedDialog(kProgressDialog), nullptr);
    EXPECT_EQ(FindSharedDialog(99), nullptr);
}

TEST(SharedDialogRegistry, KeepsEachDialogUnderItsOwnNumberUntilRemoved) {
    NullDialog download;
    NullDialog list;
    RegisterSharedDialog(kUpdateDownloadDialog, &download);
    RegisterSharedDialog(kUpdateListDialog, &list);
    EXPECT_EQ(FindSharedDialog(kUpdateDownloadDialog), &download);
    EXPECT_EQ(FindSharedDialog(kUpdateListDialog), &list);
    RegisterSharedDialog(kUpdateDownloadDialog, nullptr);
    RegisterSharedDialog(kUpdateListDialog, nullptr);
    EXPECT_EQ(FindSharedDialog(kUpdateDownloadDialog), nullptr);
}

}  // namespace
