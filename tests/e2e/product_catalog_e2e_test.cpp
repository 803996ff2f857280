// A real run of Lumarest.exe with the product's shipped modules: the title
// band switching and stretching the panes, the view's new size announced to
// them, and the close button.
#include <gtest/gtest.h>

#include <windows.h>

#include "host_process.h"
#include "plugin_tree.h"
#include "screen_support.h"
#include "title_layout.h"

namespace {

using e2e::WaitUntil;

RECT ClientRect(HWND window) {
    RECT rect{};
    GetClientRect(window, &rect);
    return rect;
}

void PressAt(HWND window, const RECT& part) {
    const int x = (part.left + part.right) / 2, y = (part.top + part.bottom) / 2;
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

class ProductCatalogRun : public e2e::HostRun {};

TEST_F(ProductCatalogRun, TitleBandSwitchesAndStretchesThePanesAndClosesTheWindow) {
    AddShipped(L"Recovery");
    AddShipped(L"Toolkit");
    AddShipped(L"Title");
    HostProcess host(Options());
    const HWND frame = StartedFrame(host);
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

    EXPECT_TRUE(IsWindowVisible(recovery) && !IsWindowVisible(toolkit)) << "the second section is not behind its tab";

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
            const RECT viewClient = ClientRect(view), pane = ChildRect(toolkit);
            return ClientRect(band).right == viewClient.right && pane.right == viewClient.right &&
                   pane.bottom == viewClient.bottom;
        },
        kEventTimeoutMs))
        << "the band and the panes did not follow the view's new size";

    PressAt(band, title::LayOutTitle(ClientRect(band).right, 2).close);
    EXPECT_EQ(host.WaitForExit(kEventTimeoutMs), 0u) << "the close button did not close the program";
}

}  // namespace
