// Real runs of Lumarest.exe: where its frame opens, how it is painted, and
// how a close is put to the plug-ins. The frame is read and driven from this
// process, as a user's screen would.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "frame_geometry.h"
#include "host_process.h"
#include "plugin_tree.h"
#include "screen_support.h"

namespace {

using e2e::ScreenPixel;
using e2e::WindowRect;

constexpr COLORREF kBorderGrey = RGB(200, 200, 200);
constexpr COLORREF kWhite = RGB(255, 255, 255);

using MainFrameE2eTest = e2e::HostRun;

// The frame where its arithmetic puts it, painted; then a close that the
// probe refuses once, put to it as the host asks, keeps the frame until the
// next close.
TEST_F(MainFrameE2eTest, OpensCentredPaintedWhiteInAGreyBorderAndAPluginThatRefusesKeepsItUntilTheNextClose) {
    AddProbe({"LIBPLATFORM_COMMAND_CLOSE_ENSURE"});
    environment_.push_back({L"LUMAREST_PROBE_REFUSE_CLOSE", L"1"});
    HostProcess host(Options());
    HWND frame = StartedFrame(host);
    ASSERT_NE(frame, nullptr) << "no main frame was shown";
    RedrawWindow(frame, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sleep(500);
    const RECT r = WindowRect(frame);
    const RECT expected = InitialFrameRect(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    EXPECT_TRUE(EqualRect(&r, &expected)) << "not opened where the frame's arithmetic puts it";
    const int midX = (r.left + r.right) / 2, midY = (r.top + r.bottom) / 2;
    EXPECT_EQ(ScreenPixel(midX, midY), kWhite) << "the client is not white";
    EXPECT_EQ(ScreenPixel(r.left, midY), kBorderGrey) << "no border on the left";
    EXPECT_NE(ScreenPixel(r.left, r.top), kBorderGrey) << "the top-left corner is square, not rounded";
    EXPECT_TRUE(e2e::SaveScreenBmp({r.left - 20, r.top - 20, r.right + 20, r.bottom + 20}, L"main-frame.bmp"));

    ASSERT_TRUE(host.RequestClose());
    ASSERT_TRUE(
        e2e::WaitUntil([&] { return Log().find("REFUSED LIBPLATFORM_COMMAND_CLOSE_ENSURE") != std::string::npos; },
                       kEventTimeoutMs))
        << "the close was not put to the plug-in (a close without its sender goes nowhere)\n"
        << Log();
    EXPECT_EQ(host.WaitForExit(1500), static_cast<DWORD>(STILL_ACTIVE)) << "the refused close ended the program";
    EXPECT_TRUE(IsWindowVisible(frame)) << "the refused close hid or destroyed the frame";
    Close(host);
}

}  // namespace
