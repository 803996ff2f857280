// Real runs of the host's dialogs on the composited test display: confirms
// and alerts that the probe asks for from its own thread, answered with real
// mouse presses; the shipped recovery module's scan in the progress dialog;
// the drop shadows of the frame and the dialogs. Screenshots are kept in the
// artefacts folder; pixels are read where the dialogs' layout fixes them.
#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <string>
#include <vector>

#include "host_process.h"
#include "plugin_tree.h"
#include "screen_support.h"

namespace {

using namespace e2e;

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr int kCloseId = 5050, kConfirmId = 5051, kSecondId = 5052;

// The shown shadow window whose rectangle is the caster's moved by size.
HWND ShadowOf(const HostProcess& host, HWND caster, int size) {
    const RECT expected = Offset(WindowRect(caster), size, size);
    for (HWND shadow : TopLevels(host.ProcessId(), L"WTL_ThemedShadowWindow"))
        if (SameRect(WindowRect(shadow), expected)) return shadow;
    return nullptr;
}

using DialogCommandsRun = HostRun;

// The host registers its handler after every plug-in is loaded; the probe
// waits that out before it asks. Five confirms, with time between them to
// see where the focus went, then a short and a long alert.
const std::string kAnswersScript = [] {
    std::string script = "SLEEP 3000\n";
    for (int i = 0; i < 5; ++i)
        script +=
            "SEND LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE value=400 wideText=u16:Delete_the_selected_messages?\n"
            "SLEEP 4000\n";
    return script +
           "SEND LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE value=400 wideText=u16:Done.\nSLEEP 4000\n"
           "SEND LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE value=400 wideText=u16:"
           "The-phone-was-disconnected-while-its-messages-were-being-read.-Connect-it-again-with-its-USB-cable,-"
           "unlock-its-screen,-allow-this-computer-to-reach-it-and-start-the-scan-once-more-from-the-beginning.\n";
}();

// Each dialog takes the focus on its default button, which a screen reader
// hears named as a push button like the others. The mouse answers on the
// press of a button: "OK" confirms, "Cancel" and the close button do not;
// from the keyboard Return confirms and Escape is the close button. The
// focus goes back to the frame after each. The short alert and its shadow
// drag with the mouse; the long one keeps the width of 400 and grows taller
// instead. The alerts' layout and the shadows' styles are checked without
// windows.
TEST_F(DialogCommandsRun, ConfirmsAndAlertsAnswerOnAPressOrKeyGiveTheFocusBackAndDragWithTheirShadow) {
    AddProbe({}, kAnswersScript);
    HostProcess host(Options());
    HWND frame = StartedFrame(host);
    ASSERT_NE(frame, nullptr);
    // Waits until the probe has count answers to name; returns the last.
    const auto waitForAnswer = [&](const std::string& name, size_t count) {
        const std::string prefix = "probe ANSWER " + name + " ";
        WaitUntil([&] { return Lines(Log(), prefix).size() >= count; }, kEventTimeoutMs);
        const std::vector<std::string> answers = Lines(Log(), prefix);
        return answers.size() >= count ? answers[count - 1] : "";
    };
    struct Step {
        int button;  // pressed with the mouse, or else
        WORD key;    // pressed on the keyboard
        long long value;
    };
    const Step steps[] = {
        {kConfirmId, 0, 1}, {kSecondId, 0, 0}, {kCloseId, 0, 0}, {0, VK_RETURN, 1}, {0, VK_ESCAPE, 0}};
    for (size_t i = 0; i < std::size(steps); ++i) {
        HWND dialog = WaitForDialog(host, {L"Delete_the_selected_messages?"});
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
        const std::string answer = waitForAnswer("LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE", i + 1);
        if (steps[i].button) Release();
        ASSERT_FALSE(answer.empty()) << "step " << i << " did not end dialog " << i << " on its press\n" << Log();
        EXPECT_EQ(Value(answer), steps[i].value) << "step " << i << ", the width 400 came in value";
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog) && FocusIsIn(frame); }, kEventTimeoutMs))
            << "the focus did not return to the frame after dialog " << i;
    }

    HWND alert = WaitForDialog(host, {L"Done."});
    ASSERT_NE(alert, nullptr) << "the short alert never showed";
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(alert) == Control(alert, kConfirmId); }, 5000))
        << "the alert did not take the focus on \"OK\"";
    const RECT r = WindowRect(alert);
    HWND dialogShadow = ShadowOf(host, alert, 4);
    ASSERT_NE(dialogShadow, nullptr) << "the alert casts no shadow of size 4";
    EXPECT_NE(ShadowOf(host, frame, 12), nullptr) << "the frame casts no shadow of size 12";
    const RECT f = WindowRect(frame);
    EXPECT_TRUE(SaveScreenBmp({f.left - 30, f.top - 30, f.right + 40, f.bottom + 40}, L"shadows-composited.bmp"));
    // A press on the body, below the title bar's 26 rows, drags the dialog; its shadow follows.
    const POINT grip{r.left + 10, r.top + 26 + 10};
    PressAt(grip);
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
    EXPECT_TRUE(SaveAround(alert, L"alert-short.bmp"));
    PressKey(VK_RETURN);
    EXPECT_FALSE(waitForAnswer("LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE", 1).empty()) << "Return did not end it";
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(alert) && FocusIsIn(frame); }, kEventTimeoutMs))
        << "the focus did not return to the frame after the alert";

    HWND longAlert = WaitForDialog(host, {L"The-phone-was-disconnected"});
    ASSERT_NE(longAlert, nullptr) << "the long alert never showed";
    const RECT l = WindowRect(longAlert);
    EXPECT_EQ(l.right - l.left, 400) << "a long message made the alert wider";
    EXPECT_GT(l.bottom - l.top, r.bottom - r.top) << "a long message did not make the alert taller";
    EXPECT_TRUE(SaveAround(longAlert, L"alert-long.bmp"));
    ClickOn(longAlert, kConfirmId);
    EXPECT_FALSE(waitForAnswer("LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE", 2).empty()) << "\"OK\" did not end it";
    Close(host);
}

// The progress lines of the run's one bus trace beside its log, which is
// kept in the artefacts folder to be read.
std::vector<std::string> ProgressTrace(const HostProcess& host) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((host.LogFolder() + L"\\bus-trace.*.txt").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return {};
    FindClose(search);
    const std::wstring path = host.LogFolder() + L"\\" + entry.cFileName;
    CopyFileW(path.c_str(), L"" LUMAREST_TEST_ARTIFACTS_DIR L"\\bus-trace-scan.txt", FALSE);
    std::vector<std::string> lines;
    for (const std::string& line : Lines(ReadTextFile(path), ""))
        if (line.find("_PROGRESS") != std::string::npos) lines.push_back(line);
    return lines;
}

// The recovery module's scan: 10 items, 3 of them unreadable, reported from
// its own thread. The run is traced ("--trace-bus"): the scan's commands come
// back from the trace file in order with their sender and receivers.
TEST_F(DialogCommandsRun, TheRecoveryScanRunsInTheProgressDialogToItsEndAndItsTraceReadsBack) {
    AddShipped(L"Recovery");
    AddShipped(L"Title");
    AddProbe({"LIBPLATFORM_COMMAND_NOTIFY_PROGRESS"}, "");  // watches only
    HostProcess::Options options = Options();
    options.arguments = L"--trace-bus";
    HostProcess host(options);
    HWND frame = StartedFrame(host);
    ASSERT_NE(frame, nullptr);
    const HWND view = GetWindow(frame, GW_CHILD);
    HWND pane = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] { return IsWindowVisible(pane = FindWindowExW(view, nullptr, L"LumarestRecoveryPane", nullptr)) != 0; },
        kEventTimeoutMs));
    // "Start Scan" at (332, 308) to (482, 348) of the pane, then "OK" in the question.
    POINT scan{407, 328};
    ClientToScreen(pane, &scan);
    ClickAt(scan);
    HWND question = WaitForDialog(host, {L"Scan the phone"});
    ASSERT_NE(question, nullptr) << "\"Start Scan\" asked nothing";
    ClickOn(question, kConfirmId);
    HWND progress = WaitForDialog(host, kProgressDialog);
    ASSERT_NE(progress, nullptr) << "no progress dialog after the confirmed scan\n" << Log();
    const RECT d = WindowRect(progress);
    const int barY = d.top + 76, fillLeft = d.left + 24;
    // Amid the scan the bar shows the items done so far, never all 10 of its
    // 452 inner pixels; at the end it shows the 7 read, 316 pixels.
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(fillLeft + 2, barY) != kWhite; }, 10000)) << "the bar never filled";
    EXPECT_EQ(ScreenPixel(fillLeft + 452 - 3, barY), kWhite) << "the bar is full amid the scan";
    EXPECT_TRUE(SaveAround(progress, L"progress-running.bmp"));
    // The end: "Cancel" becomes "OK".
    ASSERT_TRUE(WaitUntil([&] { return WindowText(Control(progress, kSecondId)) == L"OK"; }, kEventTimeoutMs))
        << "the dialog never showed its end";
    // Its paint may come a refresh later on a loaded machine.
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(fillLeft + 316 + 3, barY) == kWhite; }, 5000))
        << "the bar is not at 7 of 10";
    EXPECT_EQ(ScreenPixel(fillLeft + 316 - 3, barY), ScreenPixel(fillLeft + 2, barY));
    EXPECT_TRUE(SaveAround(progress, L"progress-failed-3-of-10.bmp"));
    ClickOn(progress, kSecondId);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(progress); }, kEventTimeoutMs)) << "\"OK\" did not close it";
    Close(host);

    // The scan: a start, nine notifications and a finish, each a line of
    // time, sender (the module, named by its folder), command, value, thread
    // and each receiver as name:microseconds, the probe served before the host.
    const std::vector<std::string> lines = ProgressTrace(host);
    ASSERT_GE(lines.size(), 11u) << "no bus trace of the scan beside the log";
    const std::regex notify(
        "[^\t]+\tRecovery\tLIBPLATFORM_COMMAND_NOTIFY_PROGRESS\t[01]\t[^\t]+\tProbe:[^\t]+\tProduct:[^\t]+");
    const std::regex finish("[^\t]+\tRecovery\tLIBPLATFORM_COMMAND_NOTIFY_PROGRESS_FINISH\t0\t[^\t]+\tProduct:[^\t]+");
    for (size_t item = 0; item < 10; ++item)
        EXPECT_TRUE(std::regex_match(lines[1 + item], item < 9 ? notify : finish)) << lines[1 + item];
}

}  // namespace
