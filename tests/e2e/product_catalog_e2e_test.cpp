// Real runs of Lumarest.exe with the product's shipped modules: the title
// band switching and stretching the panes, and the communication module's
// server start, update answer and server stop as a watching probe sees them
// on the bus.
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
    const std::regex pattern(" " + field + "=(\"[^\"]*\"|\\S+)");
    return std::regex_search(line, match, pattern) ? match.str(1) : "";
}


bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(100);
    }
    return true;
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

    void AddWatcher(const std::string& manifest, const std::string& script) {
        plugins_.AddPlugin(L"Watcher", L"1.0", kProbeDll, manifest, L"probe.dll");
        environment_.push_back({L"LUMAREST_PROBE_SCRIPT", files_.Write(L"probe.script", script)});
    }

    HostProcess::Options Options() const {
        HostProcess::Options options;
        options.tempDir = temp_.Path();
        options.pluginsFrom = plugins_.Path();
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

TEST_F(ProductCatalogRun, TitleBandSwitchesAndStretchesThePanesAndClosesTheWindow) {
    AddShipped(L"Recovery");
    AddShipped(L"Toolkit");
    AddShipped(L"Title");
    HostProcess host(Options());
    ASSERT_TRUE(host.Start());
    const HWND frame = host.WaitForMainWindow(kStartTimeoutMs);
    ASSERT_NE(frame, nullptr);
    // The modules' windows are children of the view, the frame's one child.
    HWND band = nullptr, recovery = nullptr, toolkit = nullptr;
    const HWND view = GetWindow(frame, GW_CHILD);
    ASSERT_TRUE(WaitUntil(
        [&] {
            band = FindWindowExW(view, nullptr, L"LumarestTitleBand", nullptr);
            recovery = FindWindowExW(view, nullptr, L"LumarestRecoveryPane", nullptr);
            toolkit = FindWindowExW(view, nullptr, L"LumarestToolkitPane", nullptr);
            return band && recovery && toolkit;
        },
        kEventTimeoutMs))
        << "the modules' windows are missing";

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

// Each exchange is a request and the module's answer from its own thread,
// which can reach the watcher first: they are told apart by their sender,
// not by their order.
TEST_F(ProductCatalogRun, CommStartsItsServerAnswersTheUpdateCheckAndStops) {
    AddShipped(L"Comm");
    AddWatcher(kWatcherManifest, kWatcherScript);
    const std::string log = RunUntil("watcher DONE");
    ASSERT_EQ(log.find("TIMEOUT"), std::string::npos) << log;
    const std::string mainThread = Field(LinesStartingWith(log, "watcher REGISTERED ").at(0), "thread");
    auto sentBy = [&](const char* command, bool host) {
        std::vector<std::string> picked;
        for (const std::string& line : LinesStartingWith(log, std::string("watcher RECV ") + command + " "))
            if ((Field(line, "sender") == "host") == host) picked.push_back(line);
        return picked;
    };
    const std::vector<std::string> relays = sentBy("LIBCOMM_COMMAND_READY_START_SERVER", true);
    ASSERT_EQ(relays.size(), 1u) << "the host's relay of the module's request:\n" << log;
    EXPECT_EQ(Field(relays[0], "thread"), mainThread);
    EXPECT_EQ(sentBy("LIBCOMM_COMMAND_READY_START_SERVER", false).size(), 1u) << log;
    EXPECT_EQ(LinesStartingWith(log, "watcher RECV LIBCOMM_COMMAND_START_SERVER_FINISH ").size(), 1u) << log;
    EXPECT_EQ(sentBy("LIBCOMM_COMMAND_CHECK_FOR_UPDATE", true).size(), 1u) << "the host's automatic check:\n" << log;
    const std::vector<std::string> answers = sentBy("LIBCOMM_COMMAND_CHECK_FOR_UPDATE", false);
    ASSERT_EQ(answers.size(), 1u) << log;
    EXPECT_EQ(Field(answers[0], "value") + " " + Field(answers[0], "count"), "1 0") << "done, with nothing newer";
    EXPECT_EQ(sentBy("LIBCOMM_COMMAND_EXIT_SERVER", false).size(), 1u) << "the module did not confirm the stop:\n" << log;
}

}  // namespace
