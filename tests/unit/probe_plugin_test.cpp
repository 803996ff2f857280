// The probe plug-in that other tests drive the host with: its script sends
// from the probe's own thread and records the answers, its ON rules answer
// what it receives, and it keeps the main window open when told to.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <mutex>
#include <string>

#include "bus_test_support.h"
#include "common/command_bus.h"
#include "common/plugin_util.h"
#include "plugin_tree.h"

namespace {

const std::wstring kProbeDll = L"" LUMAREST_TEST_PROBE_DLL;
constexpr DWORD kScriptTimeoutMs = 60000;

class ProbePlugin : public ::testing::Test {
protected:
    void SetUp() override { log_ = tree_.Path() + L"\\probe.log"; }
    void TearDown() override {
        for (const std::wstring& name : variables_) SetEnvironmentVariableW(name.c_str(), nullptr);
    }

    // Sets a probe variable for the copy tagged tag only.
    void SetForTag(const std::wstring& variable, const std::wstring& tag, const std::wstring& value) {
        variables_.push_back(variable + L"_" + tag);
        SetEnvironmentVariableW(variables_.back().c_str(), value.c_str());
    }

    // Loads a probe tagged tag that receives names and runs script.
    void LoadProbe(const std::wstring& module, const std::string& tag, const std::vector<std::string>& names,
                   const std::string& script) {
        const std::wstring wideTag(tag.begin(), tag.end());
        SetForTag(L"LUMAREST_PROBE_LOG", wideTag, log_);
        SetForTag(L"LUMAREST_PROBE_SCRIPT", wideTag, tree_.Write(module + L".script", script));
        tree_.AddPlugin(module, L"1.0", kProbeDll, PluginManifestText(tag, "1.0", "probe.dll", names), L"probe.dll");
        LoadPlugin(tree_.ModuleFolder(module));
        ASSERT_NE(FindModule(module.c_str()), nullptr);
    }

    PluginTree tree_;
    std::wstring log_;
    std::vector<std::wstring> variables_;
};

// What the stand-in host handler saw, written on the probe's thread.
std::mutex seenLock;
std::string seenArg;
int64_t seenValue;

void __cdecl AnswerTheProbe(BASObserveData* record) {
    {
        std::lock_guard<std::mutex> hold(seenLock);
        seenArg = static_cast<const char*>(record->arg);
        seenValue = record->value;
    }
    record->wideText = _wcsdup(L"r\u00e9ponse 1");  // a C-heap answer the probe must free
    record->value2 = 9;
}

TEST_F(ProbePlugin, ScriptSendsFromTheProbesThreadAndRecordsEveryAnswerField) {
    const char* go = "TEST_PROBE_GO";
    const char* ask = "TEST_PROBE_ASK";
    LoadProbe(L"ScriptProbe", "script-probe", {go},
              "# waits for the test, then asks\n"
              "WAITFOR TEST_PROBE_GO 50000\r\n"
              "\n"
              "SEND TEST_PROBE_ASK arg=u8:hello%20world value=5 read:wideText=heap16\n"
              "LOG asked%20once\n");
    RegisterHandler(ask, AnswerTheProbe);
    BASObserveData record = Record(go, nullptr);
    HostSend(&record);

    const std::string log = WaitForText(log_, "script-probe DONE", kScriptTimeoutMs);
    ASSERT_NE(log.find("script-probe DONE"), std::string::npos) << log;
    EXPECT_EQ(log.find("TIMEOUT"), std::string::npos) << log;
    EXPECT_NE(log.find("script-probe RECV TEST_PROBE_GO thread=" + std::to_string(GetCurrentThreadId()) +
                       " sender=host value=0"),
              std::string::npos)
        << log;
    const size_t answer = log.find("script-probe ANSWER TEST_PROBE_ASK thread=");
    ASSERT_NE(answer, std::string::npos) << log;
    const std::string line = log.substr(answer, log.find('\n', answer) - answer);
    EXPECT_EQ(line.find("thread=" + std::to_string(GetCurrentThreadId()) + " "), std::string::npos)
        << "the script must send from the probe's own thread: " << line;
    EXPECT_NE(line.find("sender=self value=5 value2=9 value3=0 count=0"), std::string::npos) << line;
    EXPECT_NE(line.find("wideText=\"r\xC3\xA9ponse 1\""), std::string::npos) << "text answers are shown as UTF-8";
    EXPECT_NE(log.find("script-probe LOG asked once"), std::string::npos) << log;
    std::lock_guard<std::mutex> hold(seenLock);
    EXPECT_EQ(seenArg, "hello world") << "%20 in a script token is a blank";
    EXPECT_EQ(seenValue, 5);
}

TEST_F(ProbePlugin, OnRulesAnswerWhatReachesTheProbe) {
    const char* question = "TEST_PROBE_QUESTION";
    LoadProbe(L"RuleProbe", "rule-probe", {question},
              "ON TEST_PROBE_QUESTION value=-77 wideText=u16:yes data=i32:640,480 read:arg=u8\n");
    BASObserveData record = Record(question, reinterpret_cast<void*>(0x7002));
    record.arg = "why";
    Broadcast(&record);
    EXPECT_EQ(record.value, -77);
    ASSERT_NE(record.wideText, nullptr);
    EXPECT_STREQ(record.wideText, L"yes");
    ASSERT_NE(record.data, nullptr);
    EXPECT_EQ(static_cast<const int32_t*>(record.data)[1], 480);
    const std::string log = ReadTextFile(log_);
    EXPECT_NE(log.find("rule-probe RECV TEST_PROBE_QUESTION thread=" + std::to_string(GetCurrentThreadId()) +
                       " sender=0x7002 value=0"),
              std::string::npos)
        << "the line shows the record as it arrived, before the answer: " << log;
    EXPECT_NE(log.find("arg=\"why\" wideText=null"), std::string::npos) << log;
}

TEST_F(ProbePlugin, RefusesTheCloseTheGivenNumberOfTimes) {
    SetForTag(L"LUMAREST_PROBE_REFUSE_CLOSE", L"close-probe", L"2");
    LoadProbe(L"CloseProbe", "close-probe", {LIBPLATFORM_COMMAND_CLOSE_ENSURE}, "");
    int64_t answers[3];
    for (int64_t& answer : answers) {
        BASObserveData record = Record(LIBPLATFORM_COMMAND_CLOSE_ENSURE, HostInstance());
        SendUntilHandled(&record);
        answer = record.value;
    }
    EXPECT_EQ(answers[0], 1);
    EXPECT_EQ(answers[1], 1);
    EXPECT_EQ(answers[2], 0) << "the third close must go through";
    EXPECT_NE(ReadTextFile(log_).find("close-probe REFUSED LIBPLATFORM_COMMAND_CLOSE_ENSURE remaining=0"),
              std::string::npos);
}

}  // namespace
