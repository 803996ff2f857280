// Real runs of Lumarest.exe with the product's shipped modules: what the
// title module is told when the view is laid out (the probe stands in for it
// and logs the pane list), the shipped title band switching and stretching
// the panes, and the communication module's server start, update answer and
// server stop as a watching probe sees them on the bus.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "host_process.h"
#include "plugin_tree.h"
#include "title_layout.h"

namespace {

constexpr DWORD kStartTimeoutMs = 120000;
constexpr DWORD kEventTimeoutMs = 60000;
constexpr DWORD kExitTimeoutMs = 60000;
const std::wstring kProbeDll = L"" LUMAREST_TEST_PROBE_DLL;
// The shipped modules' version folders, each with its DLL and "plugin.load".
const std::wstring kShippedPlugins = L"" LUMAREST_TEST_SHIPPED_PLUGINS;

constexpr char kTitleProbeManifest[] =
    R"({"id": "title-probe", "version": "1.0", "path": "probe.dll", "command-create": "TEST_TITLE_CREATE",)"
    R"( "command-recv": ["TEST_TITLE_CREATE"]})";
constexpr char kTitleProbeScript[] = "ON TEST_TITLE_CREATE read:arg=u8 read:object=panes read:data=i32x5\n";

constexpr char kWatcherManifest[] =
    R"({"id": "watcher", "version": "1.0", "path": "probe.dll", "command-recv": [)"
    R"("LIBCOMM_COMMAND_READY_START_SERVER", "LIBCOMM_COMMAND_START_SERVER_FINISH",)"
    R"( "LIBCOMM_COMMAND_CHECK_FOR_UPDATE", "LIBCOMM_COMMAND_EXIT_SERVER"]})";
// Waits for the server to come up and for the automatic update check and its
// answer, then asks the server to stop as the host does before an update.
// The watcher receives its own stop request too, so two stops are awaited.
constexpr char kWatcherScript[] =
    "WAITFOR LIBCOMM_COMMAND_START_SERVER_FINISH\n"
    "WAITFOR LIBCOMM_COMMAND_CHECK_FOR_UPDATE\n"
    "WAITFOR LIBCOMM_COMMAND_CHECK_FOR_UPDATE\n"
    "SEND LIBCOMM_COMMAND_EXIT_SERVER sender=host\n"
    "WAITFOR LIBCOMM_COMMAND_EXIT_SERVER\n"
    "WAITFOR LIBCOMM_COMMAND_EXIT_SERVER\n";

// The lines of log that begin with prefix.
std::vector<std::string> LinesStartingWith(const std::string& log, const std::string& prefix) {
    std::vector<std::string> lines;
    for (size_t at = log.find(prefix); at != std::string::npos; at = log.find(prefix, at + 1)) {
        if (at == 0 || log[at - 1] == '\n') lines.push_back(log.substr(at, log.find('\n', at) - at));
    }
    return lines;
}

// The value of "field=" in a probe line, up to the next blank (texts are
// taken whole, quotes included).
std::string Field(const std::string& line, const std::string& field) {
    std::smatch match;
    const std::regex pattern(" " + field + "=(\"[^\"]*\"|\\[[^\\]]*\\]|\\S+)");
    return std::regex_search(line, match, pattern) ? match.str(1) : "";
}

// Of two probe lines, the one sent as the host first, then the other.
std::pair<std::string, std::string> HostLineAndOther(const std::vector<std::string>& two) {
    if (Field(two[1], "sender") == "host") return {two[1], two[0]};
    return {two[0], two[1]};
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(100);
    }
    return true;
}

struct ClassSearch {
    const wchar_t* name;
    HWND found;
};

BOOL CALLBACK MatchClass(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<ClassSearch*>(context);
    wchar_t name[128] = L"";
    GetClassNameW(window, name, 128);
    if (wcscmp(name, search->name) != 0) return TRUE;
    search->found = window;
    return FALSE;
}

// The first window below parent whose class is className.
HWND FindDescendant(HWND parent, const wchar_t* className) {
    ClassSearch search{className, nullptr};
    EnumChildWindows(parent, &MatchClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

RECT ClientRect(HWND window) {
    RECT rect{};
    GetClientRect(window, &rect);
    return rect;
}

// A window's rectangle in its parent's client coordinates.
RECT PlaceInParent(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void PressAt(HWND window, const RECT& part) {
    const int x = (part.left + part.right) / 2, y = (part.top + part.bottom) / 2;
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

class ProductCatalogRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(HostProcess::DefaultExePath().empty()) << "LUMAREST_EXE is not set";
        log_ = files_.Path() + L"\\probe.log";
    }

    // A shipped module copied into the run's plug-ins folder under its folder name.
    void AddShipped(const std::wstring& folder) {
        const std::wstring source = kShippedPlugins + L"\\" + folder + L"\\1.0.0\\";
        const std::wstring target = plugins_.AddVersion(folder, L"1.0.0", ReadTextFile(source + L"plugin.load"));
        PluginTree::Copy(source + folder + L".dll", target, folder + L".dll");
    }

    void AddProbe(const std::wstring& folder, const std::string& manifest, const std::string& script) {
        plugins_.AddPlugin(folder, L"1.0", kProbeDll, manifest, L"probe.dll");
        environment_.push_back({L"LUMAREST_PROBE_SCRIPT", files_.Write(L"probe.script", script)});
    }

    HostProcess::Options Options() const {
        HostProcess::Options options;
        options.tempDir = temp_.Path();
        options.pluginsDir = plugins_.Path();
        options.environment = environment_;
        options.environment.push_back({L"LUMAREST_PROBE_LOG", log_});
        return options;
    }

    // Runs the host until the log holds marker, closes it and returns the log.
    std::string RunUntil(const std::string& marker) {
        HostProcess host(Options());
        EXPECT_TRUE(host.Start());
        EXPECT_NE(host.WaitForMainWindow(kStartTimeoutMs), nullptr) << "the main window never showed";
        const std::string log = WaitForText(log_, marker, kEventTimeoutMs);
        EXPECT_TRUE(host.RequestClose());
        EXPECT_EQ(host.WaitForExit(kExitTimeoutMs), 0u);
        return log;
    }

    PluginTree plugins_;
    TempFolder temp_;
    TempFolder files_;
    std::wstring log_;
    std::vector<std::pair<std::wstring, std::wstring>> environment_;
};

TEST_F(ProductCatalogRun, TitleModuleIsToldVersionTitleAndBothPanes) {
    AddShipped(L"Recovery");
    AddShipped(L"Toolkit");
    AddProbe(L"Title", kTitleProbeManifest, kTitleProbeScript);
    const std::string log = RunUntil("RECV TEST_TITLE_CREATE");

    const std::vector<std::string> creates = LinesStartingWith(log, "title-probe RECV TEST_TITLE_CREATE ");
    ASSERT_EQ(creates.size(), 1u) << "the title module was not asked exactly once:\n" << log;
    const std::string& line = creates[0];
    EXPECT_EQ(Field(line, "sender"), "host");
    EXPECT_EQ(Field(line, "arg"), "\"4.4.39\"") << "the version is not UTF-8 text in arg";
    EXPECT_EQ(Field(line, "wideText"), "\"Zentrovia Handset Message + Contact Rescue\"");

    const std::string view = Field(line, "window");
    std::smatch panes;
    const std::string list = Field(line, "object");
    ASSERT_TRUE(std::regex_match(list, panes,
                                 std::regex(R"(\[2:"Phone Rescue",(0x[0-9a-f]+),0x[0-9a-f]+;)"
                                            R"("Multi Toolbox",(0x[0-9a-f]+),0x[0-9a-f]+\])")))
        << "not the two panes with windows and pictures: " << list;
    EXPECT_NE(panes.str(1), view) << "the recovery module answered no window of its own";
    EXPECT_NE(panes.str(2), view) << "the toolkit answered no window of its own";
    EXPECT_NE(panes.str(1), panes.str(2));

    std::smatch block;
    const std::string data = Field(line, "data");
    ASSERT_TRUE(std::regex_match(data, block, std::regex(R"(\[(-?\d+),0,0,(\d+),88\])"))) << data;
    EXPECT_NE(block.str(1), "0") << "the application icon was not loaded";
}

TEST_F(ProductCatalogRun, WithoutRecoveryThePaneListBeginsWithMultiToolbox) {
    AddShipped(L"Toolkit");
    AddProbe(L"Title", kTitleProbeManifest, kTitleProbeScript);
    const std::string log = RunUntil("RECV TEST_TITLE_CREATE");

    const std::vector<std::string> creates = LinesStartingWith(log, "title-probe RECV TEST_TITLE_CREATE ");
    ASSERT_EQ(creates.size(), 1u) << log;
    EXPECT_TRUE(std::regex_match(Field(creates[0], "object"),
                                 std::regex(R"(\[1:"Multi Toolbox",0x[0-9a-f]+,0x[0-9a-f]+\])")))
        << Field(creates[0], "object");
}

TEST_F(ProductCatalogRun, TitleBandSwitchesAndStretchesThePanesAndClosesTheWindow) {
    AddShipped(L"Recovery");
    AddShipped(L"Toolkit");
    AddShipped(L"Title");
    HostProcess host(Options());
    ASSERT_TRUE(host.Start());
    const HWND frame = host.WaitForMainWindow(kStartTimeoutMs);
    ASSERT_NE(frame, nullptr);
    HWND band = nullptr, recovery = nullptr, toolkit = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            band = FindDescendant(frame, L"LumarestTitleBand");
            recovery = FindDescendant(frame, L"LumarestRecoveryPane");
            toolkit = FindDescendant(frame, L"LumarestToolkitPane");
            return band && recovery && toolkit;
        },
        kEventTimeoutMs))
        << "the modules' windows are missing";

    const HWND view = GetParent(band);
    EXPECT_EQ(PlaceInParent(band).bottom, 88);
    EXPECT_EQ(PlaceInParent(recovery).top, 89);
    EXPECT_TRUE(IsWindowVisible(recovery)) << "the first section is not shown";
    EXPECT_FALSE(IsWindowVisible(toolkit)) << "the second section is not behind its tab";

    const title::TitleLayout layout = title::LayOutTitle(ClientRect(band).right, 2);
    PressAt(band, layout.tabs[1]);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(toolkit) && !IsWindowVisible(recovery); }, kEventTimeoutMs))
        << "pressing the second tab did not switch the panes";

    const LONG widthBefore = ClientRect(view).right;
    PressAt(band, layout.maximize);
    ASSERT_TRUE(WaitUntil([&] { return ClientRect(view).right != widthBefore; }, kEventTimeoutMs))
        << "the maximise button did not resize the main window";
    EXPECT_TRUE(WaitUntil(
        [&] {
            const RECT viewClient = ClientRect(view), pane = PlaceInParent(toolkit);
            return ClientRect(band).right == viewClient.right && pane.right == viewClient.right &&
                   pane.bottom == viewClient.bottom;
        },
        kEventTimeoutMs))
        << "the band and the panes did not follow the view's new size";
    EXPECT_EQ(ClientRect(band).bottom, 88) << "the band changed its height";

    PressAt(band, title::LayOutTitle(ClientRect(band).right, 2).close);
    EXPECT_EQ(host.WaitForExit(kExitTimeoutMs), 0u) << "the close button did not close the program";
}

TEST_F(ProductCatalogRun, CommStartsItsServerAnswersTheUpdateCheckAndStops) {
    AddShipped(L"Comm");
    AddProbe(L"Watcher", kWatcherManifest, kWatcherScript);
    const std::string log = RunUntil("watcher DONE");
    ASSERT_EQ(log.find("TIMEOUT"), std::string::npos) << log;

    const std::vector<std::string> registered = LinesStartingWith(log, "watcher REGISTERED ");
    ASSERT_EQ(registered.size(), 1u);
    const std::string mainThread = Field(registered[0], "thread");

    const std::vector<std::string> starts = LinesStartingWith(log, "watcher RECV LIBCOMM_COMMAND_READY_START_SERVER ");
    ASSERT_EQ(starts.size(), 2u) << "the module's request and the host's relay:\n" << log;
    EXPECT_NE(Field(starts[0], "sender"), "host");
    EXPECT_NE(Field(starts[0], "thread"), mainThread) << "the start was not requested from the module's thread";
    EXPECT_EQ(Field(starts[1], "sender"), "host");
    EXPECT_EQ(Field(starts[1], "thread"), mainThread);
    const std::vector<std::string> finished = LinesStartingWith(log, "watcher RECV LIBCOMM_COMMAND_START_SERVER_FINISH ");
    ASSERT_EQ(finished.size(), 1u) << log;
    EXPECT_EQ(Field(finished[0], "thread"), mainThread) << "the server started off the main thread";

    // The module answers from its own thread while the host's delivery may
    // still be on its way to the watcher, so the two lines come in either
    // order: they are told apart by sender.
    const std::vector<std::string> checks = LinesStartingWith(log, "watcher RECV LIBCOMM_COMMAND_CHECK_FOR_UPDATE ");
    ASSERT_EQ(checks.size(), 2u) << log;
    const auto [check, answer] = HostLineAndOther(checks);
    EXPECT_EQ(Field(check, "sender"), "host") << "the host's automatic check is missing:\n" << log;
    EXPECT_NE(Field(answer, "sender"), "host");
    EXPECT_EQ(Field(answer, "value"), "1") << "the check is not reported as done";
    EXPECT_EQ(Field(answer, "count"), "0") << "a newer version was offered";
    EXPECT_NE(Field(answer, "thread"), mainThread) << "the answer did not come from the module's thread";

    const std::vector<std::string> stops = LinesStartingWith(log, "watcher RECV LIBCOMM_COMMAND_EXIT_SERVER ");
    ASSERT_EQ(stops.size(), 2u) << log;
    const auto [request, confirmation] = HostLineAndOther(stops);
    EXPECT_EQ(Field(request, "sender"), "host") << "the watcher's own request";
    EXPECT_NE(Field(confirmation, "sender"), "host") << "the module did not confirm the stop";
}

}  // namespace
