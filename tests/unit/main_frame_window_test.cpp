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

// Dispatches this thread's messages for ms milliseconds; true when WM_QUIT came.
bool Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return true;
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

struct FakeApplication {
    MainFrameEvents Events() {
        return {
            .closeRequested = [this] { return allowClose; },
            .moved =
                [this](int dx, int dy) {
                    moves.push_back({dx, dy});
                },
            .viewSized =
                [this](HWND, int width, int height) {
                    sizes.push_back({width, height});
                },
            .dpiChanged = [](int) {},
            .updateCheckDue = [this] { ++updateChecks; },
        };
    }

    bool allowClose = true;
    int updateChecks = 0;
    std::vector<POINT> moves;
    std::vector<SIZE> sizes;
};

class MainFrameWindowTest : public ::testing::Test {
protected:
    // The host's order: hidden, view, shown, then the shadow; the update
    // check's two seconds count from the end.
    void SetUp() override {
        Pump(0);  // the quit that the previous test's frame posted when it went
        ASSERT_TRUE(frame_.CreateHidden());
        frame_.CreateView();
        frame_.Show(SW_SHOWNOACTIVATE);
        frame_.CreateShadow();
        frame_.ScheduleUpdateCheck();
    }

    WindowingModule windowing_;
    ThreadMessageLoop loop_;
    FakeApplication app_;
    CMainFrame frame_{app_.Events()};
};

TEST_F(MainFrameWindowTest, TheViewReportsSignedSizes) {
    SendMessageW(frame_.ViewWindow(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(0xFFF6, 0x8000));
    EXPECT_EQ(app_.sizes.back().cx, -10);
    EXPECT_EQ(app_.sizes.back().cy, -32768);
}

TEST_F(MainFrameWindowTest, OnlyADragOnAnEdgeRefitsTheViewAndAZeroSizeKeepsTheRoundedOutline) {
    HWND window = frame_.Handle();
    Pump(200);
    const RECT before = ChildRect(frame_.ViewWindow());
    // A programmatic size change: the caller places the view itself.
    SetWindowPos(window, nullptr, 0, 0, 600, 400, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Pump(300);
    const RECT after = ChildRect(frame_.ViewWindow());
    EXPECT_TRUE(EqualRect(&before, &after)) << "a size change without WM_SIZING moved the view";
    SendMessageW(window, WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(0, 400));
    UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetWindowRgn(window, region.get()), ERROR) << "the frame has no region of its own";
    RECT box{};
    GetRgnBox(region.get(), &box);
    EXPECT_EQ(box.right, 599) << "a zero width replaced the outline";

    RECT drag{0, 0, 640, 480};
    SendMessageW(window, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&drag));
    SetWindowPos(window, nullptr, 0, 0, 640, 480, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Pump(300);
    const RECT refit = ChildRect(frame_.ViewWindow());
    EXPECT_EQ(refit.right - refit.left, 636);
}

TEST_F(MainFrameWindowTest, RaisesMovesAsChangesAndTheUpdateCheckOnce) {
    HWND window = frame_.Handle();
    RECT start{};
    GetWindowRect(window, &start);
    app_.moves.clear();
    SetWindowPos(window, nullptr, start.left + 30, start.top - 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(window, nullptr, start.left + 25, start.top - 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_EQ(app_.moves.size(), 2u);
    EXPECT_EQ(app_.moves[1].x, -5) << "a move is the change since the last one";
    Pump(4000);
    EXPECT_EQ(app_.updateChecks, 1);
}

TEST_F(MainFrameWindowTest, CastsAClickThroughShadowRightBelowItThatGoesWithIt) {
    HWND shadow = ThisThreadsShadow();
    ASSERT_NE(shadow, nullptr);
    EXPECT_TRUE(GetWindowLongPtrW(shadow, GWL_EXSTYLE) & WS_EX_TRANSPARENT) << "the shadow could take clicks";
    RECT frame{}, r{};
    GetWindowRect(frame_.Handle(), &frame);
    GetWindowRect(shadow, &r);
    EXPECT_EQ(r.left, frame.left + 12) << "a shadow made after the frame was shown waits for its first move";
    SetWindowPos(frame_.Handle(), nullptr, 50, 40, 600, 400, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(GetWindow(frame_.Handle(), GW_HWNDNEXT), shadow) << "the shadow must lie directly below the frame";
    DestroyWindow(frame_.Handle());
    EXPECT_FALSE(IsWindow(shadow)) << "the shadow outlived its owner";
}

// What the system sends when the frame is dragged onto a display of 150 %.
TEST_F(MainFrameWindowTest, MovedToA144DpiDisplayScalesItsBorderViewEdgesAndShadow) {
    HWND window = frame_.Handle();
    RECT suggested{100, 80, 100 + 1431, 80 + 921};
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    Pump(300);
    EXPECT_EQ(ChildRect(frame_.ViewWindow()).left, 2);
    const LPARAM nearLeft = MAKELPARAM(suggested.left + 7, suggested.top + 300);
    EXPECT_EQ(SendMessageW(window, WM_NCHITTEST, 0, nearLeft), HTLEFT) << "the resizing band did not grow to 8 pixels";
    HWND shadow = ThisThreadsShadow();
    ASSERT_NE(shadow, nullptr);
    RECT cast{};
    GetWindowRect(shadow, &cast);
    EXPECT_EQ(cast.left - suggested.left, 18) << "the shadow's offset did not scale";
}

TEST_F(MainFrameWindowTest, ARefusedCloseKeepsTheFrame) {
    app_.allowClose = false;
    SendMessageW(frame_.Handle(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(IsWindow(frame_.Handle())) << "the default close ran past the refusal";
    EXPECT_FALSE(Pump(100)) << "a refused close ended the run";
    app_.allowClose = true;
    SendMessageW(frame_.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(frame_.Handle(), nullptr);
}

}  // namespace
