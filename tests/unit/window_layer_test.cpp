// Window objects of the windowing layer: finding the object from the handle,
// message maps and their chaining, subclassed controls and reflected
// notifications.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

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

TEST(MessageMap, UnhandledMessageReachesTheDefaultProcedure) {
    ProbeWindow probe;
    HWND window = probe.CreateHidden();
    probe.swallowSetText = false;  // the handler looks and passes the message on
    SetWindowTextW(window, L"passed on");
    EXPECT_EQ(probe.setTextSeen, 1);
    EXPECT_EQ(TextOf(window), L"passed on") << "DefWindowProc stores the text";
}

TEST(MessageMap, HandledMessageDoesNotReachTheDefaultProcedure) {
    ProbeWindow probe;
    HWND window = probe.CreateHidden();
    probe.swallowSetText = true;
    SetWindowTextW(window, L"swallowed");
    EXPECT_EQ(probe.setTextSeen, 1);
    EXPECT_EQ(TextOf(window), L"");
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
    LRESULT Answer1(UINT, WPARAM, LPARAM, bool&) { return 1; }
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
    LRESULT Answer2(UINT, WPARAM, LPARAM, bool&) { return 2; }
    LRESULT Decline(UINT, WPARAM, LPARAM, bool& handled) {
        ++declined;
        handled = false;
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
    LRESULT OnSetText(UINT, WPARAM, LPARAM, bool& handled) {
        ++seen;
        handled = false;
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
        MESSAGE_HANDLER(OCM_DRAWITEM, OnDrawItem)
        MESSAGE_HANDLER(OCM_COMMAND, OnCommand)
    END_MSG_MAP()

    int drawn = 0;
    UINT drawnId = 0;
    int commands = 0;
    WORD commandCode = 0xFFFF;

private:
    LRESULT OnDrawItem(UINT, WPARAM, LPARAM lParam, bool&) {
        ++drawn;
        drawnId = reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->CtlID;
        return TRUE;
    }
    LRESULT OnCommand(UINT, WPARAM wParam, LPARAM, bool&) {
        ++commands;
        commandCode = HIWORD(wParam);
        return 0;
    }
};

class ReflectingParent : public WindowBase {
public:
    BEGIN_MSG_MAP(ReflectingParent)
        REFLECT_NOTIFICATIONS()
        MESSAGE_HANDLER(WM_COMMAND, OnCommand)
        MESSAGE_HANDLER(WM_DRAWITEM, OnDrawItem)
    END_MSG_MAP()

    int commands = 0;
    int drawn = 0;

protected:
    WindowClassInfo GetWindowClassInfo() const override { return {.name = L"LumarestTestReflector"}; }

private:
    LRESULT OnCommand(UINT, WPARAM, LPARAM, bool&) {
        ++commands;
        return 0;
    }
    LRESULT OnDrawItem(UINT, WPARAM, LPARAM, bool&) {
        ++drawn;
        return TRUE;
    }
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
