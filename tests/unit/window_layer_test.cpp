// Window objects of the windowing layer: finding the object from the handle,
// passing messages on and the typed crackers. Chaining, subclassing,
// reflection and painting are exercised by every window and dialog of the
// product's own tests.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "double_buffer.h"
#include "window_test_support.h"

namespace {

std::wstring TextOf(HWND window) {
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    return text;
}

TEST(WindowObject, IsFoundFromItsHandlePassesOnOnlyWhenAskedAndIsForgottenBeforeItsFinalMessage) {
    ProbeWindow probe;
    HWND window = probe.CreateHidden();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(FindWindowObject(window), static_cast<MessageMap*>(&probe));
    EXPECT_EQ(GetWindowLongPtrW(window, GWLP_USERDATA), 0) << "the user data belongs to the drop shadow";
    SetWindowLongPtrW(window, GWLP_USERDATA, 0x5A5A5A5A);
    EXPECT_EQ(SendMessageW(window, kAsk, 0, 0), 42);
    SetWindowTextW(window, L"passed on");
    probe.swallowSetText = true;
    SetWindowTextW(window, L"swallowed");
    EXPECT_EQ(probe.setTextSeen, 2);
    EXPECT_EQ(TextOf(window), L"passed on") << "only a passed-on message reaches the default procedure";
    DestroyWindow(window);
    EXPECT_EQ(probe.finalWindow, window);
    EXPECT_EQ(probe.linkAtFinalMessage, nullptr) << "the property must be gone before OnFinalMessage";
    EXPECT_EQ(probe.Handle(), nullptr);
}

// Records what the typed entries hand their handlers.
class CrackedWindow : public WindowBase {
public:
    BEGIN_MSG_MAP(CrackedWindow)
        MSG_WM_SIZE(OnSize)
        MSG_WM_MOVE(OnMove)
        MSG_WM_NCHITTEST(OnNcHitTest)
        MSG_WM_PAINT_BUFFERED(Draw)
        CHAIN_MSG_MAP(WindowBase)
    END_MSG_MAP()

    SIZE size{};
    POINT moved{};
    bool passHitTestOn = false;

protected:
    WindowClassInfo GetWindowClassInfo() const override { return {.name = L"LumarestTestCracked"}; }

private:
    void OnSize(UINT, SIZE clientSize) { size = clientSize; }
    void OnMove(POINT topLeft) { moved = topLeft; }
    UINT OnNcHitTest(POINT) {
        if (passHitTestOn) {
            SetMsgHandled(false);
            // A nested message handled meanwhile must not turn this one's flag back on.
            SendMessageW(Handle(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(1, 1));
        }
        return HTCAPTION;
    }
    void Draw(HDC, const RECT&) {}
};

TEST(MessageCrackers, UnpackSignedPointsAndWideSizesAndPassOnWhenAsked) {
    CrackedWindow cracked;
    HWND window = cracked.Create({.rect = {0, 0, 50, 50}, .style = WS_POPUP});
    ASSERT_NE(window, nullptr);
    SendMessageW(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(40000, 300));
    EXPECT_EQ(cracked.size.cx, 40000) << "a width is an unsigned word";
    SendMessageW(window, WM_MOVE, 0, MAKELPARAM(-1920, -5));
    EXPECT_EQ(cracked.moved.x, -1920) << "a position left of the primary monitor is negative";
    EXPECT_EQ(cracked.moved.y, -5);
    EXPECT_EQ(SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(-100, -200)), HTCAPTION);
    cracked.passHitTestOn = true;
    EXPECT_EQ(SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(-100, -200)), HTNOWHERE)
        << "a passed-on message must get the default procedure's answer, not the handler's";
    WindowDC dc(window);
    EXPECT_EQ(SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.get()), 0), TRUE)
        << "a buffered painter must answer the erase itself, or the background flashes";
}

}  // namespace
