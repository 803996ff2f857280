// Hostile JSON text: deep nesting that would overflow a recursive reader, and
// brackets hidden in strings.
#include <gtest/gtest.h>

#include <string>

#include "JsonText.h"

namespace {

std::string Nested(int depth) { return std::string(depth, '[') + std::string(depth, ']'); }

TEST(JsonText, RefusesNestingDeeperThanTheLimitBeforeReadingIt) {
    rapidjson::Document document;
    std::string error;
    EXPECT_TRUE(json_text::Parse(document, Nested(json_text::kMaxDepth), error)) << error;
    EXPECT_FALSE(json_text::Parse(document, Nested(json_text::kMaxDepth + 1), error));
    EXPECT_NE(error.find("nested deeper"), std::string::npos) << error;
    std::string siblings = "[[]";
    for (int i = 0; i < 2 * json_text::kMaxDepth; ++i) siblings += ",[]";
    EXPECT_TRUE(json_text::Parse(document, siblings + "]", error)) << "arrays side by side are not nested";
}

TEST(JsonText, CountsOnlyBracketsOutsideStrings) {
    rapidjson::Document document;
    std::string error;
    const std::string deepText = R"({"a":")" + std::string(200, '[') + R"(\"[{"})";
    ASSERT_TRUE(json_text::Parse(document, deepText, error)) << error;
    EXPECT_EQ(document["a"].GetStringLength(), 203u);
}

}  // namespace
