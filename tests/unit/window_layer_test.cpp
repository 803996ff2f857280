// Window objects of the windowing layer: finding the object from the handle,
// message maps and their chaining, subclassed controls and reflected
// notifications.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "double_buffer.h"
#include "subclass.h"
#include "window_test_support.h"

namespace {

std::wstring TextOf(HWND window) {
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    return text;
}

TEST(WindowObject, IsFoundFromTheHandle) {
    ProbeWindow probe;
    HWND window = probe.CreateHidden();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(probe.Handle(), window);
    EXPECT_EQ(FindWindowObject(window), static_cast<MessageMap*>(&probe));
    EXPECT_EQ(GetWindowLongPtrW(window, GWLP_USERDATA), 0) << "the user data belongs to the drop shadow";
    SetWindowLongPtrW(window, GWLP_USERDATA, 0x5A5A5A5A);
    EXPECT_EQ(SendMessageW(window, kAsk, 0, 0), 42);
}

TEST(WindowTeardown, ForgetsTheObjectBeforeItsFinalMessage) {
    ProbeWindow probe;
    HWND window = probe.CreateHidden();
    DestroyWindow(window);
    EXPECT_EQ(probe.finalWindow, window);
    EXPECT_EQ(probe.linkAtFinalMessage, nullptr) << "the property must be gone before OnFinalMessage";
    EXPECT_EQ(probe.handleAtFinalMessage, nullptr);
    EXPECT_EQ(probe.Handle(), nullptr);
}

TEST(MessageMap, OnlyAPassedOnMessageReachesTheDefaultProcedure) {
    ProbeWindow probe;
    HWND window = probe.CreateHidden();
    probe.swallowSetText = false;  // the handler looks and passes the message on
    SetWindowTextW(window, L"passed on");
    EXPECT_EQ(TextOf(window), L"passed on") << "DefWindowProc stores the text";
    probe.swallowSetText = true;
    SetWindowTextW(window, L"swallowed");
    EXPECT_EQ(probe.setTextSeen, 2);
    EXPECT_EQ(TextOf(window), L"passed on");
}

constexpr UINT kBaseOnly = WM_APP + 0x4001;
constexpr UINT kDeclinedByDerived = WM_APP + 0x4002;

class BaseWindow : public WindowBase {
public:
    BEGIN_MSG_MAP(BaseWindow)
        MESSAGE_HANDLER(kAsk, Answer1)
        MESSAGE_HANDLER(kBaseOnly, Answer1)
        MESSAGE_HANDLER(kDeclinedByDerived, Answer1)
        CHAIN_MSG_MAP(WindowBase)
    END_MSG_MAP()

protected:
    WindowClassInfo GetWindowClassInfo() const override { return {.name = L"LumarestTestChain"}; }
    LRESULT Answer1(UINT, WPARAM, LPARAM) { return 1; }
};

class DerivedWindow : public BaseWindow {
public:
    BEGIN_MSG_MAP(DerivedWindow)
        MESSAGE_HANDLER(kAsk, Answer2)
        MESSAGE_HANDLER(kDeclinedByDerived, Decline)
        CHAIN_MSG_MAP(BaseWindow)
    END_MSG_MAP()

    int declined = 0;

private:
    LRESULT Answer2(UINT, WPARAM, LPARAM) { return 2; }
    LRESULT Decline(UINT, WPARAM, LPARAM) {
        ++declined;
        SetMsgHandled(false);
        return 99;
    }
};

TEST(MessageMap, DerivedEntryWinsAndTheRestGoToTheChainedBase) {
    DerivedWindow window;
    ASSERT_NE(window.Create({.rect = {0, 0, 50, 50}, .style = WS_POPUP}), nullptr);
    EXPECT_EQ(SendMessageW(window.Handle(), kAsk, 0, 0), 2);
    EXPECT_EQ(SendMessageW(window.Handle(), kBaseOnly, 0, 0), 1) << "not chained to the base";
    EXPECT_EQ(SendMessageW(window.Handle(), kDeclinedByDerived, 0, 0), 1) << "a declined message goes on";
    EXPECT_EQ(window.declined, 1);
}

// Records what the typed entries hand their handlers.
class CrackedWindow : public WindowBase {
public:
    BEGIN_MSG_MAP(CrackedWindow)
        MSG_WM_SIZE(OnSize)
        MSG_WM_MOVE(OnMove)
        MSG_WM_LBUTTONDOWN(OnLButtonDown)
        MSG_WM_NCHITTEST(OnNcHitTest)
        MSG_WM_PAINT_BUFFERED(Draw)
        CHAIN_MSG_MAP(WindowBase)
    END_MSG_MAP()

    SIZE size{};
    POINT moved{}, pressed{}, hitPoint{};
    bool passHitTestOn = false;

protected:
    WindowClassInfo GetWindowClassInfo() const override { return {.name = L"LumarestTestCracked"}; }

private:
    void OnSize(UINT, SIZE clientSize) { size = clientSize; }
    void OnMove(POINT topLeft) { moved = topLeft; }
    void OnLButtonDown(UINT, POINT point) { pressed = point; }
    UINT OnNcHitTest(POINT screenPoint) {
        hitPoint = screenPoint;
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
    EXPECT_EQ(cracked.size.cy, 300);
    SendMessageW(window, WM_MOVE, 0, MAKELPARAM(-1920, -5));
    EXPECT_EQ(cracked.moved.x, -1920) << "a position left of the primary monitor is negative";
    EXPECT_EQ(cracked.moved.y, -5);
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-3, 7));
    EXPECT_EQ(cracked.pressed.x, -3);
    EXPECT_EQ(cracked.pressed.y, 7);

    EXPECT_EQ(SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(-100, -200)), HTCAPTION);
    EXPECT_EQ(cracked.hitPoint.x, -100);
    EXPECT_EQ(cracked.hitPoint.y, -200);
    cracked.passHitTestOn = true;
    EXPECT_EQ(SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(-100, -200)), HTNOWHERE)
        << "a passed-on message must get the default procedure's answer, not the handler's";

    WindowDC dc(window);
    EXPECT_EQ(SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.get()), 0), TRUE)
        << "a buffered painter must answer the erase itself, or the background flashes";
}

// A subclassed "EDIT" that looks at WM_SETTEXT and passes it on.
class EditSpy : public SubclassedWindow {
public:
    BEGIN_MSG_MAP(EditSpy)
        MESSAGE_HANDLER(WM_SETTEXT, OnSetText)
    END_MSG_MAP()

    void OnFinalMessage(HWND window) override { finalWindow = window; }
    int seen = 0;
    HWND finalWindow = nullptr;

private:
    LRESULT OnSetText(UINT, WPARAM, LPARAM) {
        ++seen;
        SetMsgHandled(false);
        return 0;
    }
};

class Subclass : public testing::Test {
protected:
    void SetUp() override {
        parent_.CreateHidden();
        edit_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 80, 20, parent_.Handle(), nullptr, nullptr, nullptr);
        ASSERT_NE(edit_, nullptr);
    }
    ProbeWindow parent_;
    HWND edit_ = nullptr;
};

TEST_F(Subclass, ControlMessagesPassThroughTheObject) {
    EditSpy spy;
    ASSERT_TRUE(spy.Attach(edit_));
    SetWindowTextW(edit_, L"typed");
    EXPECT_EQ(spy.seen, 1);
    EXPECT_EQ(TextOf(edit_), L"typed") << "the control's own procedure must still get the message";
    EXPECT_EQ(FindWindowObject(edit_), static_cast<MessageMap*>(&spy));
}

TEST_F(Subclass, DetachRestoresTheOriginalProcedure) {
    const LONG_PTR original = GetWindowLongPtrW(edit_, GWLP_WNDPROC);
    EditSpy spy;
    ASSERT_TRUE(spy.Attach(edit_));
    EXPECT_NE(GetWindowLongPtrW(edit_, GWLP_WNDPROC), original);
    EXPECT_EQ(spy.Detach(), edit_);
    EXPECT_EQ(GetWindowLongPtrW(edit_, GWLP_WNDPROC), original);
    EXPECT_EQ(FindWindowObject(edit_), nullptr);
    SetWindowTextW(edit_, L"after");
    EXPECT_EQ(spy.seen, 0);
}

TEST_F(Subclass, DestroyedControlEndsTheAttachment) {
    EditSpy spy;
    ASSERT_TRUE(spy.Attach(edit_));
    DestroyWindow(edit_);
    EXPECT_EQ(spy.finalWindow, edit_);
    EXPECT_EQ(spy.Handle(), nullptr) << "the object must not detach from a dead handle later";
}

constexpr int kOwnerDrawnId = 101;
constexpr int kPlainId = 102;

// An owner-drawn "BUTTON" that draws itself from the reflected WM_DRAWITEM.
class SelfDrawingButton : public SubclassedWindow {
public:
    BEGIN_MSG_MAP(SelfDrawingButton)
        MSG_OCM_DRAWITEM(OnDrawItem)
        COMMAND_REFLECTED_HANDLER(OnCommand)
    END_MSG_MAP()

    int drawn = 0;
    UINT drawnId = 0;
    int commands = 0;
    WORD commandCode = 0xFFFF;

private:
    void OnDrawItem(UINT, DRAWITEMSTRUCT* item) {
        ++drawn;
        drawnId = item->CtlID;
    }
    void OnCommand(UINT code, int, HWND) {
        ++commands;
        commandCode = static_cast<WORD>(code);
    }
};

class ReflectingParent : public WindowBase {
public:
    BEGIN_MSG_MAP(ReflectingParent)
        REFLECT_NOTIFICATIONS()
        COMMAND_CODE_HANDLER(BN_CLICKED, OnCommand)
        MSG_WM_DRAWITEM(OnDrawItem)
    END_MSG_MAP()

    int commands = 0;
    int drawn = 0;

protected:
    WindowClassInfo GetWindowClassInfo() const override { return {.name = L"LumarestTestReflector"}; }

private:
    void OnCommand(UINT, int, HWND) { ++commands; }
    void OnDrawItem(UINT, DRAWITEMSTRUCT*) { ++drawn; }
};

class Reflection : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(parent_.Create({.rect = {30, 30, 230, 130}, .style = WS_POPUP}), nullptr);
        ownerDrawn_ = MakeButton(BS_OWNERDRAW, kOwnerDrawnId, 0);
        plain_ = MakeButton(BS_PUSHBUTTON, kPlainId, 100);
        ASSERT_TRUE(button_.Attach(ownerDrawn_));
    }
    HWND MakeButton(DWORD style, int id, int x) {
        return CreateWindowExW(0, L"BUTTON", L"b", WS_CHILD | WS_VISIBLE | style, x, 0, 80, 30, parent_.Handle(),
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    }
    ReflectingParent parent_;
    SelfDrawingButton button_;
    HWND ownerDrawn_ = nullptr;
    HWND plain_ = nullptr;
};

TEST_F(Reflection, DrawItemReachesTheOwnerDrawnChild) {
    ShowWindow(parent_.Handle(), SW_SHOWNA);  // only a visible button paints
    RedrawWindow(ownerDrawn_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_GT(button_.drawn, 0);
    EXPECT_EQ(button_.drawnId, static_cast<UINT>(kOwnerDrawnId));
    EXPECT_EQ(parent_.drawn, 0) << "a reflected notification must not also reach the parent's handler";
}

TEST_F(Reflection, CommandReachesTheChildObject) {
    SendMessageW(ownerDrawn_, BM_CLICK, 0, 0);
    EXPECT_EQ(button_.commands, 1);
    EXPECT_EQ(button_.commandCode, BN_CLICKED);
    EXPECT_EQ(parent_.commands, 0);
}

TEST_F(Reflection, ChildWithoutAnObjectStaysWithTheParent) {
    SendMessageW(plain_, BM_CLICK, 0, 0);
    EXPECT_EQ(parent_.commands, 1);
    EXPECT_EQ(button_.commands, 0);
}

}  // namespace
