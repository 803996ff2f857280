// The utility library: version order, conversions, sizes and settings stores.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "BASUserDefaults.h"
#include "BASUtility.h"
#include "Utf8.h"
#include "test_files.h"

namespace {

struct FreeBlock {
    void operator()(void* p) const { BASUtilityString::Free(p); }
};
using WideText = std::unique_ptr<wchar_t, FreeBlock>;
using Utf8Text = std::unique_ptr<char, FreeBlock>;

TEST(CompareVersion, ComparesFieldsNumericallyNotAsText) {
    EXPECT_EQ(BASUtilityString::CompareVersion("1.10", "1.9"), 1);
    EXPECT_EQ(BASUtilityString::CompareVersion("1.9", "1.10"), -1);
    EXPECT_EQ(BASUtilityString::CompareVersion("4.4.39", "4.4.9"), 1);
    EXPECT_EQ(BASUtilityString::CompareVersion("2.0", "10.0"), -1);
}

TEST(CompareVersion, MissingFieldsCountAsZero) {
    EXPECT_EQ(BASUtilityString::CompareVersion("1.0", "1.0.0"), 0);
    EXPECT_EQ(BASUtilityString::CompareVersion("1", "1.0.0.0"), 0);
    EXPECT_EQ(BASUtilityString::CompareVersion("1.0.0.1", "1.0"), 1);
    EXPECT_EQ(BASUtilityString::CompareVersion("", "0"), 0);
}

TEST(CompareVersion, HandlesFieldsBeyondSixtyFourBitsAndLeadingZeros) {
    EXPECT_EQ(BASUtilityString::CompareVersion("1.123456789012345678901234", "1.123456789012345678901233"), 1);
    EXPECT_EQ(BASUtilityString::CompareVersion("1.007", "1.7"), 0);
    EXPECT_EQ(BASUtilityString::CompareVersion("3.0", "3.0"), 0);
}

TEST(CompareVersion, IsAntisymmetricOverASample) {
    const char* versions[] = {"0", "1", "1.0.1", "1.2", "1.10", "2", "2.0.0.1", "10", "4.4.39", "4.4.39.1"};
    for (const char* a : versions)
        for (const char* b : versions)
            EXPECT_EQ(BASUtilityString::CompareVersion(a, b), -BASUtilityString::CompareVersion(b, a)) << a << " vs " << b;
}

TEST(StringConversion, RoundTripsNonAsciiTextThroughUtf8) {
    const wchar_t original[] = L"R\u00e9cup\u00e9ration \u6570\u636e \U0001F4F1";
    Utf8Text utf8(BASUtilityString::ConvertUnicodeToUtf8(original));
    EXPECT_STREQ(utf8.get(), "R\xc3\xa9" "cup\xc3\xa9ration \xe6\x95\xb0\xe6\x8d\xae \xf0\x9f\x93\xb1");
    WideText back(BASUtilityString::ConvertUtf8ToUnicode(utf8.get()));
    EXPECT_STREQ(back.get(), original);
    // The host's one pair agrees, and only its strict form refuses a broken text.
    EXPECT_EQ(ToUtf8(original), utf8.get());
    EXPECT_EQ(FromUtf8(utf8.get()), original);
    EXPECT_EQ(FromUtf8("ab\xff"), L"ab\ufffd");
    EXPECT_FALSE(FromUtf8Strict("ab\xff").has_value());
    EXPECT_EQ(FromUtf8Strict("").value_or(L"x"), L"");
}

TEST(StringConversion, NullAndEmptyGiveEmptyBlocks) {
    WideText wide(BASUtilityString::ConvertUtf8ToUnicode(nullptr));
    ASSERT_NE(wide, nullptr);
    EXPECT_STREQ(wide.get(), L"");
    Utf8Text ansi(BASUtilityString::ConvertUtf8ToAnsi(""));
    ASSERT_NE(ansi, nullptr);
    EXPECT_STREQ(ansi.get(), "");
}

TEST(StringConversion, AnsiKeepsAsciiText) {
    Utf8Text ansi(BASUtilityString::ConvertUtf8ToAnsi("Lumarest.exe"));
    EXPECT_STREQ(ansi.get(), "Lumarest.exe");
}

TEST(StringFormat, FormatsLongerThanAnyFixedBuffer) {
    std::wstring longWord(1000, L'x');
    WideText text(BASUtilityString::Format(L"%ls-%d-%ls", L"a", 42, longWord.c_str()));
    EXPECT_EQ(std::wstring(text.get()), L"a-42-" + longWord);
}

TEST(FormatSize, UsesBinaryUnitsAndTrimsZeros) {
    EXPECT_STREQ(WideText(BASUtilityFile::ZLGetFormatSizeFromBytes(0)).get(), L"0 B");
    EXPECT_STREQ(WideText(BASUtilityFile::ZLGetFormatSizeFromBytes(1023)).get(), L"1023 B");
    EXPECT_STREQ(WideText(BASUtilityFile::ZLGetFormatSizeFromBytes(1024)).get(), L"1 KB");
    EXPECT_STREQ(WideText(BASUtilityFile::ZLGetFormatSizeFromBytes(1536)).get(), L"1.5 KB");
    EXPECT_STREQ(WideText(BASUtilityFile::ZLGetFormatSizeFromBytes(5ull << 30)).get(), L"5 GB");
}

TEST(ProductFolders, EndInABackslashAndFollowOverrides) {
    WideText bin(BASUtilityApp::GetProductBinDir());
    std::wstring binDir = bin.get();
    ASSERT_FALSE(binDir.empty());
    EXPECT_EQ(binDir.back(), L'\\');
    WideText module(BASUtilityApp::GetAppModule());
    EXPECT_EQ(std::wstring(module.get()).rfind(binDir, 0), 0u) << "the executable lies in the bin folder";

    BASUtilityApp::SetProductDirOverrides(L"C:\\install", L"");
    EXPECT_STREQ(WideText(BASUtilityApp::GetProductInstallDir()).get(), L"C:\\install\\");
    EXPECT_STREQ(WideText(BASUtilityApp::GetProductPluginsDir()).get(), L"C:\\install\\Plugins\\");
    BASUtilityApp::SetProductDirOverrides(L"C:\\install", L"D:\\mods");
    EXPECT_STREQ(WideText(BASUtilityApp::GetProductPluginsDir()).get(), L"D:\\mods\\");
    BASUtilityApp::SetProductDirOverrides(nullptr, nullptr);
    EXPECT_STREQ(WideText(BASUtilityApp::GetProductInstallDir()).get(), binDir.c_str());
}

TEST(ProductFolders, AppDataEndsInABackslash) {
    WideText appData(BASUtilitySys::GetAppDataDir());
    ASSERT_GT(wcslen(appData.get()), 3u);
    EXPECT_EQ(std::wstring(appData.get()).back(), L'\\');
}

TEST(DateTime, WritesStrftimeIntoTheBuffer) {
    char buffer[16];
    BASUtilitySys::GetNowDateTime(buffer, sizeof buffer, "%Y%m%d");
    ASSERT_EQ(strlen(buffer), 8u);
    EXPECT_EQ(strspn(buffer, "0123456789"), 8u);
    char tiny[4] = "xyz";
    BASUtilitySys::GetNowDateTime(tiny, sizeof tiny, "%Y%m%d");
    EXPECT_STREQ(tiny, "") << "a result that does not fit leaves an empty text, not a torn one";
}

class UserDefaultsTest : public ::testing::Test {
protected:
    TempFolder folder_;
};

TEST_F(UserDefaultsTest, ReadsFlatAndNestedKeysWithTypedFallbacks) {
    std::wstring path = folder_.Write(L"Option.json",
                                      R"({"url:help": "https://help.zentrovia.example/",
                                          "color": {"title": {"background": "#1F6FD1"}},
                                          "product:type": 1, "count": "seven", "rgb": 16711680})");
    ASSERT_TRUE(BASUserDefaults::InitUserDefaults("test-url", path.c_str()));
    BASUserDefaults* store = BASUserDefaults::GetUserDefaults("test-url");
    ASSERT_NE(store, nullptr);
    EXPECT_TRUE(store->IsOk());
    EXPECT_STREQ(store->GetString("url:help"), "https://help.zentrovia.example/");
    EXPECT_TRUE(store->HasMember("color:title:background"));
    EXPECT_EQ(store->GetRGB("color:title:background"), RGB(0x1F, 0x6F, 0xD1));
    EXPECT_EQ(store->GetRGB("rgb"), RGB(0xFF, 0, 0));
    EXPECT_EQ(store->GetRGB("url:help", RGB(1, 2, 3)), RGB(1, 2, 3)) << "malformed colour gives the fallback";
    EXPECT_EQ(store->GetInt("product:type"), 1);
    EXPECT_EQ(store->GetInt("count"), 0);
    EXPECT_STREQ(store->GetString("missing:key"), "");
    EXPECT_FALSE(store->HasMember("color:title:missing"));
    BASUserDefaults::DisposeUserDefaults("test-url");
    EXPECT_EQ(BASUserDefaults::GetUserDefaults("test-url"), nullptr);
}

TEST_F(UserDefaultsTest, RefusesMissingBrokenAndNonObjectFiles) {
    EXPECT_FALSE(BASUserDefaults::InitUserDefaults("missing", (folder_.Path() + L"\\none.json").c_str()));
    std::wstring broken = folder_.Write(L"broken.json", "{\"a\": ");
    EXPECT_FALSE(BASUserDefaults::InitUserDefaults("broken", broken.c_str()));
    std::wstring array = folder_.Write(L"array.json", "[1, 2]");
    EXPECT_FALSE(BASUserDefaults::InitUserDefaults("array", array.c_str()));
    EXPECT_EQ(BASUserDefaults::GetUserDefaults("broken"), nullptr);
}

TEST_F(UserDefaultsTest, WriteAllPersistsSetIntAndKeepsOtherKeys) {
    std::wstring path = folder_.Write(L"prefs.json", R"({"language": 3, "keep": "me"})");
    ASSERT_TRUE(BASUserDefaults::InitUserDefaults("prefs", path.c_str()));
    BASUserDefaults* store = BASUserDefaults::GetUserDefaults("prefs");
    store->SetInt("language", 2);
    store->SetInt("added", -5);
    ASSERT_TRUE(store->WriteAll());
    BASUserDefaults::DisposeUserDefaults("prefs");

    ASSERT_TRUE(BASUserDefaults::InitUserDefaults("prefs", path.c_str()));
    store = BASUserDefaults::GetUserDefaults("prefs");
    EXPECT_EQ(store->GetInt("language"), 2);
    EXPECT_EQ(store->GetInt("added"), -5);
    EXPECT_STREQ(store->GetString("keep"), "me");
    EXPECT_FALSE(BASUtilityFile::IsFileExist((path + L".tmp").c_str())) << "no temporary file is left behind";
    BASUserDefaults::DisposeUserDefaults("prefs");
}

TEST(StandardUserDefaults, FirstWriteCreatesTheMakerAndProductFolders) {
    const std::wstring product = L"lumarest-test-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(BASUserDefaults::InitStandardUserDefaults(L"ZentroviaTest", product.c_str()));
    BASUserDefaults* store = BASUserDefaults::StandardUserDefaults();
    ASSERT_NE(store, nullptr);
    EXPECT_FALSE(store->HasMember("language")) << "a first start has no stored language";
    store->SetInt("language", 8);
    ASSERT_TRUE(store->WriteAll());

    WideText appData(BASUtilitySys::GetAppDataDir());
    std::wstring makerFolder = std::wstring(appData.get()) + L"ZentroviaTest";
    EXPECT_EQ(store->Path(), makerFolder + L"\\" + product + L"\\UserDefaults.json");
    ASSERT_TRUE(BASUserDefaults::InitStandardUserDefaults(L"ZentroviaTest", product.c_str()));
    EXPECT_EQ(BASUserDefaults::StandardUserDefaults()->GetInt("language"), 8) << "the value survives a restart";
    TempFolder::RemoveTree(makerFolder);
}

}  // namespace
