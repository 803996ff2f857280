// Start-up's settings: the language and its catalog, the suite's preferences
// path, the resource catalog and the host configuration, checked also
// against the installation folder the build produces (LUMAREST_INSTALL_TREE).
#include <gtest/gtest.h>

#include <string>

#include "BASUserDefaults.h"
#include "I18n.h"
#include "language_choice.h"
#include "settings_catalog.h"
#include "test_files.h"

namespace {

// The built installation folder, ending in a backslash.
std::wstring InstallTree() { return EnvironmentText(L"LUMAREST_INSTALL_TREE"); }

std::string JsonPath(const std::wstring& path) {
    std::string out;
    for (wchar_t c : path) out += c == L'\\' ? std::string("\\\\") : std::string(1, char(c));  // ASCII paths
    return out;
}

class Settings : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(InstallTree().empty()) << "LUMAREST_INSTALL_TREE is not set"; }
    void TearDown() override { BASUserDefaults::DisposeUserDefaults("language-test"); }
    BASUserDefaults* Store(const std::string& json) {
        BASUserDefaults::InitUserDefaults("language-test", folder_.Write(L"settings.json", json).c_str());
        return BASUserDefaults::GetUserDefaults("language-test");
    }
    std::wstring HostConfig(const std::wstring& server, const std::wstring& service) {
        return folder_.Write(L"host.json", R"({"ANDROID_SERVER_PATH": ")" + JsonPath(server) +
                                               R"(", "ANDROID_SERVICE_PATH": ")" + JsonPath(service) + R"("})");
    }
    TempFolder folder_;
};

TEST_F(Settings, LanguageIsTheStoredIndexElseTheUserLanguagesPrimaryByte) {
    EXPECT_EQ(ChooseLanguage(Store(R"({"language": 12})"), 0x0407).index, 12) << "a stored index is taken unchanged";
    EXPECT_TRUE(ChooseLanguage(Store(R"({"language": 0})"), 0x0407).stored);
    const LanguageChoice fromUser = ChooseLanguage(Store(R"({"other": 1})"), 0x0C0A);
    EXPECT_FALSE(fromUser.stored);
    EXPECT_EQ(fromUser.index, 6) << "Spanish of any region";
    // Chinese: (identifier AND 0x1FE) == 0x004 picks the first catalog.
    EXPECT_EQ(LanguageIndexForLangId(0x0C04), 0);
    EXPECT_EQ(LanguageIndexForLangId(0x0504), 1);
    EXPECT_EQ(LanguageIndexForLangId(0x0816), 7);
    EXPECT_EQ(LanguageIndexForLangId(0x0419), kDefaultLanguageIndex);
}

TEST_F(Settings, PreferencesLieInTheSuitesFirstFolderBelowTheDataFolder) {
    const std::wstring base = L"C:\\Users\\ana\\AppData\\Roaming\\Zentrovia\\";
    const std::wstring install = base + L"Suite\\Addins\\Zentrovia Handset Rescue\\4.4.39\\Bin\\";
    std::wstring asked;
    auto exists = [&asked](const std::wstring& path) { return asked = path, true; };
    EXPECT_EQ(PreferencesPath(base, install, exists), base + L"Suite\\Preferences-Recommend.json");
    EXPECT_EQ(asked, base + L"Suite\\Preferences-Recommend.json");
    EXPECT_EQ(PreferencesPath(base, install, [](const std::wstring&) { return false; }),
              base + L"Suite\\Preferences.json");
    EXPECT_EQ(PreferencesPath(base, L"C:\\Program Files\\Zentrovia\\Rescue\\", exists), L"");
    EXPECT_EQ(PreferencesPath(base, base, exists), L"") << "the base itself has no first folder";
}

TEST_F(Settings, ResourceCatalogCopiesTheListedKeysTheProductTypeAndTheBusTrace) {
    folder_.Write(L"Option.json",
                  R"({"url:help": "https://help.zentrovia.example/a", "url:unlisted": "x", "product:type": 1,
                                      "trace:bus": 1})");
    ASSERT_TRUE(LoadResourceCatalog(folder_.Path() + L"\\"));
    EXPECT_TRUE(BusTraceInCatalog());
    EXPECT_STREQ(FindNamedUrl("url:help"), "https://help.zentrovia.example/a");
    EXPECT_STREQ(FindNamedUrl("url:unlisted"), "") << "only the listed keys are copied";
    EXPECT_EQ(ProductType(), 1);
    EXPECT_FALSE(LoadResourceCatalog(folder_.Path() + L"\\absent\\"));
    EXPECT_EQ(ProductType(), 0) << "a missing catalog kept the earlier product type";
    EXPECT_FALSE(BusTraceInCatalog()) << "a missing catalog kept the earlier trace setting";

    ASSERT_TRUE(LoadResourceCatalog(InstallTree()));
    EXPECT_FALSE(BusTraceInCatalog()) << "the shipped catalog traces the bus";
    for (const char* key : kCatalogUrlKeys)
        EXPECT_NE(std::string(FindNamedUrl(key)).find("zentrovia.example"), std::string::npos) << "shipped " << key;
}

TEST_F(Settings, HostConfigurationNeedsBothDeviceFilesAndForgetsEarlierPaths) {
    const std::wstring server = folder_.Write(L"server.jar", "s"), service = folder_.Write(L"service.apk", "s");
    EXPECT_EQ(ReadHostConfiguration(HostConfig(server, service)), HostConfigOutcome::Accepted);
    EXPECT_EQ(DeviceServerPath(), server);
    EXPECT_EQ(DeviceServicePath(), service);
    EXPECT_EQ(BASUserDefaults::GetUserDefaults("HOST"), nullptr) << "the HOST store was kept";

    EXPECT_EQ(ReadHostConfiguration(HostConfig(server, folder_.Path() + L"\\absent.apk")),
              HostConfigOutcome::MissingFiles);
    EXPECT_EQ(DeviceServerPath(), L"");
    EXPECT_EQ(DeviceServicePath(), L"");
    EXPECT_EQ(ReadHostConfiguration(HostConfig(folder_.Path() + L"\\absent.jar", service)),
              HostConfigOutcome::MissingFiles);
    EXPECT_EQ(ReadHostConfiguration(folder_.Write(L"host.json", R"({"ANDROID_SERVICE_PATH": "x"})")),
              HostConfigOutcome::NoServerPath);
    EXPECT_EQ(ReadHostConfiguration(folder_.Write(L"host.json", "not json")), HostConfigOutcome::NotLoaded);
}

}  // namespace
