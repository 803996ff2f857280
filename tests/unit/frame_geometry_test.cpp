// The main frame's arithmetic: the shadow's fade and which part of the frame
// a point grabs. The view's place and the cursors are checked on the window.
#include <gtest/gtest.h>

#include <windows.h>

#include "frame_geometry.h"
#include "themed_shadow_geometry.h"

namespace {

// A 1000 x 600 shadow with corners of 20: clear outside its rounded outline
// and on it, opaque from a twentieth of the way in (25 pixels from the right
// edge), graded linearly in between.
TEST(ShadowAlpha, FadesFromOpaqueAtATwentiethInToClearOnTheRoundedOutline) {
    EXPECT_EQ(ShadowAlphaAt(999, 300, 1000, 600, 20), 5) << "half a pixel in of 25";
    EXPECT_NEAR(ShadowAlphaAt(987, 300, 1000, 600, 20), 128, 1);
    EXPECT_EQ(ShadowAlphaAt(999, 599, 1000, 600, 20), 0) << "outside the rounded corner";
    EXPECT_GT(ShadowAlphaAt(996, 596, 1000, 600, 20), 0) << "inside it";
}

// A frame at (100, 200), 954 x 614: each side owns a band of five pixels.
TEST(FrameHitTest, TheRightBandIsAsWideAsTheLeft) {
    const RECT frame{100, 200, 1054, 814};
    EXPECT_EQ(FrameHitTest(POINT{105, 500}, frame), HTLEFT);
    EXPECT_EQ(FrameHitTest(POINT{1049, 500}, frame), HTRIGHT);
    EXPECT_EQ(FrameHitTest(POINT{1048, 500}, frame), HTCAPTION);
}

}  // namespace
