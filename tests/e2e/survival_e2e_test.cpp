// Real runs of a host that survives what plug-ins and files do to it: two
// plug-ins bouncing a command between them, a flood of dialog requests, the
// safe start after a plug-in hung the start, faults in the close, and JSON
// nested 60,000 deep wherever the host reads JSON.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "screen_support.h"

namespace {

using namespace e2e;

constexpr int kDefaultAlertWidth = 400;
constexpr int kCloseId = 5050, kConfirmId = 5051;

// The report's zip in folder, or empty.
std::wstring ZipIn(const std::wstring& folder) {
    for (const std::wstring& name : EntriesOf(folder))
        if (name.find(L".zip") != std::wstring::npos) return folder + L"\\" + name;
    return L"";
}

using SurvivalRun = HostRun;

// Each copy of the probe sends the bounced command straight on to the other
// as its own: the bus stops each exchange at its depth limit on its thread,
// the host stays up and logs each once. Plug-ins hear a command before the
// host's handler answers it.
TEST_F(SurvivalRun, TwoPluginsBouncingACommandAreStoppedAtTheDepthLimit) {
    AddProbe({"PROBE_BOUNCE", "LIBPLATFORM_COMMAND_GET_TEMP_DIR"});
    plugins_.AddPlugin(L"Probe2", L"1.0", L"" LUMAREST_TEST_PROBE_DLL,
                       PluginManifestText("probe2", "1.0", "probe.dll", {"PROBE_BOUNCE"}), L"probe.dll");
    environment_.push_back({L"LUMAREST_PROBE_BOUNCE", L"PROBE_BOUNCE"});
    environment_.push_back({L"LUMAREST_PROBE_SCRIPT_probe",
                            files_.Write(L"a.script", "SLEEP 3000\nSEND PROBE_BOUNCE\nSEND PROBE_BOUNCE\n")});
    environment_.push_back({L"LUMAREST_PROBE_SCRIPT_probe2", files_.Write(L"b.script",
                                                                          "SLEEP 3000\nSEND PROBE_BOUNCE\n"
                                                                          "SEND LIBPLATFORM_COMMAND_GET_TEMP_DIR\n")});
    HostProcess host(Options());
    ASSERT_NE(StartedFrame(host), nullptr);
    // Both scripts to their end: the first copy's second exchange may still
    // run when the second copy's script is done.
    ASSERT_TRUE(WaitUntil([&] { return Lines(Log(), "probe DONE").size() + Lines(Log(), "probe2 DONE").size() == 2; },
                          kEventTimeoutMs))
        << Log();
    // The first send is one delivery deep and carries 0; the 64th carries 63.
    size_t deepest = 0;
    for (const char* copy : {"probe RECV PROBE_BOUNCE", "probe2 RECV PROBE_BOUNCE"})
        for (const std::string& line : Lines(Log(), copy)) deepest += Value(line) == 63 ? 1 : Value(line) > 63 ? 99 : 0;
    EXPECT_EQ(deepest, 3u) << "each of the three exchanges (two on one thread) ends 64 deliveries deep";
    EXPECT_NE(Lines(Log(), "probe RECV LIBPLATFORM_COMMAND_GET_TEMP_DIR")[0].find("wideText=null"), std::string::npos)
        << "the host answered before a plug-in heard the command";
    Close(host);
    const std::string log = host.ReadLogs();
    size_t dropped = 0;
    for (size_t at = 0; (at = log.find("PROBE_BOUNCE dropped", at)) != std::string::npos; ++at) ++dropped;
    EXPECT_EQ(dropped, 3u);
}

// A plug-in asks for an alert of a million characters, then, from 40 threads
// at once, for confirms without a width (value 0). The frame is dragged
// mostly off the screen first. The alert shows within seconds, no taller than
// the work area, its buttons on the screen and the rest of its text reached
// by scrolling, the main thread answering meanwhile. The confirms show at the default width,
// the requests past the bound are answered at once, and the user's close
// ends the host with 0 while requests are still coming.
TEST_F(SurvivalRun, AHugeAlertAndManyConfirmsAreCutBoundedAndNoneOutlivesTheClose) {
    std::string numbers;  // no two lines alike, so that a scroll shows; no blanks, which end a script field
    for (int i = 0; numbers.size() < 1000000; ++i) numbers += std::to_string(i) + ',';
    AddProbe({}, "SLEEP 6000\nSEND LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE value=400 wideText=u16:" + numbers +
                     "\nSENDFROM 40 LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE value=0 wideText=u16:Again?\n");
    HostProcess host(Options());
    HWND frame = StartedFrame(host);
    ASSERT_NE(frame, nullptr);
    SetWindowPos(frame, nullptr, -700, 500, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    HWND alert = WaitForDialog(host, {L"0,1,2,3,4,5"}, 20000);
    ASSERT_NE(alert, nullptr) << "no alert within 20 s";
    DWORD_PTR ignored = 0;
    EXPECT_TRUE(SendMessageTimeoutW(frame, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &ignored)) << "the main thread hangs";
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const RECT a = WindowRect(alert);
    EXPECT_TRUE(a.left >= work.left && a.top >= work.top && a.right <= work.right && a.bottom <= work.bottom)
        << "the alert reaches past the work area: " << a.left << "," << a.top << " - " << a.right << "," << a.bottom;
    EXPECT_GT(a.bottom - a.top, (work.bottom - work.top) * 3 / 4) << "the alert did not grow with its long text";
    EXPECT_LE(WindowRect(Control(alert, kConfirmId)).bottom, work.bottom) << "\"OK\" is off the screen";
    // The rest of the text is reached by the wheel, and its first line moves.
    HWND bar = FindWindowExW(alert, nullptr, L"ScrollBar", nullptr);
    ASSERT_TRUE(bar && IsWindowVisible(bar)) << "the text that does not fit has no scroll bar";
    const auto firstLine = [&] {
        std::vector<COLORREF> row;
        for (int x = a.left + 20; x < a.right - 40; ++x) row.push_back(ScreenPixel(x, a.top + 44));
        return row;
    };
    const std::vector<COLORREF> before = firstLine();
    SetCursorPos((a.left + a.right) / 2, (a.top + a.bottom) / 2);
    INPUT wheel{};
    wheel.type = INPUT_MOUSE;
    wheel.mi.dwFlags = MOUSEEVENTF_WHEEL;
    wheel.mi.mouseData = static_cast<DWORD>(-2 * WHEEL_DELTA);
    SendInput(1, &wheel, sizeof wheel);
    EXPECT_TRUE(WaitUntil([&] { return SendMessageW(bar, SBM_GETPOS, 0, 0) > 0; }, 5000)) << "the wheel did not scroll";
    Sleep(500);
    EXPECT_NE(firstLine(), before) << "the text did not move with its scroll bar";
    const LRESULT wheeled = SendMessageW(bar, SBM_GETPOS, 0, 0);
    for (int tabs = 0; tabs < 3 && FocusOf(alert) != bar; ++tabs) PressKey(VK_TAB);
    PressKey(VK_NEXT);
    EXPECT_GT(SendMessageW(bar, SBM_GETPOS, 0, 0), wheeled) << "Page Down on the focused scroll bar did not scroll";
    SaveAround(alert, L"alert-scrolled.bmp");
    ClickOn(alert, kCloseId);

    HWND again = WaitForDialog(host, {L"Again?"}, kEventTimeoutMs);
    ASSERT_NE(again, nullptr) << "no confirm";
    EXPECT_EQ(WindowRect(again).right - WindowRect(again).left, kDefaultAlertWidth)
        << "a confirm without a width did not show at the default width";
    EXPECT_TRUE(
        WaitUntil([&] { return Lines(Log(), "probe ANSWER LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE").size() >= 32; },
                  kEventTimeoutMs))
        << "requests past the bound were kept waiting";
    EXPECT_TRUE(SendMessageTimeoutW(frame, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored)) << "the main thread hangs";
    // Without a window manager Wine takes seconds to hide each dialog.
    Close(host);
}

// A plug-in that never returns from RegisterModule is named in the log; the
// next start offers to leave it out, and "OK" starts without it.
TEST_F(SurvivalRun, APluginHangingInRegisterModuleIsNamedAndTheNextStartLeavesItOut) {
    AddProbe({});
    environment_.push_back({L"LUMAREST_PROBE_HANG_MS", L"600000"});
    {
        HostProcess host(Options());
        ASSERT_TRUE(host.Start());
        EXPECT_TRUE(
            WaitUntil([&] { return host.ReadLogs().find("Plug-in Probe has not returned") != std::string::npos; },
                      kStartTimeoutMs))
            << "the hang was not named";
    }  // ended by the harness, as the user would end it
    environment_.push_back({L"LUMAREST_PROBE_HANG_MS", L""});
    HostProcess host(Options());
    ASSERT_NE(StartAnsweringSafeStart(host, kConfirmId), nullptr) << "the start after the hang did not ask";
    EXPECT_EQ(Lines(Log(), "probe REGISTERED").size(), 1u) << "the plug-in was loaded although the user left it out";
    Close(host);
}

// A plug-in that faults when the process ends, after the host's orderly end:
// the report is packed all the same, and no notice holds the dying process.
TEST_F(SurvivalRun, AFaultAfterTheOrderlyEndLeavesAReportAndNoNotice) {
    AddProbe({});
    environment_.push_back({L"LUMAREST_PROBE_DETACH_CRASH", L"null-write"});
    HostProcess host(Options());
    ASSERT_NE(StartedFrame(host), nullptr);
    ASSERT_TRUE(host.RequestClose());
    EXPECT_NE(host.WaitForExit(kEventTimeoutMs), STILL_ACTIVE) << "the dying process waits for something";
    ASSERT_EQ(Lines(Log(), "probe CRASHING").size(), 1u) << "the probe did not fault at the end";
    EXPECT_FALSE(ZipIn(host.LogFolder()).empty()) << "no report";
}

// A plug-in thread that faults in the first moments of the close: the
// process ends with the fault's code only once its report is packed.
TEST_F(SurvivalRun, AFaultWhileTheCloseRunsIsReportedBeforeTheProcessEnds) {
    AddProbe({"LIBPLATFORM_COMMAND_CLOSE_ENSURE"},
             "WAITFOR LIBPLATFORM_COMMAND_CLOSE_ENSURE\nCRASH thread-null-write\n");
    HostProcess host(Options());
    ASSERT_NE(StartedFrame(host), nullptr);
    ASSERT_TRUE(host.RequestClose());
    // The fault may come before the host's orderly end, which then shows the notice.
    HWND notice = nullptr;
    WaitUntil([&] { return host.WaitForExit(0) != STILL_ACTIVE || (notice = ShownDialog(host, kCrashNotice)); },
              kEventTimeoutMs);
    if (notice) ClickOn(notice, kCloseId);
    const DWORD code = host.WaitForExit(kEventTimeoutMs);
    EXPECT_NE(code, STILL_ACTIVE);
    EXPECT_NE(code, 0u) << "the process ended as if nothing had happened";
    ASSERT_EQ(Lines(Log(), "probe CRASHING").size(), 1u) << "the probe did not fault in the close";
    EXPECT_GT(ReadTextFile(ZipIn(host.LogFolder())).size(), 1000u) << "no report, or an empty one";
}

// JSON nested 60,000 deep as the resource catalog, the host configuration
// and a manifest in one start: it opens its window, closes with 0, and the
// log names each file and the reason.
TEST_F(SurvivalRun, JsonNestedSixtyThousandDeepIsRefusedWhereverTheHostReadsIt) {
    const std::string deep = std::string(60000, '[') + std::string(60000, ']');
    const std::string reason = "nested deeper than";
    auto expectNamed = [&](const std::string& log, const std::string& file) {
        bool named = false;
        for (size_t at = log.find(file); at != std::string::npos && !named; at = log.find(file, at + 1))
            named = log.find(reason, log.rfind('\n', at) + 1) < log.find('\n', at);
        EXPECT_TRUE(named) << "no log line names " << file << " and the reason";
    };
    plugins_.AddVersion(L"Deep", L"1.0", deep);
    HostProcess::Options options = Options();
    options.arguments = L"\"" + files_.Write(L"Host Config.json", deep) + L"\"";
    HostProcess host(options);
    host.Install();
    const std::wstring option = host.InstallDir() + L"\\Option.json";
    DeleteFileW(option.c_str());  // a link to the build's file: never written through
    CopyFileW(files_.Write(L"Option.json", deep).c_str(), option.c_str(), FALSE);
    ASSERT_NE(StartedFrame(host), nullptr);
    Close(host);
    const std::string log = host.ReadLogs();
    for (const char* file : {"Option.json", "Host Config.json", "plugin.load"}) expectNamed(log, file);
}

}  // namespace
