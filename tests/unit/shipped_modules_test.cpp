// The shipped modules' logic that needs no window: the title band's layout
// and hit-testing, and the communication module's reading of the identity.
#include <gtest/gtest.h>

#include <windows.h>

#include "identity.h"
#include "services/product_catalog.h"
#include "title_layout.h"

namespace {

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(TitleLayout, ButtonsSitTopRightAndTabsAreCentredButNeverOverTheName) {
    const title::TitleLayout layout = title::LayOutTitle(950, 2);
    EXPECT_TRUE(SameRect(layout.close, RECT{910, 0, 950, 30}));
    EXPECT_TRUE(SameRect(layout.maximize, RECT{870, 0, 910, 30}));
    EXPECT_TRUE(SameRect(layout.minimize, RECT{830, 0, 870, 30}));
    const title::TitleLayout wide = title::LayOutTitle(1600, 2);
    ASSERT_EQ(wide.tabs.size(), 2u);
    EXPECT_TRUE(SameRect(wide.tabs[1], RECT{800, 0, 920, 88}));
    const title::TitleLayout narrow = title::LayOutTitle(700, 3);
    EXPECT_EQ(narrow.tabs[0].left, title::kTabsMinLeft) << "the tabs ran over the name";
}

TEST(TitleLayout, HitTestFindsButtonsBeforeTabsAndLeavesTheRestToTheCaption) {
    const title::TitleLayout layout = title::LayOutTitle(950, 2);
    EXPECT_EQ(title::HitTest(layout, {360, 87}), (title::Hit{title::Part::Tab, 0}));
    EXPECT_EQ(title::HitTest(layout, {layout.tabs[0].right, 40}), (title::Hit{title::Part::Tab, 1})) << "edges";
    EXPECT_EQ(title::HitTest(layout, {949, 0}).part, title::Part::Close);
    EXPECT_EQ(title::HitTest(layout, {880, 29}).part, title::Part::Maximize);
    EXPECT_EQ(title::HitTest(layout, {100, 40}).part, title::Part::None) << "the name area drags the window";
    EXPECT_EQ(title::HitTest(layout, {880, 30}).part, title::Part::None) << "below the buttons";
    const title::TitleLayout cramped = title::LayOutTitle(500, 2);  // the tabs reach under the buttons
    EXPECT_EQ(title::HitTest(cramped, {400, 10}).part, title::Part::Minimize);
    EXPECT_EQ(title::HitTest(cramped, {400, 50}), (title::Hit{title::Part::Tab, 0}));
}

TEST(CommIdentity, ReadsWhatTheHostWritesDecodingEscapesAndRefusesTextThatIsNotTheThreeStrings) {
    comm::Identity identity;
    ASSERT_TRUE(comm::ParseIdentity(IdentityJson("A \"B\" \xE6\x89\x8B", "4.4.39", "Zentrovia"), identity));
    EXPECT_EQ(identity.alias, "A \"B\" \xE6\x89\x8B");
    EXPECT_EQ(identity.version, "4.4.39");
    ASSERT_TRUE(
        comm::ParseIdentity("{ \"brand\" : \"M\\u00e9\\u4e2d\\\\\", \"alias\":\"a\",\"version\":\"1\" }", identity));
    EXPECT_EQ(identity.brand, "M\xC3\xA9\xE4\xB8\xAD\\") << "\\u escapes become UTF-8";
    EXPECT_FALSE(comm::ParseIdentity(R"({"alias":"a","version":"1"})", identity)) << "no brand";
    EXPECT_FALSE(comm::ParseIdentity(R"({"alias":"a","version":4,"brand":"b"})", identity)) << "a number";
    EXPECT_FALSE(comm::ParseIdentity(R"({"alias":"a","version":"1","brand":"b"} x)", identity)) << "trailing text";
    EXPECT_FALSE(comm::ParseIdentity(R"({"alias":"a)", identity)) << "cut short";
}

}  // namespace
