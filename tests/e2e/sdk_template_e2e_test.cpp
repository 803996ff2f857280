// The SDK's template plug-in, MyModule, in a real run of the installed host:
// sdk_template_run.cmake has built it from the installed SDK outside the
// source tree and put it into the installation's plug-ins folder, and starts
// this program with LUMAREST_EXE naming the installed Lumarest.exe. The probe
// greets MyModule; MyModule asks its question through the host from its
// worker thread; a close meanwhile is refused; the question is answered with
// Return; the next close joins the worker.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "screen_support.h"

namespace {

using namespace e2e;

constexpr int kConfirmId = 5051;
constexpr wchar_t kQuestion[] = L"MyModule was greeted. Greet back?";

class SdkTemplateRun : public HostRun {
protected:
    std::wstring TemplateLog() const { return files_.Path() + L"\\mymodule.log"; }
    // Where MyModule's log holds event (each is unique in it), or npos.
    size_t EventAt(const std::string& event) const { return ReadTextFile(TemplateLog()).find(" " + event); }
};

TEST_F(SdkTemplateRun, AnswersItsCommandAsksThroughTheHostAndJoinsItsWorkerAtTheClose) {
    AddProbe({}, "SLEEP 3000\nSEND MYMODULE_COMMAND_HELLO read:object=u8\n");
    environment_.push_back({L"MYMODULE_LOG", TemplateLog()});
    HostProcess::Options options = Options();
    options.inPlace = true;  // the installed host, with MyModule in its own plug-ins folder
    HostProcess host(options);
    ASSERT_TRUE(host.Start());
    ASSERT_NE(host.WaitForMainWindow(kStartTimeoutMs), nullptr) << host.ReadLogs() << ReadTextFile(TemplateLog());

    // Only the probe's line for the answer shows the object's text.
    EXPECT_TRUE(
        WaitUntil([&] { return Log().find("object=\"Hello from MyModule\"") != std::string::npos; }, kEventTimeoutMs))
        << Log();

    HWND dialog = WaitForDialog(host, {kQuestion}, kEventTimeoutMs);
    ASSERT_NE(dialog, nullptr) << "MyModule's question never showed\n" << ReadTextFile(TemplateLog());
    // A close while the worker waits for the answer would join a thread that
    // waits for the main thread: MyModule keeps the window open instead.
    ASSERT_TRUE(host.RequestClose());
    ASSERT_TRUE(
        WaitUntil([&] { return EventAt("close refused: a question is open") != std::string::npos; }, kEventTimeoutMs))
        << "the close while the question was open was not refused\n"
        << ReadTextFile(TemplateLog());
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(dialog) == Control(dialog, kConfirmId); }, kEventTimeoutMs))
        << "the question lost the focus on \"OK\"";
    PressKey(VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return EventAt("question answered 1") != std::string::npos; }, kEventTimeoutMs))
        << ReadTextFile(TemplateLog());

    Close(host);
    // The worker ended before the close went on, and nothing was left running.
    const size_t finished = EventAt("worker finished"), closed = EventAt("closed");
    EXPECT_TRUE(finished < closed && closed != std::string::npos) << "the close did not join MyModule's worker\n"
                                                                  << ReadTextFile(TemplateLog());
}

}  // namespace
