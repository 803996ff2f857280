// Real runs of a host that survives what plug-ins and files do to it: two
// plug-ins bouncing a command between them, the safe start after a plug-in
// crashed or hung the start, and JSON nested 60,000 deep wherever the host
// reads JSON.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "screen_support.h"

namespace {

using namespace e2e;

constexpr int kDefaultAlertWidth = 400;
constexpr int kCloseId = 5050, kConfirmId = 5051;

class SurvivalRun : public HostRun {
protected:
    size_t Registrations() const { return Lines(Log(), "probe REGISTERED").size(); }
    // A start that must reach its window and close with 0; returns its log.
    std::string RunToWindowAndClose(HostProcess& host) {
        EXPECT_TRUE(host.Start());
        EXPECT_NE(host.WaitForMainWindow(kStartTimeoutMs), nullptr) << "no main window";
        Close(host);
        return host.ReadLogs();
    }
};

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
    environment_.push_back({L"LUMAREST_PROBE_SCRIPT_probe2",
                            files_.Write(L"b.script",
                                         "SLEEP 3000\nSEND PROBE_BOUNCE\n"
                                         "SEND LIBPLATFORM_COMMAND_GET_TEMP_DIR read:wideText=heap16\n")});
    HostProcess host(Options());
    ASSERT_NE(StartedFrame(host), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return Lines(Log(), "probe2 ANSWER LIBPLATFORM_COMMAND_GET_TEMP_DIR").size() == 1; },
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
    for (size_t at = log.find("PROBE_BOUNCE dropped"); at != std::string::npos;
         at = log.find("PROBE_BOUNCE dropped", at + 1))
        ++dropped;
    EXPECT_EQ(dropped, 3u);
}

// A plug-in that forgot the width (value 0) asks for confirms from 40
// threads at once: they show at the default width, the requests past the
// bound are answered at once, the frame keeps answering, and the user's close
// ends the host with 0 while requests are still coming.
TEST_F(SurvivalRun, ConfirmsFromManyThreadsAreBoundedAndNoneOutlivesTheClose) {
    AddProbe({}, "SLEEP 3000\nSENDFROM 40 LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE value=0 wideText=u16:Again?\n");
    HostProcess host(Options());
    HWND frame = StartedFrame(host);
    ASSERT_NE(frame, nullptr);
    HWND again = WaitForDialog(host, {L"Again?"}, kEventTimeoutMs);
    ASSERT_NE(again, nullptr) << "no confirm";
    EXPECT_EQ(WindowRect(again).right - WindowRect(again).left, kDefaultAlertWidth)
        << "a confirm without a width did not show at the default width";
    EXPECT_TRUE(
        WaitUntil([&] { return Lines(Log(), "probe ANSWER LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE").size() >= 32; },
                  kEventTimeoutMs))
        << "requests past the bound were kept waiting";
    DWORD_PTR ignored = 0;
    EXPECT_TRUE(SendMessageTimeoutW(frame, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored)) << "the main thread hangs";
    // Without a window manager Wine takes seconds to hide each dialog.
    Close(host);
}

// An alert of a million characters: shown within seconds, cut to what a
// dialog can hold, with the main thread answering meanwhile. Its owner, the
// frame, is dragged mostly off the screen first: the alert still lies inside
// the work area, as high as the area at most, its text cut to fit and its
// buttons on the screen.
TEST_F(SurvivalRun, AMillionCharacterAlertShowsAtOnceCutInsideTheWorkArea) {
    AddProbe({}, "SLEEP 6000\nSEND LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE value=400 wideText=u16:" +
                     std::string(1000000, 'a') + "\n");
    HostProcess host(Options());
    HWND frame = StartedFrame(host);
    ASSERT_NE(frame, nullptr);
    SetWindowPos(frame, nullptr, -700, 500, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    HWND alert = WaitForDialog(host, {L"aaaaaaaa"}, 20000);
    ASSERT_NE(alert, nullptr) << "no alert within 20 s";
    DWORD_PTR ignored = 0;
    EXPECT_TRUE(SendMessageTimeoutW(frame, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &ignored)) << "the main thread hangs";
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const RECT a = WindowRect(alert);
    EXPECT_TRUE(SaveScreenBmp(a, L"alert-cut-to-the-work-area.bmp"));
    EXPECT_TRUE(a.left >= work.left && a.top >= work.top && a.right <= work.right && a.bottom <= work.bottom)
        << "the alert reaches past the work area: " << a.left << "," << a.top << " - " << a.right << "," << a.bottom;
    EXPECT_GT(a.bottom - a.top, (work.bottom - work.top) * 3 / 4) << "the alert did not grow with its long text";
    const RECT ok = WindowRect(Control(alert, kConfirmId));
    EXPECT_LE(ok.bottom, work.bottom) << "\"OK\" is off the screen";
    // The text stops above the buttons: nothing dark in the 8 rows above "OK".
    HDC screen = GetDC(nullptr);
    int ink = 0;
    for (int y = ok.top - 8; y < ok.top; ++y)
        for (int x = a.left + 20; x < a.right - 20; ++x) ink += Brightness(GetPixel(screen, x, y)) < 300;
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(ink, 0) << "the cut text runs into the buttons";
    ClickOn(alert, kCloseId);
    EXPECT_TRUE(
        WaitUntil([&] { return Lines(Log(), "probe ANSWER LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE").size() == 1; },
                  kEventTimeoutMs));
    Close(host);
}

// After a plug-in's crash the next start asks first; "OK" leaves the plug-in
// out of that start alone.
TEST_F(SurvivalRun, AfterAPluginsCrashTheNextStartOffersToLeaveItOutOnce) {
    AddProbe({}, "SLEEP 3000\nCRASH thread-null-write\n");
    {
        HostProcess host(Options());
        ASSERT_TRUE(host.Start());
        // The notice comes when the report is complete; the harness ends the
        // process under it.
        ASSERT_NE(WaitForDialog(host, kCrashNotice, kStartTimeoutMs), nullptr) << "no crash notice";
    }
    environment_.push_back({L"LUMAREST_PROBE_SCRIPT", L""});
    {
        HostProcess host(Options());
        ASSERT_NE(StartAnsweringSafeStart(host, kConfirmId), nullptr) << "the start after the crash did not ask";
        EXPECT_EQ(Registrations(), 1u) << "the plug-in was loaded although the user left it out";
        Close(host);
    }
    HostProcess host(Options());
    RunToWindowAndClose(host);
    EXPECT_EQ(Registrations(), 2u) << "the start after that did not load the plug-in again";
}

// A plug-in that never returns from RegisterModule is named in the log within
// the watch's 15 s, and the next start offers to leave it out.
TEST_F(SurvivalRun, APluginHangingInRegisterModuleIsNamedAndTheNextStartAsks) {
    AddProbe({});
    environment_.push_back({L"LUMAREST_PROBE_HANG_MS", L"600000"});
    {
        HostProcess host(Options());
        ASSERT_TRUE(host.Start());
        ASSERT_TRUE(WaitUntil([&] { return Registrations() == 1; }, kStartTimeoutMs));
        const DWORD hangStart = GetTickCount();
        EXPECT_TRUE(
            WaitUntil([&] { return host.ReadLogs().find("Plug-in Probe has not returned") != std::string::npos; },
                      kEventTimeoutMs))
            << "the hang was not named";
        EXPECT_LT(GetTickCount() - hangStart, 15000u + 5000u) << "named long after the 15 s";
    }  // ended by the harness, as the user would end it
    environment_.push_back({L"LUMAREST_PROBE_HANG_MS", L""});
    HostProcess host(Options());
    ASSERT_NE(StartAnsweringSafeStart(host, kCloseId), nullptr) << "the start after the hang did not ask";
    Close(host);
}

// A plug-in that faults when the process ends, after the host's orderly end:
// the report is packed all the same, and no notice holds the dying process
// (nor cleans the folder, whose dump stays beside the zip).
TEST_F(SurvivalRun, AFaultAfterTheOrderlyEndLeavesAReportAndNoNotice) {
    AddProbe({});
    environment_.push_back({L"LUMAREST_PROBE_DETACH_CRASH", L"null-write"});
    HostProcess host(Options());
    ASSERT_NE(StartedFrame(host), nullptr);
    ASSERT_TRUE(host.RequestClose());
    EXPECT_NE(host.WaitForExit(kEventTimeoutMs), STILL_ACTIVE) << "the dying process waits for something";
    ASSERT_EQ(Lines(Log(), "probe CRASHING").size(), 1u) << "the probe did not fault at the end";
    size_t zips = 0, dumps = 0;
    for (const std::wstring& name : EntriesOf(host.LogFolder())) {
        zips += name.find(L".zip") != std::wstring::npos;
        dumps += name.find(L".dmp") != std::wstring::npos;
    }
    EXPECT_EQ(zips, 1u) << "no report";
    EXPECT_EQ(dumps, 1u) << "the folder was cleaned as if the notice had run";
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
    std::string zip;
    for (const std::wstring& name : EntriesOf(host.LogFolder()))
        if (name.find(L".zip") != std::wstring::npos) zip = ReadTextFile(host.LogFolder() + L"\\" + name);
    EXPECT_GT(zip.size(), 1000u) << "no report, or an empty one";
}

// JSON nested 60,000 deep as the resource catalog, the user's settings, the
// host configuration and a manifest: each start opens its window, closes with
// 0, and the log names the file and the reason.
TEST_F(SurvivalRun, JsonNestedSixtyThousandDeepIsRefusedWhereverTheHostReadsIt) {
    const std::string deep = std::string(60000, '[') + std::string(60000, ']');
    const std::string reason = "nested deeper than";
    auto expectNamed = [&](const std::string& log, const std::string& file) {
        bool named = false;
        for (size_t at = log.find(file); at != std::string::npos && !named; at = log.find(file, at + 1)) {
            const size_t begin = log.rfind('\n', at) + 1;
            named = log.substr(begin, log.find('\n', at) - begin).find(reason) != std::string::npos;
        }
        EXPECT_TRUE(named) << "no log line names " << file << " and the reason";
    };
    {
        HostProcess host(Options());
        host.Install();
        const std::wstring option = host.InstallDir() + L"\\Option.json";
        DeleteFileW(option.c_str());  // a link to the build's file: never written through
        CopyFileW(files_.Write(L"Option.json", deep).c_str(), option.c_str(), FALSE);
        expectNamed(RunToWindowAndClose(host), "Option.json");
    }
    {
        const std::wstring store = UserStoreFolder() + L"\\UserDefaults.json";
        const bool hadStore = GetFileAttributesW(store.c_str()) != INVALID_FILE_ATTRIBUTES;
        const std::string saved = ReadTextFile(store);
        CreateDirectoryW(UserStoreFolder().substr(0, UserStoreFolder().find_last_of(L'\\')).c_str(), nullptr);
        CreateDirectoryW(UserStoreFolder().c_str(), nullptr);
        CopyFileW(files_.Write(L"UserDefaults.json", deep).c_str(), store.c_str(), FALSE);
        HostProcess host(Options());
        const std::string log = RunToWindowAndClose(host);
        hadStore ? void(CopyFileW(files_.Write(L"saved.json", saved).c_str(), store.c_str(), FALSE))
                 : void(DeleteFileW(store.c_str()));
        expectNamed(log, "UserDefaults.json");
    }
    {
        HostProcess::Options options = Options();
        options.arguments = L"\"" + files_.Write(L"Host Config.json", deep) + L"\"";
        HostProcess host(options);
        expectNamed(RunToWindowAndClose(host), "Host Config.json");
    }
    plugins_.AddVersion(L"Deep", L"1.0", deep);
    HostProcess host(Options());
    expectNamed(RunToWindowAndClose(host), "plugin.load");
}

}  // namespace
