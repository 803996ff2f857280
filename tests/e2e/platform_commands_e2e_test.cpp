// Real runs of Lumarest.exe with the probe as its only plug-in, asking from
// its own thread for what the host answers without a window: the look-ups in
// the shipped catalog, the identity and temporary-folder copies that cross
// the C heap to the plug-in, and the device paths of a host configuration
// named on the command line. The answers are read from the probe's log.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "Utf8.h"
#include "host_process.h"
#include "plugin_tree.h"

namespace {

const std::wstring kProbeDll = L"" LUMAREST_TEST_PROBE_DLL;
constexpr DWORD kStartTimeoutMs = 120000;
constexpr DWORD kScriptTimeoutMs = 60000;
constexpr DWORD kExitTimeoutMs = 60000;

// The host registers its handler after every plug-in is loaded, moments
// after the probe's thread starts; the first step waits that out. Answers the
// host must write are preset, so that an unanswered command cannot pass.
constexpr char kScript[] =
    "SLEEP 2000\n"
    "SEND LIBPLATFORM_COMMAND_FIND_URL arg=u8:url:help object=u8:unanswered read:object=u8\n"
    "SEND LIBPLATFORM_COMMAND_FIND_IMAGE arg=u8:close-normal.png\n"
    "SEND LIBPLATFORM_COMMAND_GET_PRODUCT_ALIAS read:wideText=heap16\n"
    "SEND LIBPLATFORM_COMMAND_GET_APP_NAME read:wideText=heap16\n"
    "SEND LIBPLATFORM_COMMAND_GET_TEMP_DIR read:wideText=heap16\n"
    "SEND LIBCOMM_COMMAND_GET_ANDROID_SERVER_PATH wideText=u16:unanswered\n"
    "SEND LIBCOMM_COMMAND_GET_ANDROID_SERVICE_PATH wideText=u16:unanswered\n";

std::string JsonEscaped(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

// Whether the probe's ANSWER line for name holds part.
bool Answered(const std::string& log, const std::string& name, const std::string& part) {
    const size_t at = log.find("probe ANSWER " + name + " ");
    return at != std::string::npos && log.substr(at, log.find('\n', at) - at).find(part) != std::string::npos;
}

class PlatformCommandsRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(HostProcess::DefaultExePath().empty()) << "LUMAREST_EXE is not set";
        plugins_.AddPlugin(L"Probe", L"1.0", kProbeDll, PluginManifestText("probe", "1.0", "probe.dll"), L"probe.dll");
        log_ = files_.Path() + L"\\probe.log";
    }

    // Runs the host until the probe's script is done, closes it and returns the probe's log.
    std::string Run(const std::wstring& arguments) {
        HostProcess::Options options;
        options.tempDir = temp_.Path();
        options.pluginsFrom = plugins_.Path();
        options.arguments = arguments;
        options.environment = {{L"LUMAREST_PROBE_LOG", log_},
                               {L"LUMAREST_PROBE_SCRIPT", files_.Write(L"probe.script", kScript)}};
        HostProcess host(options);
        logFolder_ = host.LogFolder();
        EXPECT_TRUE(host.Start());
        EXPECT_NE(host.WaitForMainWindow(kStartTimeoutMs), nullptr) << "the main window never showed";
        const std::string log = WaitForText(log_, "probe DONE", kScriptTimeoutMs);
        EXPECT_TRUE(host.RequestClose());
        EXPECT_EQ(host.WaitForExit(kExitTimeoutMs), 0u);
        EXPECT_NE(log.find("probe DONE"), std::string::npos) << "the probe's script did not finish:\n" << log;
        return log;
    }

    PluginTree plugins_;
    TempFolder temp_;
    TempFolder files_;
    std::wstring log_;
    std::wstring logFolder_;
};

TEST_F(PlatformCommandsRun, HandsThePluginsThreadTextsAndHeapCopiesOfItsOwn) {
    const std::string log = Run(L"");
    EXPECT_TRUE(Answered(log, "LIBPLATFORM_COMMAND_FIND_URL", "object=\"https://")) << log;
    EXPECT_TRUE(Answered(log, "LIBPLATFORM_COMMAND_FIND_IMAGE", "object=0x")) << "no preloaded picture:\n" << log;
    // "(freed)": each copy was a live C-heap block that the probe could free.
    EXPECT_TRUE(Answered(log, "LIBPLATFORM_COMMAND_GET_PRODUCT_ALIAS",
                         "wideText=\"Zentrovia Handset Message + Contact Rescue\"(freed)")) << log;
    EXPECT_TRUE(Answered(log, "LIBPLATFORM_COMMAND_GET_APP_NAME", "wideText=\"Zentrovia Handset Companion\"(freed)")) << log;
    EXPECT_TRUE(Answered(log, "LIBPLATFORM_COMMAND_GET_TEMP_DIR", "wideText=\"" + ToUtf8(logFolder_) + "\\\"(freed)"))
        << "expected <temp>\\Zentrovia\\<yyyymmdd>\\:\n" << log;
    EXPECT_NE(GetFileAttributesW(logFolder_.c_str()), INVALID_FILE_ATTRIBUTES) << "the temporary folder was not made";
    EXPECT_TRUE(Answered(log, "LIBCOMM_COMMAND_GET_ANDROID_SERVER_PATH", "wideText=\"\"")) << "no host configuration";
    EXPECT_EQ(log.find("probe ERROR"), std::string::npos) << log;
}

TEST_F(PlatformCommandsRun, AnswersTheDevicePathsOfTheHostConfigurationOnTheCommandLine) {
    const std::wstring server = files_.Write(L"device-server.jar", "server");
    const std::wstring service = files_.Write(L"device-service.apk", "service");
    const std::wstring configuration = files_.Write(
        L"host configuration.json", "{\"ANDROID_SERVER_PATH\": \"" + JsonEscaped(ToUtf8(server)) +
                                        "\", \"ANDROID_SERVICE_PATH\": \"" + JsonEscaped(ToUtf8(service)) + "\"}");
    const std::string log = Run(L"\"" + configuration + L"\"");
    EXPECT_TRUE(Answered(log, "LIBCOMM_COMMAND_GET_ANDROID_SERVER_PATH", "wideText=\"" + ToUtf8(server) + "\"")) << log;
    EXPECT_TRUE(Answered(log, "LIBCOMM_COMMAND_GET_ANDROID_SERVICE_PATH", "wideText=\"" + ToUtf8(service) + "\"")) << log;
}

}  // namespace
