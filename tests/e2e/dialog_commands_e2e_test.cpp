// Real runs of the host's dialogs on the composited test display: confirms
// and alerts that the probe asks for from its own thread, answered with real
// mouse presses; the shipped recovery module's scan in the progress dialog;
// the drop shadows of the frame and the dialogs. Screenshots are kept in the
// artefacts folder; pixels are read where the dialogs' layout fixes them.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host_process.h"
#include "plugin_tree.h"
#include "screen_support.h"

namespace {

using namespace e2e;

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr int kTitleBar = 26;
constexpr int kCloseId = 5050, kConfirmId = 5051, kSecondId = 5052;
const DialogKey kDeleteQuestion{L"Delete_the_selected_messages?"};

// The shown shadow window whose rectangle is the caster's moved by size.
HWND ShadowOf(const HostProcess& host, HWND caster, int size) {
    const RECT expected = Offset(WindowRect(caster), size, size);
    for (HWND shadow : TopLevels(host.ProcessId(), L"WTL_ThemedShadowWindow"))
        if (SameRect(WindowRect(shadow), expected)) return shadow;
    return nullptr;
}

class DialogCommandsRun : public HostRun {
protected:
    // Waits until the probe has count answers to name; returns the last.
    std::string WaitForAnswer(const std::string& name, size_t count) {
        const std::string prefix = "probe ANSWER " + name + " ";
        WaitUntil([&] { return Lines(Log(), prefix).size() >= count; }, kEventTimeoutMs);
        const std::vector<std::string> answers = Lines(Log(), prefix);
        return answers.size() >= count ? answers[count - 1] : "";
    }
};

// The host registers its handler after every plug-in is loaded; the probe
// waits that out before it asks. Five confirms and an alert, with time
// between them to see where the focus went.
const std::string kAnswersScript = [] {
    std::string script = "SLEEP 3000\n";
    for (int i = 0; i < 5; ++i)
        script +=
            "SEND LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE value=400 wideText=u16:Delete_the_selected_messages?\n"
            "SLEEP 4000\n";
    return script + "SEND LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE value=400 wideText=u16:Done.\n";
}();

// Each dialog takes the focus on its default button, which a screen reader
// hears named as a push button like the others. The mouse answers on the
// press of a button: "OK" confirms, "Cancel" and the close button do not;
// from the keyboard Return confirms and Escape is the close button. The
// focus goes back to the frame after each.
TEST_F(DialogCommandsRun, ConfirmsAnswerOnThePressOfAButtonOrKeyAndGiveTheFocusBackToTheFrame) {
    AddProbe({}, kAnswersScript);
    HostProcess host(Options());
    HWND frame = StartedFrame(host);
    ASSERT_NE(frame, nullptr);
    struct Step {
        int button;  // pressed with the mouse, or else
        WORD key;    // pressed on the keyboard
        long long value;
    };
    const Step steps[] = {{kConfirmId, 0, 1}, {kSecondId, 0, 0}, {kCloseId, 0, 0},
                          {0, VK_RETURN, 1},  {0, VK_ESCAPE, 0}, {0, VK_RETURN, -1}};
    for (size_t i = 0; i < std::size(steps); ++i) {
        const bool confirm = i < 5;
        HWND dialog = WaitForDialog(host, confirm ? kDeleteQuestion : DialogKey{L"Done."});
        ASSERT_NE(dialog, nullptr) << "dialog " << i << " never showed";
        EXPECT_TRUE(WaitUntil([&] { return FocusOf(dialog) == Control(dialog, kConfirmId); }, 5000))
            << "dialog " << i << " did not take the focus on \"OK\"";
        if (i == 0) {
            EXPECT_TRUE(SaveScreenBmp(WindowRect(dialog), L"confirm.bmp"));
            EXPECT_EQ(AccessibleOf(dialog).name, L"Delete_the_selected_messages?")
                << "the message is not the dialog's name";
            ExpectPushButtons(dialog, {{kConfirmId, L"OK"}, {kSecondId, L"Cancel"}, {kCloseId, L"Close"}});
        }
        // Pressed, not released: the answer must come on the press.
        if (steps[i].button) PressAt(Centre(WindowRect(Control(dialog, steps[i].button))));
        else PressKey(steps[i].key);
        const std::string answer = WaitForAnswer(confirm ? "LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE"
                                                         : "LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE",
                                                 confirm ? i + 1 : 1);
        if (steps[i].button) Release();
        ASSERT_FALSE(answer.empty()) << "step " << i << " did not end dialog " << i << " on its press\n" << Log();
        if (confirm) {
            EXPECT_EQ(Value(answer), steps[i].value) << "step " << i << ", the width 400 came in value";
        }
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog) && FocusIsIn(frame); }, kEventTimeoutMs))
            << "the focus did not return to the frame after dialog " << i;
    }
    Close(host);
}

constexpr char kAlertScript[] =
    "SLEEP 3000\n"
    "SEND LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE value=400 wideText=u16:Done.\n"
    "SEND LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE value=400 wideText=u16:"
    "The-phone-was-disconnected-while-its-messages-were-being-read.-Connect-it-again-with-its-USB-cable,-"
    "unlock-its-screen,-allow-this-computer-to-reach-it-and-start-the-scan-once-more-from-the-beginning.\n";

// Title bar, one button, shadow, dragging and the close button of a short
// alert; the same width and more height for a long one; the frame's shadow
// beside them on the composited display. The buttons' places are the alert
// layout's, checked without windows.
TEST_F(DialogCommandsRun, AlertsKeepTheirWidthDragWithTheirShadowAndTheFrameCastsOneToo) {
    AddProbe({}, kAlertScript);
    HostProcess host(Options());
    HWND frame = StartedFrame(host);
    ASSERT_NE(frame, nullptr);
    HWND alert = WaitForDialog(host, {L"Done."});
    ASSERT_NE(alert, nullptr) << "the short alert never showed";
    RECT r = WindowRect(alert);
    const int shortHeight = r.bottom - r.top;

    // The title bar: 26 rows of one colour, not white, then the white body;
    // nothing in it but the close button, 8 from the right and 4 from the top.
    const COLORREF title = ScreenPixel(r.left + 10, r.top + 13);
    EXPECT_NE(title, kWhite);
    EXPECT_EQ(ScreenPixel(r.left + 10, r.top + 1), title);
    EXPECT_EQ(ScreenPixel(r.left + 200, r.top + kTitleBar - 1), title);
    EXPECT_EQ(ScreenPixel(r.left + 10, r.top + kTitleBar + 1), kWhite) << "the title bar is not 26 rows high";
    int inTitleBar = 0;
    for (HWND child = GetWindow(alert, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (IsWindowVisible(child) && ChildRect(child).top < kTitleBar) ++inTitleBar;
    EXPECT_EQ(inTitleBar, 1);
    EXPECT_EQ(ChildRect(Control(alert, kCloseId)).right, 400 - 8);
    EXPECT_EQ(ChildRect(Control(alert, kCloseId)).top, 4);
    EXPECT_FALSE(IsWindowVisible(Control(alert, kSecondId))) << "an alert has one button";

    // Both shadows, and the strip that the compositor blends darker than what
    // lies beside it (on the grey root the gradient darkens the frame's lower
    // strip most). Their styles are checked in-process.
    HWND dialogShadow = ShadowOf(host, alert, 4);
    ASSERT_NE(dialogShadow, nullptr) << "the alert casts no shadow of size 4";
    ASSERT_NE(ShadowOf(host, frame, 12), nullptr) << "the frame casts no shadow of size 12";
    const RECT f = WindowRect(frame);
    const int frameMidX = (f.left + f.right) / 2;
    EXPECT_TRUE(SaveScreenBmp({f.left - 30, f.top - 30, f.right + 40, f.bottom + 40}, L"shadows-composited.bmp"));
    EXPECT_LT(Brightness(ScreenPixel(frameMidX, f.bottom + 1)), Brightness(ScreenPixel(frameMidX, f.bottom + 30)))
        << "no shadow strip below the frame";

    // A press on the body drags the dialog; its shadow follows.
    const POINT grip{r.left + 10, r.top + kTitleBar + 10};
    PressAt(grip.x, grip.y);
    for (int step = 1; step <= 4; ++step) {
        Sleep(150);
        SetCursorPos(grip.x + 15 * step, grip.y + 10 * step);
    }
    Sleep(300);
    Release();
    EXPECT_TRUE(WaitUntil([&] { return SameRect(WindowRect(alert), Offset(r, 60, 40)); }, 10000))
        << "the dialog did not follow the mouse";
    EXPECT_TRUE(WaitUntil([&] { return SameRect(WindowRect(dialogShadow), Offset(r, 64, 44)); }, 10000))
        << "the shadow did not follow the dialog";
    EXPECT_TRUE(
        SaveScreenBmp(Offset({r.left - 10, r.top - 10, r.right + 20, r.bottom + 20}, 60, 40), L"alert-short.bmp"));

    ClickOn(alert, kCloseId);
    EXPECT_FALSE(WaitForAnswer("LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE", 1).empty())
        << "the close button did not end it";

    HWND longAlert = WaitForDialog(host, {L"The-phone-was-disconnected"});
    ASSERT_NE(longAlert, nullptr) << "the long alert never showed";
    r = WindowRect(longAlert);
    EXPECT_EQ(r.right - r.left, 400) << "a long message made the alert wider";
    EXPECT_GT(r.bottom - r.top, shortHeight) << "a long message did not make the alert taller";
    EXPECT_TRUE(SaveAround(longAlert, L"alert-long.bmp"));
    ClickOn(longAlert, kConfirmId);
    EXPECT_FALSE(WaitForAnswer("LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE", 2).empty()) << "\"OK\" did not end it";
    Close(host);
}

// A line of the bus trace: time, sender, command, value, thread, then each
// receiver as name:microseconds.
std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    for (size_t at = 0; at <= line.size();) {
        const size_t tab = std::min(line.find('\t', at), line.size());
        fields.push_back(line.substr(at, tab - at));
        at = tab + 1;
    }
    return fields;
}

// The run's one bus trace beside its log, as lines of fields.
std::vector<std::vector<std::string>> TraceOf(const HostProcess& host) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((host.LogFolder() + L"\\bus-trace.*.txt").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return {};
    FindClose(search);
    const std::wstring path = host.LogFolder() + L"\\" + entry.cFileName;
    CopyFileW(path.c_str(), L"" LUMAREST_TEST_ARTIFACTS_DIR L"\\bus-trace-scan.txt", FALSE);  // to be read
    std::vector<std::vector<std::string>> lines;
    for (const std::string& line : Lines(ReadTextFile(path), ""))
        if (!line.empty()) lines.push_back(Fields(line));
    return lines;
}

// The recovery module's scan: 10 items, 3 of them unreadable, reported from
// its own thread; a second scan cancelled while it runs. The run is traced
// ("--trace-bus"): the scan's commands come back from the trace file in order
// with their sender, thread and receivers.
TEST_F(DialogCommandsRun, TheRecoveryScanRunsInTheProgressDialogToItsEndAndStopsWhenCancelled) {
    AddShipped(L"Recovery");
    AddShipped(L"Title");
    AddProbe({"LIBPLATFORM_COMMAND_NOTIFY_PROGRESS"}, "");  // watches only
    HostProcess::Options options = Options();
    options.arguments = L"--trace-bus";
    HostProcess host(options);
    HWND frame = StartedFrame(host);
    ASSERT_NE(frame, nullptr);
    HWND pane = WaitForPane(frame, L"LumarestRecoveryPane", kEventTimeoutMs);
    ASSERT_NE(pane, nullptr);
    // "Start Scan" at (332, 308) to (482, 348) of the pane, then "OK" in the question.
    auto startScan = [&] {
        POINT scan{407, 328};
        ClientToScreen(pane, &scan);
        ClickAt(scan.x, scan.y);
        HWND question = WaitForDialog(host, {L"Scan the phone"});
        if (!question) return static_cast<HWND>(nullptr);
        ClickOn(question, kConfirmId);
        return WaitForDialog(host, kProgressDialog);
    };
    HWND progress = startScan();
    ASSERT_NE(progress, nullptr) << "no progress dialog after the confirmed scan\n" << Log();
    const RECT d = WindowRect(progress);
    const int barY = d.top + 76, fillLeft = d.left + 24;
    const int cancelWidth = ControlWidth(progress, kSecondId);
    EXPECT_NE(ShadowOf(host, progress, 4), nullptr) << "the progress dialog casts no shadow of size 4";
    EXPECT_TRUE(IsWindowVisible(Control(progress, kConfirmId))) << "no \"Show in folder\"";
    EXPECT_TRUE(IsWindowVisible(Control(progress, kSecondId))) << "no \"Cancel\"";
    EXPECT_EQ(ChildRect(Control(progress, kSecondId)).right, 500 - 20);
    EXPECT_EQ(ChildRect(Control(progress, kConfirmId)).right, ChildRect(Control(progress, kSecondId)).left - 20);
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(fillLeft + 2, barY) != kWhite; }, 10000)) << "the bar never filled";
    EXPECT_TRUE(SaveAround(progress, L"progress-running.bmp"));

    // The end: "OK" (narrower than "Cancel") and the bar at 7 of 10, that is
    // 316 of its 452 inner pixels.
    ASSERT_TRUE(WaitUntil([&] { return ControlWidth(progress, kSecondId) < cancelWidth; }, kEventTimeoutMs))
        << "the dialog never showed its end";
    // Its paint may come a refresh later on a loaded machine.
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(fillLeft + 316 + 3, barY) == kWhite; }, 5000))
        << "the bar is not at 7 of 10";
    EXPECT_EQ(ScreenPixel(fillLeft + 316 - 3, barY), ScreenPixel(fillLeft + 2, barY));
    EXPECT_TRUE(SaveAround(progress, L"progress-failed-3-of-10.bmp"));
    ClickOn(progress, kSecondId);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(progress); }, kEventTimeoutMs)) << "\"OK\" did not close it";

    // A second scan, cancelled while it runs, sends nothing more.
    ASSERT_EQ(startScan(), progress);
    ClickOn(progress, kSecondId);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(progress); }, kEventTimeoutMs))
        << "\"Cancel\" did not close it";
    Sleep(300);
    const size_t sent = Lines(Log(), "probe RECV LIBPLATFORM_COMMAND_NOTIFY_PROGRESS").size();
    Sleep(2000);
    EXPECT_EQ(Lines(Log(), "probe RECV LIBPLATFORM_COMMAND_NOTIFY_PROGRESS").size(), sent)
        << "the cancelled scan went on";
    EXPECT_LT(sent, 18u) << "the cancelled scan ran to its end\n" << Log();
    Close(host);

    const std::vector<std::vector<std::string>> trace = TraceOf(host);
    ASSERT_GT(trace.size(), 1u) << "no bus trace beside the log";
    EXPECT_EQ(trace[0][0].rfind("# Lumarest bus trace", 0), 0u);
    EXPECT_NE(host.ReadLogs().find("Bus trace closed: " + std::to_string(trace.size() - 1) +
                                   " lines written, 0 dropped"),
              std::string::npos)
        << "the close did not wait for every line";
    std::string mainThread;
    std::vector<std::vector<std::string>> question, progressLines;
    for (const auto& line : trace) {
        if (line.size() < 5) continue;
        if (line[1] == "Product" && line[2] == "LIBWINDOW_COMMAND_SIZE_CHANGE") mainThread = line[4];
        if (line[1] == "Recovery" && line[2] == "LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE") question.push_back(line);
        if (line[2].find("_PROGRESS") != std::string::npos) progressLines.push_back(line);
    }
    ASSERT_FALSE(mainThread.empty()) << "the host's size change is not traced";
    ASSERT_FALSE(question.empty()) << "the question is not traced";
    EXPECT_EQ(question[0][3], "400") << "the dialog's width, as sent";
    EXPECT_EQ(question[0][4], mainThread) << "the pane asks from the main thread";
    ASSERT_EQ(question[0].size(), 6u);
    EXPECT_EQ(question[0][5].substr(0, 8), "Product:");
    EXPECT_GT(std::stoll(question[0][5].substr(8)), 300000) << "the question was open for longer than half a second";
    // The first scan: a start, nine notifications (items 3, 6 and 9 failed) and a finish.
    ASSERT_GE(progressLines.size(), 11u);
    EXPECT_EQ(progressLines[0][2], "LIBPLATFORM_COMMAND_START_PROGRESS");
    EXPECT_NE(progressLines[0][4], mainThread) << "the scan runs on a thread of its own";
    for (int item = 0; item < 10; ++item) {
        const std::vector<std::string>& line = progressLines[1 + item];
        EXPECT_EQ(line[1], "Recovery") << "item " << item;
        EXPECT_EQ(line[2],
                  item < 9 ? "LIBPLATFORM_COMMAND_NOTIFY_PROGRESS" : "LIBPLATFORM_COMMAND_NOTIFY_PROGRESS_FINISH");
        EXPECT_EQ(line[3], item % 3 == 2 ? "1" : "0") << "item " << item;
        EXPECT_EQ(line[4], progressLines[0][4]) << "item " << item << " came from another thread";
        std::string receivers;
        for (size_t i = 5; i < line.size(); ++i) receivers += line[i].substr(0, line[i].rfind(':')) + " ";
        EXPECT_EQ(receivers, item < 9 ? "Probe Product " : "Product ") << "item " << item;
    }
    // The module waits 400 ms before each item.
    EXPECT_GT(std::stoll(progressLines[10][0]) - std::stoll(progressLines[1][0]), 3200000) << "nine waits of 400 ms";
}

}  // namespace
