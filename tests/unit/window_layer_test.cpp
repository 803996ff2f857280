// The windowing layer: finding the object from the handle, passing messages
// on, the typed crackers, and the message loop's filters (newest first,
// swallowing, removal while they are asked). Chaining, subclassing, reflection
// and painting are exercised by every window and dialog of the product's own
// tests.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "double_buffer.h"
#include "message_loop.h"
#include "window_base.h"
#include "window_object.h"

namespace {

constexpr UINT kAsk = WM_APP + 1;         // answered with 42 by ProbeWindow
constexpr UINT kTagged = WM_APP + 0x100;  // wParam carries a tag; counted by ProbeWindow

// Records what reaches it.
class ProbeWindow : public WindowBase {
public:
    BEGIN_MSG_MAP(ProbeWindow)
    MESSAGE_HANDLER(kAsk, OnAsk)
    MESSAGE_HANDLER(WM_SETTEXT, OnSetText)
    MESSAGE_HANDLER(kTagged, OnTagged)
    CHAIN_MSG_MAP(WindowBase)
    END_MSG_MAP()

    // Hidden: showing a window costs seconds under Wine.
    HWND CreateHidden() { return Create({.rect = {0, 0, 200, 100}, .style = WS_POPUP}); }

    void OnFinalMessage(HWND window) override {
        finalWindow = window;
        linkAtFinalMessage = FindWindowObject(window);
    }

    bool swallowSetText = false;
    int setTextSeen = 0, taggedSeen = 0;
    HWND finalWindow = nullptr;
    MessageMap* linkAtFinalMessage = nullptr;

protected:
    WindowClassInfo GetWindowClassInfo() const override { return {.name = L"LumarestTestProbe"}; }

private:
    LRESULT OnAsk(UINT, WPARAM, LPARAM) { return 42; }
    LRESULT OnSetText(UINT, WPARAM, LPARAM) {
        ++setTextSeen;
        SetMsgHandled(swallowSetText);
        return TRUE;
    }
    LRESULT OnTagged(UINT, WPARAM, LPARAM) { return ++taggedSeen; }
};

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
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    EXPECT_STREQ(text, L"passed on") << "only a passed-on message reaches the default procedure";
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

// Logs "name:tag" for each tagged message it is asked about.
class LoggingFilter : public MessageFilter {
public:
    LoggingFilter(std::vector<std::string>& log, std::string name) : log_(log), name_(std::move(name)) {}
    bool PreTranslateMessage(MSG* message) override {
        if (message->message != kTagged) return false;
        log_.push_back(name_ + ":" + std::to_string(message->wParam));
        if (onAsked) onAsked();
        return message->wParam == swallowTag;
    }
    WPARAM swallowTag = 0;
    std::function<void()> onAsked;

private:
    std::vector<std::string>& log_;
    std::string name_;
};

// The quit is queued behind the tagged messages, so each run ends by itself.
TEST(MessageLoop, AsksFiltersNewestFirstDispatchesOnlyWhatNoneSwallowedAndSkipsOnesRemovedWhileAsking) {
    ProbeWindow target;
    ASSERT_NE(target.CreateHidden(), nullptr);
    MessageLoop loop;
    std::vector<std::string> log;
    LoggingFilter older{log, "older"}, newer{log, "newer"};
    loop.AddMessageFilter(&older);
    loop.AddMessageFilter(&newer);
    newer.swallowTag = 2;
    PostMessageW(target.Handle(), kTagged, 2, 0);
    PostMessageW(target.Handle(), kTagged, 3, 0);
    PostQuitMessage(5);
    EXPECT_EQ(loop.Run(), 5) << "Run returns the quit code";
    EXPECT_EQ(log, (std::vector<std::string>{"newer:2", "newer:3", "older:3"}));
    EXPECT_EQ(target.taggedSeen, 1);

    log.clear();
    newer.onAsked = [&] { loop.RemoveMessageFilter(&older); };  // a window going away meanwhile
    PostMessageW(target.Handle(), kTagged, 1, 0);
    PostQuitMessage(0);
    loop.Run();
    EXPECT_EQ(log, (std::vector<std::string>{"newer:1"}));
}

}  // namespace
