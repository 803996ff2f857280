// The utility library: version order, text conversions and their C-heap
// blocks, settings stores, and hostile JSON text (deep nesting that would
// overflow a recursive reader, brackets hidden in strings).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
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
using WideText = std::unique_ptr<wchar_t, FreeBlock>;
using Utf8Text = std::unique_ptr<char, FreeBlock>;

int Compare(const char* a, const char* b) { return BASUtilityString::CompareVersion(a, b); }

TEST(CompareVersion, OrdersFieldsByNumberThenByTheirSuffixWithMissingFieldsAsZero) {
    EXPECT_EQ(Compare("1.10", "1.9"), 1) << "fields are numbers, not text";
    EXPECT_EQ(Compare("4.4.39", "4.4.9"), 1);
    EXPECT_EQ(Compare("1.123456789012345678901234", "1.123456789012345678901233"), 1) << "beyond 64 bits";
    EXPECT_EQ(Compare("1.007", "1.7"), 0) << "leading zeros";
    EXPECT_EQ(Compare("1", "1.0.0.0"), 0);
    EXPECT_EQ(Compare("1.0.0.1", "1.0"), 1);
    EXPECT_EQ(Compare("2b", "2a"), 1) << "a suffix after the number";
    EXPECT_EQ(Compare("1.2b", "1.10a"), -1) << "the number decides before the suffix";
    const char* sample[] = {"", "1", "1.0.1", "1.2", "1.2a", "1.10", "2", "2.0.0.1", "10", "4.4.39"};
    for (const char* a : sample)
        for (const char* b : sample) EXPECT_EQ(Compare(a, b), -Compare(b, a)) << a << " vs " << b;
}

// A 3,000-character plug-in folder once overflowed the safe-start question's
// fixed buffer; a translation with a stray conversion must not read past it.
TEST(FillInText, PutsTheValueAtTheFirstPlaceholderCutToItsBoundAndLeavesOtherConversionsAlone) {
    EXPECT_EQ(FillInText(L"The plug-in %s stopped.", L"Probe"), L"The plug-in Probe stopped.");
    EXPECT_EQ(FillInText(L"%s is 100%% %d %s", L"X"), L"X is 100% %d %s");
    EXPECT_EQ(FillInText(L"ends with %", L"X"), L"ends with %");
    const std::wstring huge(3000, L'a');
    const std::wstring filled = FillInText(L"[%s]", huge);
    EXPECT_EQ(filled.size(), 2u + 260u + 1u);
    EXPECT_EQ(filled.substr(filled.size() - 2), L"\x2026]");
    EXPECT_EQ(FillInText(L"[%s]", std::wstring(260, L'b')), L"[" + std::wstring(260, L'b') + L"]")
        << "cut at the bound";
}

TEST(StringConversion, RoundTripsThroughUtf8AndFreesWhatItMakesOnTheWay) {
    const wchar_t original[] = L"R\u00e9cup\u00e9ration \u6570\u636e \U0001F4F1";
    Utf8Text utf8(BASUtilityString::ConvertUnicodeToUtf8(original));
    EXPECT_STREQ(utf8.get(),
                 "R\xc3\xa9"
                 "cup\xc3\xa9ration \xe6\x95\xb0\xe6\x8d\xae \xf0\x9f\x93\xb1");
    EXPECT_STREQ(WideText(BASUtilityString::ConvertUtf8ToUnicode(utf8.get())).get(), original);
    EXPECT_STREQ(WideText(BASUtilityString::ConvertUtf8ToUnicode(nullptr)).get(), L"");

    // The conversion to ANSI goes through a UTF-16 block of a size nothing
    // else here uses; it must be gone afterwards.
    const std::string marker(1234, 'a');
    const size_t wideBlock = (marker.size() + 1) * sizeof(wchar_t);
    const size_t before = heap_census::LiveBlocksOfSize(wideBlock);
    Utf8Text ansi(BASUtilityString::ConvertUtf8ToAnsi(marker.c_str()));
    EXPECT_EQ(ansi.get(), marker);
    EXPECT_TRUE(heap_census::IsLiveBlock(ansi.get())) << "the answer is not a C-heap block of its own";
    EXPECT_EQ(heap_census::LiveBlocksOfSize(wideBlock), before) << "the UTF-16 block was not freed";
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

TEST_F(UserDefaults, ReadsFlatAndNestedKeysWithTypedFallbacks) {
    BASUserDefaults* store = Load(folder_.Write(L"Option.json", R"({"url:help": "https://help.zentrovia.example/",
        "color": {"title": {"background": "#1F6FD1", "text": "#1F6FD1ff"}}, "product:type": 1, "count": "seven", "big": 2147483648, "low": -2147483649, "cut": -7.9,
        "white": 16777215, "over": 16777216})"));
    ASSERT_NE(store, nullptr);
    EXPECT_STREQ(store->GetString("url:help"), "https://help.zentrovia.example/");
    EXPECT_EQ(store->GetRGB("color:title:background"), RGB(0x1F, 0x6F, 0xD1));
    EXPECT_EQ(store->GetRGB("color:title:text", RGB(1, 2, 3)), RGB(1, 2, 3)) << "text after the six digits";
    EXPECT_EQ(store->GetRGB("white", RGB(1, 2, 3)), RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(store->GetRGB("over", RGB(1, 2, 3)), RGB(1, 2, 3));
    EXPECT_FALSE(store->HasMember("color:title:missing"));
    EXPECT_EQ(store->GetInt("product:type"), 1);
    EXPECT_EQ(store->GetInt("count"), 0);
    EXPECT_EQ(store->GetInt("big") + store->GetInt("low"), 0) << "a number beyond int's range wrapped";
    EXPECT_EQ(store->GetInt("cut"), -7);
    EXPECT_STREQ(store->GetString("missing:key"), "");
    EXPECT_EQ(Load(folder_.Write(L"broken.json", "{\"a\": ")), nullptr);
    EXPECT_EQ(Load(folder_.Write(L"array.json", "[1, 2]")), nullptr);
    EXPECT_EQ(Load(folder_.Path() + L"\\none.json"), nullptr);
}

TEST_F(UserDefaults, WriteAllReplacesTheFileKeepingOtherKeys) {
    const std::wstring path = folder_.Write(L"prefs.json", R"({"language": 3, "keep": "me"})");
    BASUserDefaults* store = Load(path);
    store->SetInt("language", 2);
    store->SetInt("added", -5);
    ASSERT_TRUE(store->WriteAll());
    store = Load(path);
    EXPECT_EQ(store->GetInt("language"), 2);
    EXPECT_EQ(store->GetInt("added"), -5);
    EXPECT_STREQ(store->GetString("keep"), "me");
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder_.Path() + L"\\*.tmp").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "a temporary file was left behind";
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
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
    EXPECT_NE(error.find("nested deeper"), std::string::npos) << error;
    std::string siblings = "[[]";
    for (int i = 0; i < 2 * json_text::kMaxDepth; ++i) siblings += ",[]";
    EXPECT_TRUE(json_text::Parse(document, siblings + "]", error)) << "arrays side by side are not nested";
    const std::string deepText = R"({"a":")" + std::string(200, '[') + R"(\"[{"})";
    ASSERT_TRUE(json_text::Parse(document, deepText, error)) << error;
    EXPECT_EQ(document["a"].GetStringLength(), 203u);
}

}  // namespace
