// Real runs of the host's dialogs on the composited test display: confirms
// and alerts that the probe asks for from its own thread, answered with real
// mouse presses; the shipped recovery module's scan in the progress dialog;
// the drop shadows of the frame and the dialogs. Screenshots are kept in the
// artefacts folder; pixels are read where the dialogs' layout fixes them.
#include <gtest/gtest.h>

#include <windows.h>

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
// waits that out before it asks.
constexpr char kConfirmScript[] =
    "SLEEP 3000\n"
    "SEND LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE value=400 wideText=u16:Delete_the_selected_messages?\n"
    "SEND LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE value=400 wideText=u16:Delete_the_selected_messages?\n"
    "SEND LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE value=400 wideText=u16:Delete_the_selected_messages?\n";

TEST_F(DialogCommandsRun, ConfirmAnswersOneOnlyForAPressOfOkAndFiresOnThePress) {
    AddProbe({}, kConfirmScript);
    HostProcess host(Options());
    ASSERT_TRUE(host.Start());
    ASSERT_NE(host.WaitForMainWindow(kStartTimeoutMs), nullptr);
    struct Answer {
        int button;
        long long value;
    };
    const Answer answers[] = {{kConfirmId, 1}, {kSecondId, 0}, {kCloseId, 0}};
    for (size_t i = 0; i < std::size(answers); ++i) {
        HWND dialog = WaitForDialog(host, 400);
        ASSERT_NE(dialog, nullptr) << "confirm " << i << " never showed";
        if (i == 0) {
            EXPECT_TRUE(SaveScreenBmp(WindowRect(dialog), L"confirm.bmp"));
        }
        // Pressed, not released: the answer must come on the press.
        const POINT button = Centre(WindowRect(Control(dialog, answers[i].button)));
        PressAt(button.x, button.y);
        const std::string answer = WaitForAnswer("LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE", i + 1);
        Release();
        ASSERT_FALSE(answer.empty()) << "button " << answers[i].button << " did not end the confirm on its press\n"
                                     << Log();
        EXPECT_EQ(Value(answer), answers[i].value) << "button " << answers[i].button << ", the width 400 came in value";
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, kEventTimeoutMs)) << "the confirm stayed";
    }
    Close(host);
}

// Two confirms and an alert, answered from the keyboard alone, with time
// between them to see where the focus went.
constexpr char kKeyboardScript[] =
    "SLEEP 3000\n"
    "SEND LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE value=400 wideText=u16:Delete_the_selected_messages?\n"
    "SLEEP 4000\n"
    "SEND LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE value=400 wideText=u16:Delete_the_selected_messages?\n"
    "SLEEP 4000\n"
    "SEND LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE value=400 wideText=u16:Done.\n";

// Each dialog takes the focus on its default button, which a screen reader
// hears named as a push button like the others; Return confirms, Escape is
// the close button; the focus goes back to the frame after each.
TEST_F(DialogCommandsRun, ReturnConfirmsEscapeClosesAndTheFocusReturnsToTheFrame) {
    AddProbe({}, kKeyboardScript);
    HostProcess host(Options());
    ASSERT_TRUE(host.Start());
    HWND frame = host.WaitForMainWindow(kStartTimeoutMs);
    ASSERT_NE(frame, nullptr);
    const std::pair<WORD, long long> keys[] = {{VK_RETURN, 1}, {VK_ESCAPE, 0}, {VK_RETURN, -1}};
    for (size_t i = 0; i < std::size(keys); ++i) {
        HWND dialog = WaitForDialog(host, 400);
        ASSERT_NE(dialog, nullptr) << "dialog " << i << " never showed";
        EXPECT_TRUE(WaitUntil([&] { return FocusOf(dialog) == Control(dialog, kConfirmId); }, 5000))
            << "dialog " << i << " did not take the focus on \"OK\"";
        if (i == 0) {
            EXPECT_EQ(AccessibleOf(dialog).name, L"Delete_the_selected_messages?")
                << "the message is not the dialog's name";
            ExpectPushButtons(dialog, {{kConfirmId, L"OK"}, {kSecondId, L"Cancel"}, {kCloseId, L"Close"}});
        }
        PressKey(keys[i].first);
        const bool confirm = i < 2;
        const std::string answer = WaitForAnswer(confirm ? "LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE"
                                                         : "LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE",
                                                 confirm ? i + 1 : 1);
        ASSERT_FALSE(answer.empty()) << "key " << keys[i].first << " did not end dialog " << i << "\n" << Log();
        if (confirm) {
            EXPECT_EQ(Value(answer), keys[i].second) << "key " << keys[i].first;
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
    ASSERT_TRUE(host.Start());
    HWND frame = host.WaitForMainWindow(kStartTimeoutMs);
    ASSERT_NE(frame, nullptr);
    HWND alert = WaitForDialog(host, 400);
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

    const POINT close = Centre(WindowRect(Control(alert, kCloseId)));
    ClickAt(close.x, close.y);
    EXPECT_FALSE(WaitForAnswer("LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE", 1).empty())
        << "the close button did not end it";

    HWND longAlert = WaitForDialog(host, 400);
    ASSERT_NE(longAlert, nullptr) << "the long alert never showed";
    r = WindowRect(longAlert);
    EXPECT_EQ(r.right - r.left, 400) << "a long message made the alert wider";
    EXPECT_GT(r.bottom - r.top, shortHeight) << "a long message did not make the alert taller";
    EXPECT_TRUE(SaveScreenBmp({r.left - 10, r.top - 10, r.right + 20, r.bottom + 20}, L"alert-long.bmp"));
    const POINT ok = Centre(WindowRect(Control(longAlert, kConfirmId)));
    ClickAt(ok.x, ok.y);
    EXPECT_FALSE(WaitForAnswer("LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE", 2).empty()) << "\"OK\" did not end it";
    Close(host);
}

// The recovery module's scan: 10 items, 3 of them unreadable, reported from
// its own thread; a second scan cancelled while it runs.
TEST_F(DialogCommandsRun, TheRecoveryScanRunsInTheProgressDialogToItsEndAndStopsWhenCancelled) {
    AddShipped(L"Recovery");
    AddShipped(L"Title");
    AddProbe({"LIBPLATFORM_COMMAND_NOTIFY_PROGRESS"}, "");  // watches only
    HostProcess host(Options());
    ASSERT_TRUE(host.Start());
    HWND frame = host.WaitForMainWindow(kStartTimeoutMs);
    ASSERT_NE(frame, nullptr);
    HWND pane = WaitForPane(frame, L"LumarestRecoveryPane", kEventTimeoutMs);
    ASSERT_NE(pane, nullptr);
    // "Start Scan" at (332, 308) to (482, 348) of the pane, then "OK" in the question.
    auto startScan = [&] {
        POINT scan{407, 328};
        ClientToScreen(pane, &scan);
        ClickAt(scan.x, scan.y);
        HWND question = WaitForDialog(host, 400);
        if (!question) return static_cast<HWND>(nullptr);
        const POINT ok = Centre(WindowRect(Control(question, kConfirmId)));
        ClickAt(ok.x, ok.y);
        return WaitForDialog(host, 500);
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
    EXPECT_TRUE(SaveScreenBmp({d.left - 10, d.top - 10, d.right + 20, d.bottom + 20}, L"progress-running.bmp"));

    // The end: "OK" (narrower than "Cancel") and the bar at 7 of 10, that is
    // 316 of its 452 inner pixels.
    ASSERT_TRUE(WaitUntil([&] { return ControlWidth(progress, kSecondId) < cancelWidth; }, kEventTimeoutMs))
        << "the dialog never showed its end";
    Sleep(300);
    const COLORREF bar = ScreenPixel(fillLeft + 2, barY);
    EXPECT_EQ(ScreenPixel(fillLeft + 316 - 3, barY), bar);
    EXPECT_EQ(ScreenPixel(fillLeft + 316 + 3, barY), kWhite) << "the bar is not at 7 of 10";
    EXPECT_TRUE(SaveScreenBmp({d.left - 10, d.top - 10, d.right + 20, d.bottom + 20}, L"progress-failed-3-of-10.bmp"));
    const POINT ok = Centre(WindowRect(Control(progress, kSecondId)));
    ClickAt(ok.x, ok.y);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(progress); }, kEventTimeoutMs)) << "\"OK\" did not close it";

    // A second scan, cancelled while it runs, sends nothing more.
    ASSERT_EQ(startScan(), progress);
    const POINT cancel = Centre(WindowRect(Control(progress, kSecondId)));
    ClickAt(cancel.x, cancel.y);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(progress); }, kEventTimeoutMs))
        << "\"Cancel\" did not close it";
    Sleep(300);
    const size_t sent = Lines(Log(), "probe RECV LIBPLATFORM_COMMAND_NOTIFY_PROGRESS").size();
    Sleep(2000);
    EXPECT_EQ(Lines(Log(), "probe RECV LIBPLATFORM_COMMAND_NOTIFY_PROGRESS").size(), sent)
        << "the cancelled scan went on";
    EXPECT_LT(sent, 18u) << "the cancelled scan ran to its end\n" << Log();
    Close(host);
}

}  // namespace
