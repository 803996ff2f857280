// The windowing layer: finding the object from the handle, the typed
// crackers, and the message loop's filters (newest first, swallowing).
// Chaining, subclassing, reflection and painting are exercised by every
// window and dialog of the product's own tests.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "message_loop.h"
#include "window_base.h"
#include "window_object.h"

namespace {

constexpr UINT kTagged = WM_APP + 0x100;  // wParam carries a tag; counted by ProbeWindow

// Records what reaches it.
class ProbeWindow : public WindowBase {
public:
    BEGIN_MSG_MAP(ProbeWindow)
    MESSAGE_HANDLER(kTagged, OnTagged)
    CHAIN_MSG_MAP(WindowBase)
    END_MSG_MAP()

    // Hidden: showing a window costs seconds under Wine.
    HWND CreateHidden() { return Create({.rect = {0, 0, 200, 100}, .style = WS_POPUP}); }

    void OnFinalMessage(HWND window) override {
        finalWindow = window;
        linkAtFinalMessage = FindWindowObject(window);
    }

    int taggedSeen = 0;
    HWND finalWindow = nullptr;
    MessageMap* linkAtFinalMessage = nullptr;

protected:
    WindowClassInfo GetWindowClassInfo() const override { return {.name = L"LumarestTestProbe"}; }

private:
    LRESULT OnTagged(UINT, WPARAM, LPARAM) { return ++taggedSeen; }
};

TEST(WindowObject, IsFoundFromItsHandleAndIsForgottenBeforeItsFinalMessage) {
    ProbeWindow probe;
    HWND window = probe.CreateHidden();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(FindWindowObject(window), static_cast<MessageMap*>(&probe));
    DestroyWindow(window);
    EXPECT_EQ(probe.finalWindow, window);
    EXPECT_EQ(probe.linkAtFinalMessage, nullptr) << "the property must be gone before OnFinalMessage";
}

// Records what the typed entries hand their handlers.
class CrackedWindow : public WindowBase {
public:
    BEGIN_MSG_MAP(CrackedWindow)
    MSG_WM_SIZE(OnSize)
    MSG_WM_MOVE(OnMove)
    MSG_WM_NCHITTEST(OnNcHitTest)
    CHAIN_MSG_MAP(WindowBase)
    END_MSG_MAP()

    POINT moved{};
    bool passHitTestOn = false;

protected:
    WindowClassInfo GetWindowClassInfo() const override { return {.name = L"LumarestTestCracked"}; }

private:
    void OnSize(UINT, SIZE) {}
    void OnMove(POINT topLeft) { moved = topLeft; }
    UINT OnNcHitTest(POINT) {
        if (passHitTestOn) {
            SetMsgHandled(false);
            // A nested message handled meanwhile must not turn this one's flag back on.
            SendMessageW(Handle(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(1, 1));
        }
        return HTCAPTION;
    }
};

TEST(MessageCrackers, UnpackSignedPointsAndPassOnWhenAsked) {
    CrackedWindow cracked;
    HWND window = cracked.Create({.rect = {0, 0, 50, 50}, .style = WS_POPUP});
    ASSERT_NE(window, nullptr);
    SendMessageW(window, WM_MOVE, 0, MAKELPARAM(-1920, -5));
    EXPECT_EQ(cracked.moved.x, -1920) << "a position left of the primary monitor is negative";
    EXPECT_EQ(cracked.moved.y, -5);
    cracked.passHitTestOn = true;
    EXPECT_EQ(SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(-100, -200)), HTNOWHERE)
        << "a passed-on message must get the default procedure's answer, not the handler's";
}

// Logs "name:tag" for each tagged message it is asked about.
class LoggingFilter : public MessageFilter {
public:
    LoggingFilter(std::vector<std::string>& log, std::string name) : log_(log), name_(std::move(name)) {}
    bool PreTranslateMessage(MSG* message) override {
        if (message->message != kTagged) return false;
        log_.push_back(name_ + ":" + std::to_string(message->wParam));
        return message->wParam == swallowTag;
    }
    WPARAM swallowTag = 0;

private:
    std::vector<std::string>& log_;
    std::string name_;
};

// The quit is queued behind the tagged messages, so the run ends by itself.
TEST(MessageLoop, AsksFiltersNewestFirstAndDispatchesOnlyWhatNoneSwallowed) {
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
}

}  // namespace
