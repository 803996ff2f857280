// The main frame and its view as windows of this test process: what their
// messages do to the windows, the command bus and the shared dialogs. Every
// frame here loads plug-ins from an empty folder, so the bus holds only the
// endpoints that the tests attach.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/command_bus.h"
#include "lumarest_view.h"
#include "main_frame.h"
#include "shared_dialogs.h"
#include "test_files.h"
#include "windowing_module.h"

namespace {

void* const kFakeModule = reinterpret_cast<void*>(0x4000);

// What reached the fake module, copied at delivery.
struct Delivery {
    BASObserveData record;
    BASSizeChange size{};
};
std::vector<Delivery> deliveries;

void __cdecl Receive(BASObserveData* record) {
    Delivery delivery{*record};
    if (record->data && std::string(record->command) == LIBWINDOW_COMMAND_SIZE_CHANGE)
        delivery.size = *static_cast<const BASSizeChange*>(record->data);
    deliveries.push_back(delivery);
}

// Attaches the fake module to the names the frame and the view send, once:
// the bus never forgets an endpoint.
void AttachFakeModuleOnce() {
    static bool attached = false;
    if (attached) return;
    attached = true;
    for (const char* name : {LIBWINDOW_COMMAND_SIZE_CHANGE, LIBCOMM_COMMAND_CHECK_FOR_UPDATE}) {
        CommandEndpoint* endpoint = NewEndpoint(kFakeModule);
        endpoint->receive = Receive;
        RegisterEndpoint(name, endpoint);
    }
}

std::vector<Delivery> DeliveriesOf(const char* command) {
    std::vector<Delivery> found;
    for (const Delivery& d : deliveries) {
        if (std::string(d.record.command) == command) found.push_back(d);
    }
    return found;
}

// Dispatches this thread's messages for ms milliseconds.
void Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

RECT ChildRect(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

struct CountingSheet : SharedDialog {
    void MoveBy(int dx, int dy) override { moves.push_back({dx, dy}); }
    void Realign() override { ++realigns; }
    std::vector<POINT> moves;
    int realigns = 0;
};

class MainFrameWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        AttachFakeModuleOnce();
        SetEnvironmentVariableW(L"LUMAREST_PLUGINS_DIR", plugins_.Path().c_str());
        deliveries.clear();
    }
    void TearDown() override {
        RegisterSharedDialog(kSheetDialog, nullptr);
        SetEnvironmentVariableW(L"LUMAREST_PLUGINS_DIR", nullptr);
    }

    TempFolder plugins_;
    WindowingModule windowing_;
    ThreadMessageLoop loop_;
};

// Where the frame opens and how it looks is checked in real runs; here, how
// other code finds it.
TEST_F(MainFrameWindowTest, IsFoundThroughTheMainFramePointer) {
    CMainFrame frame;
    ASSERT_TRUE(frame.Open(SW_SHOWNOACTIVATE));
    EXPECT_EQ(MainFrame(), &frame);
    EXPECT_EQ(MainFrameWindow(), frame.Handle());
    ASSERT_NE(MainViewWindow(), nullptr);
    EXPECT_EQ(GetParent(MainViewWindow()), frame.Handle());
    MSG message{};
    EXPECT_FALSE(loop_.PreTranslateMessage(&message)) << "the frame's filter must let every message through";
    DestroyWindow(frame.Handle());
    EXPECT_EQ(MainFrameWindow(), nullptr) << "a destroyed frame must not be handed out";
}

TEST_F(MainFrameWindowTest, TheViewAnnouncesItsSizeAndRealignsTheSheet) {
    CountingSheet sheet;
    RegisterSharedDialog(kSheetDialog, &sheet);
    CMainFrame frame;
    ASSERT_TRUE(frame.Open(SW_SHOWNOACTIVATE));
    HWND view = frame.ViewWindow();
    deliveries.clear();
    sheet.realigns = 0;

    MoveWindow(view, 1, 1, 400, 250, TRUE);
    std::vector<Delivery> sizes = DeliveriesOf(LIBWINDOW_COMMAND_SIZE_CHANGE);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0].record.window, view) << "plug-ins look their panes up under the view";
    EXPECT_EQ(sizes[0].record.sender, HostInstance());
    EXPECT_EQ(sizes[0].size.width, 400);
    EXPECT_EQ(sizes[0].size.height, 250);
    EXPECT_EQ(sheet.realigns, 1);

    // The words of the message are signed.
    SendMessageW(view, WM_SIZE, SIZE_RESTORED, MAKELPARAM(0xFFF6, 0x8000));
    sizes = DeliveriesOf(LIBWINDOW_COMMAND_SIZE_CHANGE);
    ASSERT_EQ(sizes.size(), 2u);
    EXPECT_EQ(sizes[1].size.width, -10);
    EXPECT_EQ(sizes[1].size.height, -32768);
    DestroyWindow(frame.Handle());
}

TEST_F(MainFrameWindowTest, OnlyADragOnAnEdgeRefitsTheView) {
    CMainFrame frame;
    ASSERT_TRUE(frame.Open(SW_SHOWNOACTIVATE));
    HWND window = frame.Handle();
    HWND view = frame.ViewWindow();
    Pump(200);
    const RECT before = ChildRect(view);

    // A programmatic size change: the caller places the view itself.
    SetWindowPos(window, nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Pump(400);
    const RECT after = ChildRect(view);
    EXPECT_TRUE(EqualRect(&before, &after)) << "a size change without WM_SIZING moved the view";

    RECT drag{0, 0, 640, 480};
    SendMessageW(window, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&drag));
    SetWindowPos(window, nullptr, 0, 0, 640, 480, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Pump(400);
    const RECT refit = ChildRect(view);
    EXPECT_EQ(refit.left, 1);
    EXPECT_EQ(refit.top, 1);
    EXPECT_EQ(refit.right - refit.left, 636);
    EXPECT_EQ(refit.bottom - refit.top, 476);
    DestroyWindow(window);
}

TEST_F(MainFrameWindowTest, EverySizeRenewsTheRoundedOutlineButAZeroSizeLeavesIt) {
    CMainFrame frame;
    ASSERT_TRUE(frame.Open(SW_SHOWNOACTIVATE));
    HWND window = frame.Handle();
    SetWindowPos(window, nullptr, 0, 0, 600, 400, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    HRGN expected = CreateRoundRectRgn(0, 0, 600, 400, 8, 8);
    ASSERT_NE(GetWindowRgn(window, region), ERROR) << "the frame has no region of its own";
    RECT box{};
    RECT expectedBox{};
    GetRgnBox(region, &box);
    GetRgnBox(expected, &expectedBox);
    EXPECT_TRUE(EqualRect(&box, &expectedBox)) << "the outline does not follow the new size";
    EXPECT_FALSE(PtInRegion(region, 0, 0)) << "the corners are not rounded";
    EXPECT_TRUE(PtInRegion(region, 300, 0));

    SendMessageW(window, WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(0, 400));
    ASSERT_NE(GetWindowRgn(window, region), ERROR);
    GetRgnBox(region, &box);
    EXPECT_TRUE(EqualRect(&box, &expectedBox)) << "a zero width replaced the outline";
    DeleteObject(expected);
    DeleteObject(region);
    DestroyWindow(window);
}

TEST_F(MainFrameWindowTest, SizeCursorsOnTheEdgesAndNoneElsewhere) {
    CMainFrame frame;
    ASSERT_TRUE(frame.Open(SW_SHOWNOACTIVATE));
    HWND window = frame.Handle();
    EXPECT_TRUE(SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTTOPRIGHT, WM_MOUSEMOVE)));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_SIZENESW));
    EXPECT_TRUE(SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTBOTTOM, WM_MOUSEMOVE)));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_SIZENS));
    EXPECT_FALSE(SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCAPTION, WM_MOUSEMOVE)));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_SIZENS)) << "the caption must leave the cursor alone";
    DestroyWindow(window);
}

TEST_F(MainFrameWindowTest, AMoveCarriesTheSheetByTheChange) {
    CountingSheet sheet;
    CMainFrame frame;
    ASSERT_TRUE(frame.Open(SW_SHOWNOACTIVATE));
    HWND window = frame.Handle();
    RegisterSharedDialog(kSheetDialog, &sheet);
    RECT start{};
    GetWindowRect(window, &start);
    SetWindowPos(window, nullptr, start.left + 30, start.top - 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(window, nullptr, start.left + 25, start.top - 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_EQ(sheet.moves.size(), 2u);
    EXPECT_EQ(sheet.moves[0].x, 30);
    EXPECT_EQ(sheet.moves[0].y, -20);
    EXPECT_EQ(sheet.moves[1].x, -5) << "the change is from the last position, not from the first";
    EXPECT_EQ(sheet.moves[1].y, 0);
    DestroyWindow(window);
}

TEST_F(MainFrameWindowTest, AsksForUpdatesOnceTwoSecondsAfterCreation) {
    CMainFrame frame;
    const DWORD opened = GetTickCount();
    ASSERT_TRUE(frame.Open(SW_SHOWNOACTIVATE));
    Pump(1500);
    EXPECT_TRUE(DeliveriesOf(LIBCOMM_COMMAND_CHECK_FOR_UPDATE).empty()) << "asked before two seconds";
    while (DeliveriesOf(LIBCOMM_COMMAND_CHECK_FOR_UPDATE).empty() && GetTickCount() - opened < 5000) Pump(50);
    Pump(2500);
    const std::vector<Delivery> checks = DeliveriesOf(LIBCOMM_COMMAND_CHECK_FOR_UPDATE);
    ASSERT_EQ(checks.size(), 1u) << "timer 2 must fire once";
    EXPECT_EQ(checks[0].record.sender, HostInstance());
    EXPECT_EQ(checks[0].record.value, 0);
    DestroyWindow(frame.Handle());
}

}  // namespace
