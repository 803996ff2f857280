// Settings and the resource catalog: language choice, preferences path,
// catalog load, host configuration, image preload, and the installation
// folder that the build produces (found through LUMAREST_INSTALL_TREE).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "BASUserDefaults.h"
#include "BASUtility.h"
#include "GdiplusInclude.h"
#include "I18n.h"
#include "language_choice.h"
#include "settings_catalog.h"
#include "test_files.h"

namespace {

// The built installation folder, ending in a backslash; empty when the
// test runs without it.
std::wstring InstallTree() {
    const wchar_t* tree = _wgetenv(L"LUMAREST_INSTALL_TREE");
    std::wstring path = tree ? tree : L"";
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return path;
}

#define REQUIRE_INSTALL_TREE() \
    ASSERT_FALSE(InstallTree().empty()) << "LUMAREST_INSTALL_TREE must name the built installation folder"

std::string JsonPath(const std::wstring& path) {
    std::string out;
    for (wchar_t c : path) {
        if (c == L'\\') out += "\\\\";
        else out += char(c);  // test paths are ASCII
    }
    return out;
}

}  // namespace

TEST(LanguageMapping, ChineseIdentifiersFollowTheMaskedTest) {
    // (identifier AND 0x1FE) == 0x004 for every Chinese identifier whose
    // bit 0x100 is clear, so both Chinese catalogs' usual regions give 0.
    EXPECT_EQ(LanguageIndexForLangId(0x0804), 0);
    EXPECT_EQ(LanguageIndexForLangId(0x0404), 0);
    EXPECT_EQ(LanguageIndexForLangId(0x0C04), 0);
    EXPECT_EQ(LanguageIndexForLangId(0x0504), 1);
}

TEST(LanguageMapping, EachTableLanguageByItsPrimaryByte) {
    EXPECT_EQ(LanguageIndexForLangId(0x0407), 2);
    EXPECT_EQ(LanguageIndexForLangId(0x0807), 2);
    EXPECT_EQ(LanguageIndexForLangId(0x040A), 6);
    EXPECT_EQ(LanguageIndexForLangId(0x0C0A), 6);
    EXPECT_EQ(LanguageIndexForLangId(0x040C), 4);
    EXPECT_EQ(LanguageIndexForLangId(0x0410), 5);
    EXPECT_EQ(LanguageIndexForLangId(0x0411), 8);
    EXPECT_EQ(LanguageIndexForLangId(0x0416), 7);
    EXPECT_EQ(LanguageIndexForLangId(0x0816), 7);
}

TEST(LanguageMapping, OtherLanguagesGiveEnglish) {
    for (LANGID id : {0x0409, 0x0809, 0x0419, 0x0412, 0x0413, 0x0000, 0xFFFF})
        EXPECT_EQ(LanguageIndexForLangId(id), 3) << std::hex << id;
}

class LanguageChoiceTest : public ::testing::Test {
protected:
    BASUserDefaults* Store(const std::string& json) {
        BASUserDefaults::InitUserDefaults("language-test", folder_.Write(L"settings.json", json).c_str());
        return BASUserDefaults::GetUserDefaults("language-test");
    }
    void TearDown() override { BASUserDefaults::DisposeUserDefaults("language-test"); }
    TempFolder folder_;
};

TEST_F(LanguageChoiceTest, AStoredLanguageIsTakenUnchanged) {
    const LanguageChoice choice = ChooseLanguage(Store(R"({"language": 12})"), 0x0407);
    EXPECT_EQ(choice.index, 12);
    EXPECT_TRUE(choice.stored);
    EXPECT_EQ(ChooseLanguage(Store(R"({"language": 0})"), 0x0407).index, 0);
}

TEST_F(LanguageChoiceTest, WithoutAStoredLanguageTheUserLanguageDecides) {
    const LanguageChoice choice = ChooseLanguage(Store(R"({"other": 1})"), 0x0411);
    EXPECT_EQ(choice.index, 8);
    EXPECT_FALSE(choice.stored);
    EXPECT_EQ(ChooseLanguage(nullptr, 0x040C).index, 4);
}

TEST(LanguageInstall, IndexNineOrMoreLoadsNoCatalog) {
    REQUIRE_INSTALL_TREE();
    for (int index : {9, 12, -1}) {
        EXPECT_FALSE(InstallLanguage(index, InstallTree())) << index;
        ASSERT_NE(wxGetLocale(), nullptr);
        EXPECT_EQ(wxGetLocale()->GetLanguage(), index);
        EXPECT_EQ(wxGetLocale()->TranslationCount(), 0u) << index;
    }
}

TEST(LanguageInstall, BuiltCatalogsTranslateForReal) {
    REQUIRE_INSTALL_TREE();
    ASSERT_TRUE(InstallLanguage(0, InstallTree()));
    EXPECT_STREQ(wxGetTranslation(L"OK"), L"\u786E\u5B9A");          // 确定
    EXPECT_STREQ(wxGetTranslation(L"Settings"), L"\u8BBE\u7F6E");    // 设置
    ASSERT_TRUE(InstallLanguage(2, InstallTree()));
    EXPECT_STREQ(wxGetTranslation(L"Cancel"), L"Abbrechen");
    EXPECT_STREQ(wxGetTranslation(L"Open"), L"\u00D6ffnen");
    EXPECT_STREQ(wxGetTranslation(L"Progress"), L"Progress");
}

TEST(LanguageInstall, EveryLanguageOfTheTableHasItsCatalog) {
    REQUIRE_INSTALL_TREE();
    ASSERT_TRUE(InstallLanguage(3, InstallTree()));
    const size_t englishCount = wxGetLocale()->TranslationCount();
    EXPECT_GT(englishCount, 30u);
    for (int index = 0; index < kLanguageCount; ++index) {
        if (index == 3) continue;
        ASSERT_TRUE(InstallLanguage(index, InstallTree())) << LanguageCatalogPath(index);
        EXPECT_EQ(wxGetLocale()->TranslationCount(), englishCount) << LanguageCatalogPath(index);
        EXPECT_STRNE(wxGetTranslation(L"Cancel"), L"Cancel") << LanguageCatalogPath(index);
    }
}

namespace {
const std::wstring kBase = L"C:\\Users\\ana\\AppData\\Roaming\\Zentrovia\\";
const std::wstring kSuiteInstall =
    kBase + L"Suite\\Addins\\Zentrovia Handset Message + Contact Rescue\\4.4.39\\Bin\\";
}  // namespace

TEST(PreferencesPath, OutsideTheDataFolderIsEmpty) {
    auto exists = [](const std::wstring&) { return true; };
    EXPECT_EQ(PreferencesPath(kBase, L"C:\\Program Files\\Zentrovia\\Rescue\\", exists), L"");
    // The search is case-sensitive.
    EXPECT_EQ(PreferencesPath(kBase, L"C:\\Users\\ana\\AppData\\Roaming\\zentrovia\\Suite\\Bin\\", exists), L"");
    // The base itself has no first folder below it.
    EXPECT_EQ(PreferencesPath(kBase, kBase, exists), L"");
}

TEST(PreferencesPath, PrefersTheRecommendFile) {
    std::wstring asked;
    auto exists = [&asked](const std::wstring& path) {
        asked = path;
        return true;
    };
    EXPECT_EQ(PreferencesPath(kBase, kSuiteInstall, exists), kBase + L"Suite\\Preferences-Recommend.json");
    EXPECT_EQ(asked, kBase + L"Suite\\Preferences-Recommend.json");
}

TEST(PreferencesPath, FallsBackToThePlainFileWhetherOrNotItExists) {
    auto nothingExists = [](const std::wstring&) { return false; };
    EXPECT_EQ(PreferencesPath(kBase, kSuiteInstall, nothingExists), kBase + L"Suite\\Preferences.json");
}

class ResourceCatalog : public ::testing::Test {
protected:
    void SetUp() override { BASUserDefaults::DisposeUserDefaults("url"); }
    TempFolder folder_;
};

TEST_F(ResourceCatalog, CopiesTheUrlKeysAndTheProductType) {
    folder_.Write(L"Option.json",
                  R"({"url:help": "https://help.zentrovia.example/a", "email:support": "support@zentrovia.example",)"
                  R"( "url:unlisted": "https://x.zentrovia.example/", "product:type": 1})");
    ASSERT_TRUE(LoadResourceCatalog(folder_.Path() + L"\\"));
    EXPECT_STREQ(FindNamedUrl("url:help"), "https://help.zentrovia.example/a");
    EXPECT_STREQ(FindNamedUrl("email:support"), "support@zentrovia.example");
    EXPECT_STREQ(FindNamedUrl("url:support"), "");    // a listed key that the file lacks
    EXPECT_STREQ(FindNamedUrl("url:unlisted"), "");   // only the listed keys are copied
    EXPECT_EQ(ProductType(), 1);
}

TEST(NamedTables, KeepTheirOwnCopyAndAnswerUnknownKeysWithEmptyTextOrNull) {
    EXPECT_STREQ(FindNamedUrl("url:never-set"), "");
    EXPECT_EQ(FindNamedImage("never-set.png"), nullptr);
    std::string value = "https://help.zentrovia.example/";
    SetNamedUrl("url:test", value.c_str());
    value.assign("overwritten");
    EXPECT_STREQ(FindNamedUrl("url:test"), "https://help.zentrovia.example/") << "the table keeps its own copy";
}

TEST_F(ResourceCatalog, AMissingCatalogGivesProductTypeZero) {
    folder_.Write(L"Option.json", R"({"product:type": 1})");
    ASSERT_TRUE(LoadResourceCatalog(folder_.Path() + L"\\"));
    EXPECT_FALSE(LoadResourceCatalog(folder_.Path() + L"\\absent\\"));
    EXPECT_EQ(ProductType(), 0);
}

TEST_F(ResourceCatalog, TheShippedCatalogHasEveryKey) {
    REQUIRE_INSTALL_TREE();
    ASSERT_TRUE(LoadResourceCatalog(InstallTree()));
    for (const char* key : kCatalogUrlKeys) {
        const std::string value = FindNamedUrl(key);
        EXPECT_NE(value.find("zentrovia.example"), std::string::npos) << key << " = " << value;
    }
    EXPECT_EQ(ProductType(), 0);
    const BASUserDefaults* store = BASUserDefaults::GetUserDefaults("url");
    ASSERT_NE(store, nullptr);
    for (const char* key : {"color:title:background", "color:title:category:select:background",
                            "color:common:button:normal", "color:common:button:pressed",
                            "color:setting:general:background", "color:setting:general:border"}) {
        EXPECT_TRUE(store->HasMember(key)) << key;
        // A malformed colour would come back as the fallback.
        EXPECT_NE(store->GetRGB(key, 0x123456), COLORREF(0x123456)) << key;
    }
}

class HostConfiguration : public ::testing::Test {
protected:
    std::wstring Config(const std::string& json) { return folder_.Write(L"host.json", json); }
    std::string BothPaths(const std::wstring& server, const std::wstring& service) {
        return R"({"ANDROID_SERVER_PATH": ")" + JsonPath(server) + R"(", "ANDROID_SERVICE_PATH": ")" +
               JsonPath(service) + R"("})";
    }
    TempFolder folder_;
};

TEST_F(HostConfiguration, BothFilesPresentAreAccepted) {
    const std::wstring server = folder_.Write(L"server.jar", "s");
    const std::wstring service = folder_.Write(L"service.apk", "s");
    EXPECT_EQ(ReadHostConfiguration(Config(BothPaths(server, service))), HostConfigOutcome::Accepted);
    EXPECT_EQ(DeviceServerPath(), server);
    EXPECT_EQ(DeviceServicePath(), service);
    EXPECT_EQ(BASUserDefaults::GetUserDefaults("HOST"), nullptr) << "the HOST store was kept";
}

TEST_F(HostConfiguration, OneMissingFileLeavesBothPathsEmpty) {
    const std::wstring server = folder_.Write(L"server.jar", "s");
    ASSERT_EQ(ReadHostConfiguration(Config(BothPaths(server, folder_.Write(L"service.apk", "s")))),
              HostConfigOutcome::Accepted);
    EXPECT_EQ(ReadHostConfiguration(Config(BothPaths(server, folder_.Path() + L"\\absent.apk"))),
              HostConfigOutcome::MissingFiles);
    EXPECT_EQ(DeviceServerPath(), L"");
    EXPECT_EQ(DeviceServicePath(), L"");
    EXPECT_EQ(BASUserDefaults::GetUserDefaults("HOST"), nullptr);
}

TEST_F(HostConfiguration, WithoutServerPathNothingIsTaken) {
    const std::wstring service = folder_.Write(L"service.apk", "s");
    EXPECT_EQ(ReadHostConfiguration(Config(R"({"ANDROID_SERVICE_PATH": ")" + JsonPath(service) + R"("})")),
              HostConfigOutcome::NoServerPath);
    EXPECT_EQ(DeviceServicePath(), L"");
}

TEST_F(HostConfiguration, AnUnreadableFileIsNotLoaded) {
    EXPECT_EQ(ReadHostConfiguration(folder_.Path() + L"\\absent.json"), HostConfigOutcome::NotLoaded);
    EXPECT_EQ(ReadHostConfiguration(Config("not json")), HostConfigOutcome::NotLoaded);
    EXPECT_EQ(DeviceServerPath(), L"");
}

class ImagePreload : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token_, &input, nullptr);
    }
    static void TearDownTestSuite() { Gdiplus::GdiplusShutdown(token_); }
    static ULONG_PTR token_;
};
ULONG_PTR ImagePreload::token_ = 0;

TEST_F(ImagePreload, TheShippedPicturesLoad) {
    REQUIRE_INSTALL_TREE();
    PreloadImages(InstallTree());
    for (const char* name : kPreloadedImages) {
        Gdiplus::Bitmap* bitmap = FindNamedImage(name);
        ASSERT_NE(bitmap, nullptr) << name;
        EXPECT_EQ(bitmap->GetLastStatus(), Gdiplus::Ok) << name;
        EXPECT_GT(bitmap->GetWidth(), 0u) << name;
    }
    EXPECT_EQ(FindNamedImage("application.png")->GetWidth(), 96u);
}

TEST_F(ImagePreload, AMissingPictureStillGetsAnEntry) {
    TempFolder empty;
    PreloadImages(empty.Path() + L"\\");
    for (const char* name : kPreloadedImages) {
        Gdiplus::Bitmap* bitmap = FindNamedImage(name);
        ASSERT_NE(bitmap, nullptr) << name;
        EXPECT_NE(bitmap->GetLastStatus(), Gdiplus::Ok) << name;
        EXPECT_EQ(bitmap->GetWidth(), 0u) << name;
    }
}

TEST(InstallationFolder, HasTheSectionPictures) {
    REQUIRE_INSTALL_TREE();
    for (const wchar_t* name : {L"phone-rescue.png", L"card-rescue.png", L"multi-toolbox.png"})
        EXPECT_TRUE(BASUtilityFile::IsFileExist((InstallTree() + L"Resources\\" + name).c_str())) << name;
}
