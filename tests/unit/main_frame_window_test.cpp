// The main frame and its view as windows of this test process, raising their
// events to a fake application instead of the host object.
#include <gtest/gtest.h>

#include <windows.h>

#include <cwchar>
#include <vector>

#include "gdi_owners.h"
#include "main_frame.h"
#include "windowing_module.h"

namespace {

// Dispatches this thread's messages for ms milliseconds; true when WM_QUIT
// came, with its exit code in *exitCode.
bool Pump(DWORD ms, WPARAM* exitCode = nullptr) {
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                if (exitCode) *exitCode = message.wParam;
                return true;
            }
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
    return false;
}

BOOL CALLBACK TakeShadow(HWND window, LPARAM found) {
    wchar_t name[64]{};
    GetClassNameW(window, name, 64);
    if (wcscmp(name, L"WTL_ThemedShadowWindow") != 0) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// This thread's shadow: a real run beside the test may show its own.
HWND ThisThreadsShadow() {
    HWND shadow = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &TakeShadow, reinterpret_cast<LPARAM>(&shadow));
    return shadow;
}

RECT ChildRect(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

struct FakeApplication : MainFrameEvents {
    bool OnCloseRequested() override {
        ++closeRequests;
        return allowClose;
    }
    void OnFrameMoved(int dx, int dy) override { moves.push_back({dx, dy}); }
    void OnViewSized(HWND, int width, int height) override { sizes.push_back({width, height}); }
    void OnDpiChanged(int dpi) override {
        dpiChanges.push_back(dpi);
        sizesBeforeDpiChange = sizes.size();
    }
    void OnUpdateCheckDue() override {
        ++updateChecks;
        checkDueAt = GetTickCount();
    }

    bool allowClose = true;
    int closeRequests = 0;
    int updateChecks = 0;
    DWORD checkDueAt = 0;
    std::vector<POINT> moves;
    std::vector<SIZE> sizes;
    std::vector<int> dpiChanges;
    size_t sizesBeforeDpiChange = 0;
};

class MainFrameWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        Pump(0);  // the quit that the previous test's frame posted when it went
        Start(frame_);
        openedAt_ = GetTickCount();
    }

    // The host's order: hidden, view, shown, then the shadow; the update
    // check's two seconds count from the end.
    static void Start(CMainFrame& frame) {
        ASSERT_TRUE(frame.CreateHidden());
        frame.CreateView();
        frame.Show(SW_SHOWNOACTIVATE);
        frame.CreateShadow();
        frame.ScheduleUpdateCheck();
    }

    DWORD openedAt_ = 0;

    WindowingModule windowing_;
    ThreadMessageLoop loop_;
    FakeApplication app_;
    CMainFrame frame_{app_};
};

TEST_F(MainFrameWindowTest, TheViewReportsSignedSizes) {
    const RECT view = ChildRect(frame_.ViewWindow());
    EXPECT_EQ(view.left, 1);
    EXPECT_EQ(view.right - view.left, 949);
    EXPECT_EQ(view.bottom - view.top, 609);
    ASSERT_FALSE(app_.sizes.empty()) << "the view's first size was not reported";

    SendMessageW(frame_.ViewWindow(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(0xFFF6, 0x8000));
    EXPECT_EQ(app_.sizes.back().cx, -10);
    EXPECT_EQ(app_.sizes.back().cy, -32768);
}

TEST_F(MainFrameWindowTest, OnlyADragOnAnEdgeRefitsTheViewAndEveryNonZeroSizeRenewsTheRoundedOutline) {
    HWND window = frame_.Handle();
    Pump(200);
    const RECT before = ChildRect(frame_.ViewWindow());
    // A programmatic size change: the caller places the view itself.
    SetWindowPos(window, nullptr, 0, 0, 600, 400, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Pump(300);
    const RECT after = ChildRect(frame_.ViewWindow());
    EXPECT_TRUE(EqualRect(&before, &after)) << "a size change without WM_SIZING moved the view";
    UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetWindowRgn(window, region.get()), ERROR) << "the frame has no region of its own";
    RECT box{};
    GetRgnBox(region.get(), &box);
    EXPECT_EQ(box.right, 599) << "the outline does not follow the new size";
    EXPECT_FALSE(PtInRegion(region.get(), 0, 0)) << "the corners are not rounded";
    EXPECT_TRUE(PtInRegion(region.get(), 300, 0));
    SendMessageW(window, WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(0, 400));
    GetWindowRgn(window, region.get());
    GetRgnBox(region.get(), &box);
    EXPECT_EQ(box.right, 599) << "a zero width replaced the outline";

    RECT drag{0, 0, 640, 480};
    SendMessageW(window, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&drag));
    SetWindowPos(window, nullptr, 0, 0, 640, 480, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Pump(300);
    const RECT refit = ChildRect(frame_.ViewWindow());
    EXPECT_EQ(refit.left, 1);
    EXPECT_EQ(refit.top, 1);
    EXPECT_EQ(refit.right - refit.left, 636);
    EXPECT_EQ(refit.bottom - refit.top, 476);
}

TEST_F(MainFrameWindowTest, RaisesMovesAsChangesTheUpdateCheckOnceAfterTwoSecondsAndSetsSizeCursorsOnEdgesOnly) {
    HWND window = frame_.Handle();
    RECT start{};
    GetWindowRect(window, &start);
    app_.moves.clear();
    SetWindowPos(window, nullptr, start.left + 30, start.top - 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(window, nullptr, start.left + 25, start.top - 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_EQ(app_.moves.size(), 2u);
    EXPECT_EQ(app_.moves[0].x, 30);
    EXPECT_EQ(app_.moves[0].y, -20);
    EXPECT_EQ(app_.moves[1].x, -5) << "a move is the change since the last one";

    const WPARAM self = reinterpret_cast<WPARAM>(window);
    EXPECT_TRUE(SendMessageW(window, WM_SETCURSOR, self, MAKELPARAM(HTBOTTOM, WM_MOUSEMOVE)));
    EXPECT_FALSE(SendMessageW(window, WM_SETCURSOR, self, MAKELPARAM(HTCAPTION, WM_MOUSEMOVE)));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_SIZENS)) << "the caption must leave the edge's cursor alone";

    // Measured from the frame's creation, so a slow machine cannot make the
    // check look early: the timer must not fire before two seconds.
    Pump(4000);
    EXPECT_EQ(app_.updateChecks, 1);
    EXPECT_GE(app_.checkDueAt - openedAt_, 1900u) << "too early";
}

TEST_F(MainFrameWindowTest, CastsAClickThroughShadowThatFollowsItAndGoesWithIt) {
    HWND shadow = ThisThreadsShadow();
    ASSERT_NE(shadow, nullptr);
    const LONG_PTR exStyle = GetWindowLongPtrW(shadow, GWL_EXSTYLE);
    EXPECT_EQ(exStyle & (WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE),
              WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE)
        << "the shadow could take clicks or focus";
    EXPECT_FALSE(GetWindowLongPtrW(shadow, GWL_EXSTYLE) & WS_EX_TOPMOST);
    RECT frame{}, r{};
    GetWindowRect(frame_.Handle(), &frame);
    GetWindowRect(shadow, &r);
    EXPECT_EQ(r.left, frame.left + 12) << "a shadow made after the frame was shown waits for its first move";

    SetWindowPos(frame_.Handle(), nullptr, 50, 40, 600, 400, SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(shadow, &r);
    EXPECT_EQ(r.left, 62);
    EXPECT_EQ(r.top, 52);
    EXPECT_EQ(r.right - r.left, 600);
    EXPECT_EQ(GetWindow(frame_.Handle(), GW_HWNDNEXT), shadow) << "the shadow must lie directly below the frame";

    DestroyWindow(frame_.Handle());
    EXPECT_FALSE(IsWindow(shadow)) << "the shadow outlived its owner";
}

// What the system sends when the frame is dragged onto a display of 150 %.
TEST_F(MainFrameWindowTest, MovedToA144DpiDisplayTakesTheSuggestedPlaceAndScalesItsBorderViewEdgesAndShadow) {
    HWND window = frame_.Handle();
    RECT suggested{100, 80, 100 + 1431, 80 + 921};
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    Pump(300);
    RECT now{};
    GetWindowRect(window, &now);
    EXPECT_TRUE(EqualRect(&now, &suggested)) << "the frame kept its old place and size";
    ASSERT_EQ(app_.dpiChanges.size(), 1u);
    EXPECT_EQ(app_.dpiChanges[0], 144);
    ASSERT_GT(app_.sizes.size(), app_.sizesBeforeDpiChange) << "plug-ins heard no size after the new DPI";
    EXPECT_EQ(app_.sizes.back().cx, 1431 - 6) << "the view is not refitted to the new frame at 144 DPI";
    EXPECT_EQ(app_.sizes.back().cy, 921 - 6);
    EXPECT_EQ(ChildRect(frame_.ViewWindow()).left, 2);

    const LPARAM nearLeft = MAKELPARAM(suggested.left + 7, suggested.top + 300);
    EXPECT_EQ(SendMessageW(window, WM_NCHITTEST, 0, nearLeft), HTLEFT) << "the resizing band did not grow to 8 pixels";
    HWND shadow = ThisThreadsShadow();
    ASSERT_NE(shadow, nullptr);
    RECT cast{};
    GetWindowRect(shadow, &cast);
    EXPECT_EQ(cast.left - suggested.left, 18) << "the shadow's offset did not scale";
}

TEST_F(MainFrameWindowTest, ARefusedCloseKeepsTheFrameAndAnyDestructionEndsTheRun) {
    app_.allowClose = false;
    SendMessageW(frame_.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(app_.closeRequests, 1);
    ASSERT_TRUE(IsWindow(frame_.Handle())) << "the default close ran past the refusal";
    EXPECT_FALSE(Pump(100)) << "a refused close ended the run";

    app_.allowClose = true;
    SendMessageW(frame_.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(frame_.Handle(), nullptr);
    WPARAM exitCode = 99;
    EXPECT_TRUE(Pump(100, &exitCode));
    EXPECT_EQ(exitCode, 0u);

    // Destroyed by anyone else, the frame still ends the run.
    FakeApplication other;
    CMainFrame second(other);
    Start(second);
    DestroyWindow(second.Handle());
    EXPECT_TRUE(Pump(100));
}

}  // namespace
