// The update chain in real runs: an installation made by the built setup, the
// Comm plug-in (its test build, which also trusts the test suite's key)
// reading a signed feed from the local HTTP server that
// scripts/with-http-server.py runs, the downloaded setup and the new version
// starting. The probe sends the user's checks and watches the bus; the main
// frame is asked throughout whether it still answers.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "frame_pinger.h"
#include "host_process.h"
#include "screen_support.h"
#include "services/process_helpers.h"
#include "update_signing.h"

namespace {

using namespace e2e;

const std::wstring& kTitle = kProductTitle;
const std::wstring kSetup = L"" LUMAREST_TEST_SETUP;           // 4.4.39, as shipped
const std::wstring kNextSetup = L"" LUMAREST_TEST_NEXT_SETUP;  // 4.4.40
constexpr int kAlertOkId = 5051;

// A new file in place of any old one: the run's installation copy may hold
// hard links to the build's files, which must not be written through.
void WriteNew(const std::wstring& path, const std::string& text) {
    DeleteFileW(path.c_str());
    WriteBytes(path, text);
}

// However the test ends, ends the program's running copies (a product that
// the update started would hold the test's output open: Wine hands it the
// inherited descriptors), then removes a folder and a registry key.
struct CleanedAtEnd {
    std::wstring program, folder, key;
    ~CleanedAtEnd() {
        if (!program.empty()) EndRunningCopies(program);
        if (!folder.empty()) TempFolder::RemoveTree(folder);
        if (!key.empty()) RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    }
};

// Wine's X11 driver waits about 4 s for a window manager each time it hides
// a managed top-level window, and the test display has none: the frame's
// thread then answers nothing for that long, which says nothing of the
// program. These runs measure the frame's answers, so their programs start
// with windows unmanaged; the prefix's setting comes back afterwards.
class UnmanagedWindows {
public:
    UnmanagedWindows() {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_, nullptr) != 0)
            return;
        DWORD size = sizeof before_;
        had_ = RegQueryValueExW(key_, L"Managed", nullptr, nullptr, reinterpret_cast<BYTE*>(before_), &size) == 0;
        RegSetValueExW(key_, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"N"), 2 * sizeof(wchar_t));
    }
    ~UnmanagedWindows() {
        if (!key_) return;
        if (had_)
            RegSetValueExW(key_, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(before_),
                           static_cast<DWORD>((wcslen(before_) + 1) * sizeof(wchar_t)));
        else RegDeleteValueW(key_, L"Managed");
        RegCloseKey(key_);
    }
    UnmanagedWindows(const UnmanagedWindows&) = delete;
    UnmanagedWindows& operator=(const UnmanagedWindows&) = delete;

private:
    static constexpr const wchar_t* kKey = L"Software\\Wine\\X11 Driver";
    HKEY key_ = nullptr;
    wchar_t before_[16] = {};
    bool had_ = false;
};

class UpdateChainRun : public HostRun {
protected:
    const UnmanagedWindows unmanaged_;

    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + port_ + "/" + path; }

    // Writes the Comm plug-in's "UpdateFeed.json" into its version folder.
    static void PointCommAt(const std::wstring& commFolder, const std::string& feedUrl) {
        WriteNew(commFolder + L"UpdateFeed.json", "{\"feed\": \"" + feedUrl + "\"}");
    }
    // Serves the 4.4.40 setup slowly, and the feed that scripts/publish-update
    // made of it, 4.4.39.1 and 4.4.38.
    void ServeChainFeed() const {
        CreateDirectoryW((root_ + L"\\slow").c_str(), nullptr);
        CopyFileW(kNextSetup.c_str(), (root_ + L"\\slow\\LumarestSetup-4.4.40.exe").c_str(), FALSE);
        DeleteFileW((root_ + L"\\feed.json").c_str());
        ASSERT_TRUE(CopyFileW(TEXT(LUMAREST_TEST_CHAIN_FEED), (root_ + L"\\feed.json").c_str(), FALSE));
    }
    // A feed of these releases, signed with the test suite's key.
    void ServeFeed(const std::string& versions) const {
        WriteNew(root_ + L"\\feed.json", test_signing::Envelope("{\"versions\": [" + versions + "]}", TestKey()));
    }
    static const test_signing::Key& TestKey() {
        static const test_signing::Key key = test_signing::LoadKey(TEXT(LUMAREST_TEST_UPDATE_KEY_FILE));
        return key;
    }
    // The Comm plug-in of the tests over the shipped one in folder, pointed at the feed.
    static void UseTestComm(const std::wstring& folder, const std::string& feedUrl) {
        DeleteFileW((folder + L"Comm.dll").c_str());
        ASSERT_TRUE(CopyFileW(TEXT(LUMAREST_TEST_COMM_DLL), (folder + L"Comm.dll").c_str(), FALSE));
        PointCommAt(folder, feedUrl);
    }
    static std::string Release(const std::string& version, const std::string& descriptions,
                               const std::string& installer = "{}") {
        return "{\"version\": \"" + version + "\", \"descriptions\": [" + descriptions +
               "], \"installer\": " + installer + "}";
    }
    // The Comm plug-in of the build in this run's plug-ins, pointed at the feed.
    void AddComm(const std::string& feedUrl) {
        AddShipped(L"Comm");
        UseTestComm(plugins_.ModuleFolder(L"Comm") + L"1.0.0\\", feedUrl);
    }
    // The update list, from a click on the notice of the automatic check's offer.
    static HWND ListFromNotice(const HostProcess& host) {
        HWND sheet = WaitForSheetNotice(host);
        if (!sheet) return nullptr;
        ClickAt(WindowRect(sheet).left + 40, WindowRect(sheet).top + 18);
        return WaitForDialog(host, kUpdateList);
    }
    // The host's temporary folder, where Comm puts the download.
    static std::wstring Download(const HostProcess& host) { return host.LogFolder() + L"\\LumarestSetup-4.4.40.exe"; }

    const std::string port_ = [] {
        const std::wstring port = EnvironmentText(L"LUMAREST_HTTP_PORT");
        return std::string(port.begin(), port.end());
    }();
    const std::wstring root_ = EnvironmentText(L"LUMAREST_HTTP_ROOT_WINDOWS");
};

const std::string kNewerReleases = "\"Faster scans of large message stores.\"";

// Installed by the setup; the automatic check offers the update from a feed
// that scripts/publish-update made; "Update Now" downloads the setup slowly
// enough to watch; the setup replaces the installation once the old host has
// ended, and starts 4.4.40 in its place. How the frame answered until the close is printed.
TEST_F(UpdateChainRun, TheInstalledProductDownloadsItsUpdateWhichReplacesItAndStartsTheNewVersion) {
    TempFolder app;
    const CleanedAtEnd records{app.Path() + L"\\Lumarest.exe", L"", L"Software\\Zentrovia\\" + kTitle},
        uninstallEntry{L"", L"", L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + kTitle};
    ASSERT_EQ(RunToEnd(kSetup, L"/S /D=" + app.Path()), 0u);
    ServeChainFeed();
    UseTestComm(app.Path() + L"\\Plugins\\Comm\\1.0.0\\", Url("feed.json"));
    HostProcess::Options options = Options();
    options.exePath = app.Path() + L"\\Lumarest.exe";
    options.inPlace = true;
    HostProcess host(options);
    const CleanedAtEnd setup{Download(host)};  // a setup that hangs would hold the output open too
    HWND frame = StartedFrame(host);
    ASSERT_NE(frame, nullptr);
    // Asked from the start's last step on, the frame's shadow: the plug-ins'
    // first paint, before it, holds the thread for a second under qemu.
    ASSERT_TRUE(
        WaitUntil([&] { return !TopLevels(host.ProcessId(), L"WTL_ThemedShadowWindow").empty(); }, kStartTimeoutMs));
    FramePinger pinger(frame);

    HWND list = ListFromNotice(host);
    ASSERT_NE(list, nullptr) << "the automatic check offered nothing, or a click on its notice no list";
    ClickOn(list, kUpdateNowId);
    HWND download = WaitForDialog(host, kDownloadDialog);
    ASSERT_NE(download, nullptr) << "\"Update Now\" showed no download dialog";
    EXPECT_FALSE(IsWindowVisible(list));
    EXPECT_TRUE(WaitUntil([&] { return DownloadBarFilledAt(download, 40); }, kEventTimeoutMs)) << "no progress";
    EXPECT_FALSE(DownloadBarFilledAt(download, 400)) << "the setup came too fast to watch, or the bar is full";
    EXPECT_TRUE(HasDarkPixel(DownloadSizeEnd(download))) << "no sizes beside the status";
    EXPECT_TRUE(SaveScreenBmp(WindowRect(download), L"update-download.bmp"));

    pinger.Stop();  // the host closes itself from here on
    pinger.Print("the offered update");
    // As in the refused updates below: the host's own share of any late
    // answer, and no freeze.
    EXPECT_LT(pinger.LongestMs(), 10000u) << "the frame froze";
    EXPECT_LT(pinger.LongestBusyMs(), 2 * FramePinger::kBoundMs) << "the host's own work held the frame's thread";
    EXPECT_EQ(host.WaitForExit(kEventTimeoutMs), 0u) << "the old host did not close for the update";
    EXPECT_TRUE(
        WaitUntil([&] { return ReadTextFile(app.Path() + L"\\UpdateMarker.txt") == "4.4.40"; }, kEventTimeoutMs))
        << "the setup did not replace the installation";
    EXPECT_TRUE(WaitUntil([&] { return VersionRuns(L"4.4.40"); }, 60000)) << "the new version did not start";
}

// A suite's product (type 1) started with its host configuration file: the
// downloaded setup runs silently into the suite's add-in folder while the
// host waits, and the host starts the new add-in and closes.
TEST_F(UpdateChainRun, ASuiteProductInstallsItsUpdateAsAnAddinAndStartsIt) {
    wchar_t appData[MAX_PATH];
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData), S_OK);
    const std::wstring maker = std::wstring(appData) + L"\\Zentrovia";
    const std::wstring folder = maker + L"\\Chain Test Suite";
    const CleanedAtEnd suite{folder + L"\\Addins\\" + kTitle + L"\\4.4.40\\Bin\\" + kTitle + L".exe", folder};
    CreateDirectoryW(maker.c_str(), nullptr);
    CreateDirectoryW(suite.folder.c_str(), nullptr);
    const std::wstring configuration = suite.folder + L"\\Preferences.json";
    WriteNew(configuration, "{}");
    ServeChainFeed();
    AddComm(Url("feed.json"));
    HostProcess::Options options = Options();
    options.arguments = L"\"" + configuration + L"\"";
    HostProcess host(options);
    const CleanedAtEnd setup{Download(host)};
    host.Install();
    const std::wstring catalog = host.InstallDir() + L"\\Option.json";
    const std::string standalone = "\"product:type\": 0";
    std::string text = ReadTextFile(catalog);
    const size_t type = text.find(standalone);
    ASSERT_NE(type, std::string::npos);
    WriteNew(catalog, text.replace(type, standalone.size(), "\"product:type\": 1"));
    ASSERT_NE(StartedFrame(host), nullptr);

    HWND list = ListFromNotice(host);
    ASSERT_NE(list, nullptr);
    ClickOn(list, kUpdateNowId);
    EXPECT_EQ(host.WaitForExit(kEventTimeoutMs), 0u) << "the host did not close after installing the add-in";
    EXPECT_TRUE(Exists(suite.program));
    EXPECT_FALSE(Exists(Download(host))) << "the suite's setup was left behind";
    EXPECT_TRUE(WaitUntil([&] { return VersionRuns(L"4.4.40"); }, 60000)) << "the new add-in did not start";
}

// The probe's user checks, each let go by the test's close request, which
// the probe refuses (the close query reaches the plug-ins first).
constexpr int kUserChecks = 5;
const std::string kUserChecksScript = [] {
    std::string script =
        "WAITFOR LIBCOMM_COMMAND_CHECK_FOR_UPDATE\n"   // the automatic check
        "WAITFOR LIBCOMM_COMMAND_CHECK_FOR_UPDATE\n";  // Comm's answer
    for (int i = 0; i < kUserChecks; ++i)
        script += "WAITFOR LIBPLATFORM_COMMAND_CLOSE_ENSURE\nSEND LIBPLATFORM_COMMAND_CHECK_FOR_UPDATE\n";
    return script;
}();

class UnhappyChainRun : public UpdateChainRun {
protected:
    // Lets the probe's next user check go.
    static void NextUserCheck(HostProcess& host) { ASSERT_TRUE(host.RequestClose()); }
    // The alert that a user check ends in: its message, after its "OK".
    std::wstring AlertMessage(const HostProcess& host) {
        HWND alert = WaitForDialog(host, kAnyNamed);
        if (!alert) return L"(no alert)";
        const std::wstring message = WindowText(alert);
        ClickOn(alert, kAlertOkId);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(alert); }, kEventTimeoutMs));
        return message;
    }
    // Offers 4.4.40 with bytes served at path (below "slow" at 1 MiB/s) under
    // an entry whose SHA-256 they never match: nothing here is ever started.
    void ServeMismatched(const std::string& path, const std::string& bytes) const {
        CreateDirectoryW((root_ + L"\\slow").c_str(), nullptr);
        WriteNew(root_ + L"\\" + std::wstring(path.begin(), path.end()), bytes);
        ServeFeed(Release("4.4.40", kNewerReleases,
                          "{\"url\": \"" + path + "\", \"size\": " + std::to_string(bytes.size()) + ", \"sha256\": \"" +
                              std::string(64, '0') + "\", \"signature\": \"" + std::string(128, '0') + "\"}"));
    }
    // The list that a user check shows at once; its "Update Now" opens the download dialog.
    HWND UpdateNow(const HostProcess& host) {
        HWND list = WaitForDialog(host, kUpdateList);
        if (!list) return nullptr;
        ClickOn(list, kUpdateNowId);
        return WaitForDialog(host, kDownloadDialog);
    }
};

// A refused connection: the automatic check shows nothing, a user's check
// the failure. A current feed: the "latest version" alert. A feed changed
// after signing: "could not be verified". A setup whose hash does not match:
// its own failure in the dialog. (Comm's other refusals, and that none leaves
// a file, are comm_module_tests'.) The held notes again: closing the running
// download cancels it. The frame is asked every 50 ms throughout, and the
// host's own work never holds its thread for long.
TEST_F(UnhappyChainRun, RefusedCurrentUnverifiedMismatchedAndCancelledUpdatesEndAsTheUserExpects) {
    const std::wstring closed = EnvironmentText(L"LUMAREST_HTTP_CLOSED_PORT");
    AddComm("http://127.0.0.1:" + std::string(closed.begin(), closed.end()) + "/feed.json");
    AddProbe({"LIBCOMM_COMMAND_CHECK_FOR_UPDATE", "LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL",
              "LIBPLATFORM_COMMAND_CLOSE_ENSURE"},
             kUserChecksScript);
    environment_.push_back({L"LUMAREST_PROBE_REFUSE_CLOSE", std::to_wstring(kUserChecks)});
    HostProcess host(Options());
    HWND frame = StartedFrame(host);
    ASSERT_NE(frame, nullptr);
    // Asked from the automatic check's answer on: the host's start, before
    // it, keeps its thread for seconds under qemu (8.6 s, 1.25 s of it busy).
    ASSERT_TRUE(WaitUntil([&] { return Received("LIBCOMM_COMMAND_CHECK_FOR_UPDATE") == 2; }, kEventTimeoutMs));
    FramePinger pinger(frame);
    Sleep(2000);
    EXPECT_EQ(ShownDialog(host, kAnyNamed), nullptr) << "an automatic check told of its failure";
    NextUserCheck(host);
    EXPECT_EQ(AlertMessage(host), L"Update failed! Please check if the network is available.");

    PointCommAt(host.InstallDir() + L"\\Plugins\\Comm\\1.0.0\\", Url("feed.json"));
    ServeFeed(Release("4.4.38", "\"Older.\"") + ", " + Release("4.4.39", "\"This one.\""));
    NextUserCheck(host);
    EXPECT_EQ(AlertMessage(host), L"This version of (4.4.39) is the latest version.");

    const std::string text = "{\"versions\": [" + Release("4.4.40", kNewerReleases) + "]}";
    const std::string changed = "{\"versions\": [" + Release("4.4.41", kNewerReleases) + "]}";
    WriteNew(root_ + L"\\feed.json", test_signing::Envelope(changed, TestKey(), &text));
    NextUserCheck(host);
    EXPECT_EQ(AlertMessage(host), L"The update could not be verified. Nothing was installed.");

    ServeMismatched("wrong.exe", std::string(2 << 20, 'x'));
    NextUserCheck(host);
    HWND download = UpdateNow(host);
    ASSERT_NE(download, nullptr) << "the user's check showed no list, or its \"Update Now\" no download";
    ASSERT_TRUE(WaitUntil(
        [&] { return host.ReadLogs().find("download failed: size or SHA-256 not the feed's") != std::string::npos; },
        kEventTimeoutMs))
        << "a setup with the wrong hash was not a failure";
    Sleep(1000);  // the failure's paint
    EXPECT_TRUE(SaveScreenBmp(WindowRect(download), L"update-failed.bmp"));
    EXPECT_FALSE(HasDarkPixel(DownloadSizeEnd(download))) << "the sizes are still drawn after the failure";
    ClickOn(download, kDialogCancelId);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(download); }, kEventTimeoutMs));

    ServeMismatched("slow/big.exe", std::string(20 << 20, 'x'));  // 20 s at the slow rate
    NextUserCheck(host);
    download = UpdateNow(host);
    ASSERT_NE(download, nullptr) << "the held notes were not shown again";
    ASSERT_TRUE(WaitUntil([&] { return DownloadBarFilledAt(download, 20); }, kEventTimeoutMs));
    ClickOn(download, kDialogCancelId);
    EXPECT_TRUE(WaitUntil([&] { return Received("LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL") == 1; }, kEventTimeoutMs));
    pinger.Stop();
    pinger.Print("the refused updates");
    // On this machine (qemu, two cores shared by several builds) the frame
    // answers late a few dozen times a run, up to 1.4 s, while its thread was
    // busy at most 190 ms of each such wait. The host's own work is held to
    // twice the bound in processor time, which covers qemu translating code
    // that runs for the first time; no answer within 10 s counts as frozen.
    EXPECT_LT(pinger.LongestMs(), 10000u) << "the frame froze";
    EXPECT_LT(pinger.LongestBusyMs(), 2 * FramePinger::kBoundMs) << "the host's own work held the frame's thread";
    Close(host);
    EXPECT_TRUE(Lines(Log(), "probe TIMEOUT").empty()) << "a user check went before the test let it (30 s)";
}

}  // namespace
