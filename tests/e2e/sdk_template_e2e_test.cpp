// The SDK's template plug-in, MyModule, in a real run of the installed host:
// sdk_template_run.cmake has built it from the installed SDK outside the
// source tree and put it into the installation's plug-ins folder, and starts
// this program with LUMAREST_EXE naming the installed Lumarest.exe. The probe
// greets MyModule; MyModule asks its question through the host from its
// worker thread; a close meanwhile is refused; the question is answered with
// Return; the next close joins the worker.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host_process.h"
#include "screen_support.h"

namespace {

using namespace e2e;

constexpr int kConfirmId = 5051;
constexpr wchar_t kQuestion[] = L"MyModule was greeted. Greet back?";

// The host's shown dialog that a screen reader names text, or null.
HWND DialogNamed(const HostProcess& host, const std::wstring& text) {
    for (HWND dialog : TopLevels(host.ProcessId(), L"#32770"))
        if (AccessibleOf(dialog).name == text) return dialog;
    return nullptr;
}

class SdkTemplateRun : public HostRun {
protected:
    std::wstring TemplateLog() const { return files_.Path() + L"\\mymodule.log"; }
    // MyModule's events in order: its log lines after "MyModule thread=<id> ",
    // without the carriage return of its text-mode file.
    std::vector<std::string> TemplateEvents() const {
        std::vector<std::string> events;
        for (std::string line : Lines(ReadTextFile(TemplateLog()), "MyModule thread=")) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            events.push_back(line.substr(line.find(' ', 16) + 1));
        }
        return events;
    }
    bool HasEvent(const std::string& event) const {
        const std::vector<std::string> events = TemplateEvents();
        return std::find(events.begin(), events.end(), event) != events.end();
    }
};

TEST_F(SdkTemplateRun, AnswersItsCommandAsksThroughTheHostAndJoinsItsWorkerAtTheClose) {
    AddProbe({}, "SLEEP 3000\nSEND MYMODULE_COMMAND_HELLO read:object=u8\n");
    environment_.push_back({L"MYMODULE_LOG", TemplateLog()});
    HostProcess::Options options = Options();
    options.inPlace = true;  // the installed host, with MyModule in its own plug-ins folder
    HostProcess host(options);
    ASSERT_TRUE(host.Start());
    ASSERT_NE(host.WaitForMainWindow(kStartTimeoutMs), nullptr) << host.ReadLogs() << ReadTextFile(TemplateLog());

    const std::string prefix = "probe ANSWER MYMODULE_COMMAND_HELLO ";
    ASSERT_TRUE(WaitUntil([&] { return !Lines(Log(), prefix).empty(); }, kEventTimeoutMs)) << Log();
    const std::string answer = Lines(Log(), prefix).front();
    EXPECT_EQ(Value(answer), 1) << answer;
    EXPECT_NE(answer.find("object=\"Hello from MyModule\""), std::string::npos) << answer;

    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (dialog = DialogNamed(host, kQuestion)) != nullptr; }, kEventTimeoutMs))
        << "MyModule's question never showed\n"
        << ReadTextFile(TemplateLog());
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(dialog) == Control(dialog, kConfirmId); }, kEventTimeoutMs))
        << "the question did not take the focus on \"OK\"";
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sleep(500);  // the first paint of an emulated program
    SaveScreenBmp(WindowRect(dialog), L"sdk-template-question.bmp");
    // A close while the worker waits for the answer would join a thread that
    // waits for the main thread: MyModule keeps the window open instead.
    ASSERT_TRUE(host.RequestClose());
    ASSERT_TRUE(WaitUntil([&] { return HasEvent("close refused: a question is open"); }, kEventTimeoutMs))
        << "the close while the question was open was not refused\n"
        << ReadTextFile(TemplateLog());
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the question went with the refused close";
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(dialog) == Control(dialog, kConfirmId); }, kEventTimeoutMs))
        << "the question lost the focus on \"OK\"";
    PressKey(VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return HasEvent("question answered 1"); }, kEventTimeoutMs))
        << ReadTextFile(TemplateLog());
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, kEventTimeoutMs)) << "the question stayed";

    Close(host);
    // The worker ended before the close went on, and nothing was left running.
    const std::vector<std::string> events = TemplateEvents();
    const auto finished = std::find(events.begin(), events.end(), "worker finished");
    const auto closed = std::find(events.begin(), events.end(), "closed");
    EXPECT_TRUE(finished != events.end() && closed != events.end() && finished < closed)
        << "the close did not join MyModule's worker\n"
        << ReadTextFile(TemplateLog());
}

}  // namespace
