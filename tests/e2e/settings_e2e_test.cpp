// Real runs of Lumarest.exe: what start-up decides about the resource
// catalog, the host configuration, the images and the language reaches the
// log once glog runs.
#include <gtest/gtest.h>

#include <windows.h>

#include "host_process.h"
#include "test_files.h"

namespace {

constexpr DWORD kStartTimeoutMs = 120000;
constexpr DWORD kExitTimeoutMs = 60000;

class SettingsRun : public ::testing::Test {
protected:
    // Runs the host until its window shows, closes it and returns its log.
    std::string RunAndReadLog(const std::wstring& installDir, const std::wstring& arguments) {
        HostProcess::Options options;
        options.tempDir = temp_.Path();
        options.pluginsFrom = plugins_.Path();
        options.installFrom = installDir;
        options.arguments = arguments;
        HostProcess host(options);
        EXPECT_TRUE(host.Start());
        EXPECT_NE(host.WaitForMainWindow(kStartTimeoutMs), nullptr);
        EXPECT_TRUE(host.RequestClose());
        EXPECT_EQ(host.WaitForExit(kExitTimeoutMs), 0u);
        return host.ReadLogs();
    }

    TempFolder temp_;
    TempFolder plugins_;
    TempFolder files_;
};

TEST_F(SettingsRun, LogsTheShippedCatalogAndARefusedHostConfiguration) {
    const std::wstring config = files_.Write(L"host.json", R"({"ANDROID_SERVICE_PATH": "C:\\absent.apk"})");
    const std::string log = RunAndReadLog(L"", L"\"" + config + L"\"");
    EXPECT_NE(log.find("Option.json loaded, product type 0"), std::string::npos) << log;
    EXPECT_NE(log.find("has no ANDROID_SERVER_PATH; no device paths"), std::string::npos) << log;
    EXPECT_NE(log.find("Language index "), std::string::npos) << log;
    EXPECT_EQ(log.find("is missing"), std::string::npos) << "a shipped picture is missing:\n" << log;
}

TEST_F(SettingsRun, ProductTypeOneWithoutArgumentsLooksForTheSuitePreferences) {
    TempFolder install;
    install.Write(L"Option.json", R"({"product:type": 1})");
    const std::string log = RunAndReadLog(install.Path() + L"\\", L"");
    EXPECT_NE(log.find("Option.json loaded, product type 1"), std::string::npos) << log;
    // The test's folder is not below the per-user data folder.
    EXPECT_NE(log.find("Host configuration path from the suite's preferences: \"\""), std::string::npos) << log;
    EXPECT_NE(log.find("application.png is missing"), std::string::npos) << log;
    EXPECT_NE(log.find("Translation catalog for index"), std::string::npos) << log;
}

}  // namespace
