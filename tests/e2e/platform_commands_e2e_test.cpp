// Real runs of Lumarest.exe with the probe as its only plug-in: from its own
// thread the probe sends every command that the host answers without a
// window, and the test reads the answers from the probe's log. The host runs
// from the build's installation folder, so the catalog and the pictures are
// the shipped ones.
#include <gtest/gtest.h>

#include <windows.h>

#include <rapidjson/document.h>

#include <string>

#include "Utf8.h"
#include "host_process.h"
#include "plugin_tree.h"

namespace {

const std::wstring kProbeDll = L"" LUMAREST_TEST_PROBE_DLL;
constexpr DWORD kStartTimeoutMs = 120000;
constexpr DWORD kScriptTimeoutMs = 60000;
constexpr DWORD kExitTimeoutMs = 60000;

// The host registers its handler after every plug-in is loaded, which is
// moments after the probe's thread starts; the first step waits that out.
// Answers that the host must write are preset to something else, so that a
// command nobody answered cannot pass for an answer.
constexpr char kScript[] =
    "SLEEP 2000\n"
    "SEND LIBPLATFORM_COMMAND_FIND_URL arg=u8:url:help object=u8:unanswered read:arg=u8 read:object=u8\n"
    "SEND LIBPLATFORM_COMMAND_FIND_URL arg=u8:url:no-such-key object=u8:unanswered read:arg=u8 read:object=u8\n"
    "SEND LIBPLATFORM_COMMAND_FIND_IMAGE arg=u8:close-normal.png read:arg=u8\n"
    "SEND LIBPLATFORM_COMMAND_FIND_IMAGE arg=u8:no-such-picture.png object=0x1234 read:arg=u8\n"
    "SEND LIBPLATFORM_COMMAND_GET_PRODUCT_ALIAS read:wideText=heap16\n"
    "SEND LIBPLATFORM_COMMAND_GET_APP_NAME read:wideText=heap16\n"
    "SEND LIBCOMM_COMMAND_GET_ANDROID_SERVER_PATH wideText=u16:unanswered\n"
    "SEND LIBCOMM_COMMAND_GET_ANDROID_SERVICE_PATH wideText=u16:unanswered\n"
    "SEND LIBPLATFORM_COMMAND_GET_TEMP_DIR read:wideText=heap16\n"
    "SEND LIBPLATFORM_COMMAND_GET_COMPLETE_VERSION value=77\n";

// A path as a JSON string's content.
std::string JsonEscaped(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

// The folder of the Lumarest.exe under test, with a trailing backslash.
std::wstring InstallFolder() {
    std::wstring exe = HostProcess::DefaultExePath();
    return exe.substr(0, exe.find_last_of(L"\\/") + 1);
}

// A value of the installed Option.json, or empty.
std::string InstalledCatalogValue(const char* key) {
    const std::string text = ReadTextFile(InstallFolder() + L"Option.json");
    rapidjson::Document catalog;
    catalog.Parse(text.c_str());
    if (catalog.HasParseError() || !catalog.IsObject() || !catalog.HasMember(key) || !catalog[key].IsString())
        return {};
    return catalog[key].GetString();
}

// The probe's ANSWER line for name whose text contains marker (the first
// such line), or empty.
std::string AnswerLine(const std::string& log, const std::string& name, const std::string& marker = "") {
    const std::string start = "probe ANSWER " + name + " ";
    for (size_t at = log.find(start); at != std::string::npos; at = log.find(start, at + 1)) {
        std::string line = log.substr(at, log.find('\n', at) - at);
        if (line.find(marker) != std::string::npos) return line;
    }
    return {};
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class PlatformCommandsRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(HostProcess::DefaultExePath().empty()) << "LUMAREST_EXE is not set";
        plugins_.AddPlugin(L"Probe", L"1.0", kProbeDll, PluginManifestText("probe", "1.0", "probe.dll"), L"probe.dll");
        log_ = files_.Path() + L"\\probe.log";
    }

    // Runs the host until the probe's script is done, closes it and returns
    // the probe's log. The exit code lands in exitCode_.
    std::string Run(const std::wstring& arguments) {
        HostProcess::Options options;
        options.tempDir = temp_.Path();
        options.pluginsDir = plugins_.Path();
        options.arguments = arguments;
        options.environment = {{L"LUMAREST_PROBE_LOG", log_},
                               {L"LUMAREST_PROBE_SCRIPT", files_.Write(L"probe.script", kScript)}};
        HostProcess host(options);
        logFolder_ = host.LogFolder();
        EXPECT_TRUE(host.Start());
        EXPECT_NE(host.WaitForMainWindow(kStartTimeoutMs), nullptr) << "the main window never showed";
        const std::string log = WaitForText(log_, "probe DONE", kScriptTimeoutMs);
        EXPECT_TRUE(host.RequestClose());
        exitCode_ = host.WaitForExit(kExitTimeoutMs);
        return log;
    }

    PluginTree plugins_;  // holds the probe and nothing else
    TempFolder temp_;
    TempFolder files_;
    std::wstring log_;
    std::wstring logFolder_;
    DWORD exitCode_ = STILL_ACTIVE;
};

TEST_F(PlatformCommandsRun, AnswersLookupsIdentityTemporaryFolderAndVersionToAPluginThread) {
    const std::string log = Run(L"");
    ASSERT_TRUE(Contains(log, "probe DONE")) << "the probe's script did not finish:\n" << log;
    EXPECT_EQ(exitCode_, 0u) << "the close did not end the run with 0";

    // Look-ups in the shipped catalog and picture cache.
    const std::string helpUrl = InstalledCatalogValue("url:help");
    ASSERT_FALSE(helpUrl.empty()) << "the installed Option.json has no \"url:help\"";
    EXPECT_TRUE(Contains(AnswerLine(log, "LIBPLATFORM_COMMAND_FIND_URL", "\"url:help\""), "object=\"" + helpUrl + "\""))
        << "a catalog key must answer its installed value:\n" << log;
    EXPECT_TRUE(Contains(AnswerLine(log, "LIBPLATFORM_COMMAND_FIND_URL", "\"url:no-such-key\""), "object=\"\" "))
        << "an unknown key must answer an empty text, not null or nothing:\n" << log;
    EXPECT_TRUE(Contains(AnswerLine(log, "LIBPLATFORM_COMMAND_FIND_IMAGE", "\"close-normal.png\""), "object=0x"))
        << "a preloaded picture must answer its bitmap:\n" << log;
    EXPECT_TRUE(Contains(AnswerLine(log, "LIBPLATFORM_COMMAND_FIND_IMAGE", "\"no-such-picture.png\""), "object=null"))
        << "an unknown picture must answer null:\n" << log;

    // Identity, as C-heap copies that the probe released with free().
    EXPECT_TRUE(Contains(AnswerLine(log, "LIBPLATFORM_COMMAND_GET_PRODUCT_ALIAS"),
                         "wideText=\"Zentrovia Handset Message + Contact Rescue\""))
        << log;
    EXPECT_TRUE(Contains(AnswerLine(log, "LIBPLATFORM_COMMAND_GET_APP_NAME"), "wideText=\"Zentrovia Handset Companion\""))
        << log;

    // No host configuration: both device paths are empty texts.
    EXPECT_TRUE(Contains(AnswerLine(log, "LIBCOMM_COMMAND_GET_ANDROID_SERVER_PATH"), "wideText=\"\""))
        << "the server path must be answered empty without a host configuration:\n" << log;
    EXPECT_TRUE(Contains(AnswerLine(log, "LIBCOMM_COMMAND_GET_ANDROID_SERVICE_PATH"), "wideText=\"\""))
        << "the service path must be answered empty without a host configuration:\n" << log;

    // The dated temporary folder below the host's temporary path, made.
    EXPECT_TRUE(Contains(AnswerLine(log, "LIBPLATFORM_COMMAND_GET_TEMP_DIR"),
                         "wideText=\"" + ToUtf8(logFolder_) + "\\\""))
        << "expected <temp>\\Zentrovia\\<yyyymmdd>\\:\n" << log;
    const DWORD attributes = GetFileAttributesW(logFolder_.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        << "the answered temporary folder does not exist";

    EXPECT_TRUE(Contains(AnswerLine(log, "LIBPLATFORM_COMMAND_GET_COMPLETE_VERSION"), "sender=self value=0 "))
        << "the complete version must be answered as 0:\n" << log;
    EXPECT_FALSE(Contains(log, "probe ERROR")) << log;
}

TEST_F(PlatformCommandsRun, AnswersTheDevicePathsOfTheHostConfigurationOnTheCommandLine) {
    const std::wstring server = files_.Write(L"device-server.jar", "server");
    const std::wstring service = files_.Write(L"device-service.apk", "service");
    const std::wstring configuration =
        files_.Write(L"host configuration.json", "{\"ANDROID_SERVER_PATH\": \"" + JsonEscaped(ToUtf8(server)) +
                                                     "\", \"ANDROID_SERVICE_PATH\": \"" +
                                                     JsonEscaped(ToUtf8(service)) + "\"}");
    const std::string log = Run(L"\"" + configuration + L"\"");
    ASSERT_TRUE(Contains(log, "probe DONE")) << "the probe's script did not finish:\n" << log;
    EXPECT_EQ(exitCode_, 0u);

    EXPECT_TRUE(Contains(AnswerLine(log, "LIBCOMM_COMMAND_GET_ANDROID_SERVER_PATH"), "wideText=\"" + ToUtf8(server) + "\""))
        << "the server path of the host configuration was not answered:\n" << log;
    EXPECT_TRUE(Contains(AnswerLine(log, "LIBCOMM_COMMAND_GET_ANDROID_SERVICE_PATH"), "wideText=\"" + ToUtf8(service) + "\""))
        << "the service path of the host configuration was not answered:\n" << log;
}

}  // namespace
