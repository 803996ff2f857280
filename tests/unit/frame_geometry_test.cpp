// The main frame's arithmetic: where it opens and which part of the frame a
// point grabs. The view's place and the cursors are checked on the window.
#include <gtest/gtest.h>

#include <windows.h>

#include "frame_geometry.h"
#include "themed_shadow_geometry.h"

namespace {

void ExpectRect(const RECT& actual, LONG left, LONG top, LONG right, LONG bottom) {
    EXPECT_EQ(actual.left, left);
    EXPECT_EQ(actual.top, top);
    EXPECT_EQ(actual.right, right);
    EXPECT_EQ(actual.bottom, bottom);
}

// A 1000 x 600 shadow with corners of 20: clear outside its rounded outline
// and on it, opaque from a twentieth of the way in (25 pixels from the right
// edge, 15 from the bottom), graded linearly in between.
TEST(ShadowAlpha, FadesFromOpaqueAtATwentiethInToClearOnTheRoundedOutline) {
    EXPECT_EQ(ShadowAlphaAt(999, 300, 1000, 600, 20), 5) << "half a pixel in of 25";
    EXPECT_NEAR(ShadowAlphaAt(987, 300, 1000, 600, 20), 128, 1);
    EXPECT_EQ(ShadowAlphaAt(974, 300, 1000, 600, 20), 255);
    EXPECT_NEAR(ShadowAlphaAt(500, 592, 1000, 600, 20), 128, 1) << "the bottom edge has its own depth";
    EXPECT_EQ(ShadowAlphaAt(999, 599, 1000, 600, 20), 0) << "outside the rounded corner";
    EXPECT_GT(ShadowAlphaAt(996, 596, 1000, 600, 20), 0) << "inside it";
    EXPECT_EQ(ShadowAlphaAt(1000, 300, 1000, 600, 20), 0);
}

TEST(InitialFrameRect, ScalesWithTheScreensWidthTruncatingAndCentres) {
    ExpectRect(InitialFrameRect(1280, 800), 163, 93, 163 + 954, 93 + 614);
    ExpectRect(InitialFrameRect(1920, 1080), 244, 79, 244 + 1431, 79 + 921);
    // 954 * 1366 / 1280 = 1018.06 and 614 * 1018 / 954 = 655.2: rounding up
    // or scaling the height by the screen's height would give other numbers.
    ExpectRect(InitialFrameRect(1366, 768), 174, 56, 174 + 1018, 56 + 655);
    // A screen lower than the frame: the half difference is a distance.
    EXPECT_EQ(InitialFrameRect(1280, 600).top, 7);
}

class FrameHitTestTest : public ::testing::Test {
protected:
    // A frame at (100, 200), 954 x 614.
    const RECT frame_{100, 200, 1054, 814};
    LRESULT Hit(LONG x, LONG y) const { return FrameHitTest(POINT{x, y}, frame_); }
};

TEST_F(FrameHitTestTest, CornersWinOverSidesAndEachSideOwnsAFivePixelBand) {
    EXPECT_EQ(Hit(105, 205), HTTOPLEFT);
    EXPECT_EQ(Hit(106, 206), HTCAPTION);
    EXPECT_EQ(Hit(1049, 205), HTTOPRIGHT);
    EXPECT_EQ(Hit(105, 809), HTBOTTOMLEFT);
    EXPECT_EQ(Hit(1053, 813), HTBOTTOMRIGHT);
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
    // band at once; the left side is asked first, and the top before the bottom.
    EXPECT_EQ(FrameHitTest(POINT{4, 50}, RECT{0, 0, 8, 100}), HTLEFT);
    EXPECT_EQ(FrameHitTest(POINT{50, 4}, RECT{0, 0, 100, 8}), HTTOP);
}

}  // namespace
