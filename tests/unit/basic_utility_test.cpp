// The utility library: version order, text conversions and their C-heap
// blocks, settings stores, and hostile JSON text (deep nesting that would
// overflow a recursive reader, brackets hidden in strings).
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "BASUserDefaults.h"
#include "BASUtility.h"
#include "JsonText.h"
#include "TextFormat.h"
#include "heap_census.h"
#include "test_files.h"

namespace {

struct FreeBlock {
    void operator()(void* p) const { BASUtilityString::Free(p); }
};
using Utf8Text = std::unique_ptr<char, FreeBlock>;

int Compare(const char* a, const char* b) { return BASUtilityString::CompareVersion(a, b); }

TEST(CompareVersion, OrdersFieldsByNumberThenByTheirSuffix) {
    EXPECT_EQ(Compare("1.10", "1.9"), 1) << "fields are numbers, not text";
    EXPECT_EQ(Compare("1.007", "1.7"), 0) << "leading zeros";
    EXPECT_EQ(Compare("2b", "2a"), 1) << "a suffix after the number";
}

// A 3,000-character plug-in folder once overflowed the safe-start question's
// fixed buffer; a translation with a stray conversion must not read past it.
TEST(FillInText, PutsTheValueAtTheFirstPlaceholderCutToItsBoundAndLeavesOtherConversionsAlone) {
    EXPECT_EQ(FillInText(L"%s is 100%% %d %s", L"X"), L"X is 100% %d %s");
    EXPECT_EQ(FillInText(L"[%s]", std::wstring(3000, L'a')), L"[" + std::wstring(260, L'a') + L"\x2026]");
    EXPECT_EQ(FillInText(L"[%s]", std::wstring(260, L'b')), L"[" + std::wstring(260, L'b') + L"]")
        << "cut at the bound";
}

// The conversion to ANSI goes through a UTF-16 block of a size nothing else
// here uses; it must be gone afterwards.
TEST(StringConversion, ToAnsiFreesTheBlockItMakesOnTheWay) {
    const std::string marker(1234, 'a');
    const size_t wideBlock = (marker.size() + 1) * sizeof(wchar_t);
    const size_t before = heap_census::LiveBlocksOfSize(wideBlock);
    Utf8Text ansi(BASUtilityString::ConvertUtf8ToAnsi(marker.c_str()));
    EXPECT_EQ(heap_census::LiveBlocksOfSize(wideBlock), before) << "the UTF-16 block was not freed";
}

TEST(CreateFolderTree, MakesEveryMissingLevelAcceptsAnExistingOneAndFailsBelowAFile) {
    TempFolder temp;
    const std::wstring deep = temp.Path() + L"\\a/b\\c";
    EXPECT_TRUE(BASUtilityFile::CreateFolderTree(deep.c_str()));
    EXPECT_TRUE(GetFileAttributesW(deep.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(BASUtilityFile::CreateFolderTree(deep.c_str())) << "a folder already there";
    const std::wstring file = temp.Write(L"file", "x");
    EXPECT_FALSE(BASUtilityFile::CreateFolderTree((file + L"\\d").c_str()));
    EXPECT_FALSE(BASUtilityFile::CreateFolderTree(file.c_str())) << "a file is no folder";
}

class UserDefaults : public ::testing::Test {
protected:
    void TearDown() override { BASUserDefaults::DisposeUserDefaults("test"); }
    BASUserDefaults* Load(const std::wstring& path) {
        return BASUserDefaults::InitUserDefaults("test", path.c_str()) ? BASUserDefaults::GetUserDefaults("test")
                                                                       : nullptr;
    }
    TempFolder folder_;
};

TEST_F(UserDefaults, ReadsNestedKeysWithTypedFallbacks) {
    BASUserDefaults* store = Load(folder_.Write(L"Option.json", R"({"color": {"title": {"background": "#1F6FD1",
        "text": "#1F6FD1ff"}}, "big": 2147483648, "low": -2147483649, "white": 16777215})"));
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(store->GetRGB("color:title:background"), RGB(0x1F, 0x6F, 0xD1));
    EXPECT_EQ(store->GetRGB("color:title:text", RGB(1, 2, 3)), RGB(1, 2, 3)) << "text after the six digits";
    EXPECT_EQ(store->GetRGB("white", RGB(1, 2, 3)), RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(store->GetInt("big") + store->GetInt("low"), 0) << "a number beyond int's range wrapped";
}

TEST_F(UserDefaults, WriteAllReplacesTheFile) {
    const std::wstring path = folder_.Write(L"prefs.json", R"({"language": 3})");
    BASUserDefaults* store = Load(path);
    store->SetInt("language", 2);
    ASSERT_TRUE(store->WriteAll());
    EXPECT_EQ(Load(path)->GetInt("language"), 2);
}

// The standard store starts empty either way, but only a file that is there
// and refused leaves a reason to log.
TEST(StandardUserDefaults, KeepsTheReasonADamagedFileWasRefusedAndNoneForAMissingOne) {
    const std::wstring maker = L"lumarest-test-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(BASUserDefaults::InitStandardUserDefaults(maker.c_str(), L"Product"));
    BASUserDefaults* store = BASUserDefaults::StandardUserDefaults();
    EXPECT_EQ(store->ReadError(), "") << "a first start has no file to refuse";
    ASSERT_TRUE(store->WriteAll());
    const std::wstring path = store->Path();
    FILE* file = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    fputs("{\"a\": ", file);
    fclose(file);
    ASSERT_TRUE(BASUserDefaults::InitStandardUserDefaults(maker.c_str(), L"Product"));
    EXPECT_NE(BASUserDefaults::StandardUserDefaults()->ReadError(), "");
    DeleteFileW(path.c_str());
    const std::wstring productFolder = path.substr(0, path.find_last_of(L'\\'));
    RemoveDirectoryW(productFolder.c_str());
    RemoveDirectoryW(productFolder.substr(0, productFolder.find_last_of(L'\\')).c_str());
}

std::string Nested(int depth) { return std::string(depth, '[') + std::string(depth, ']'); }

TEST(JsonText, RefusesNestingDeeperThanTheLimitCountingOnlyBracketsOutsideStrings) {
    rapidjson::Document document;
    std::string error;
    EXPECT_TRUE(json_text::Parse(document, Nested(json_text::kMaxDepth), error)) << error;
    EXPECT_FALSE(json_text::Parse(document, Nested(json_text::kMaxDepth + 1), error));
    std::string siblings = "[[]";
    for (int i = 0; i < 2 * json_text::kMaxDepth; ++i) siblings += ",[]";
    EXPECT_TRUE(json_text::Parse(document, siblings + "]", error)) << "arrays side by side are not nested";
    const std::string deepText = R"({"a":")" + std::string(200, '[') + R"(\"[{"})";
    EXPECT_TRUE(json_text::Parse(document, deepText, error)) << error;
}

}  // namespace
