// Dialogs from an in-memory template, run modally and modelessly by the same
// class, with the thread's message filters working during a modal run.
#include <gtest/gtest.h>

#include <windows.h>

#include "dialog_base.h"
#include "windowing_module.h"
#include "window_test_support.h"

namespace {

constexpr UINT kEndWith = WM_APP + 0x200;  // the dialog ends with wParam as its code
constexpr UINT kPing = WM_APP + 0x201;     // a thread message for the filters

DialogTemplateArgs ProbeTemplate() {
    DialogTemplateArgs args;
    args.title = L"Probe dialog";
    args.width = 120;
    args.height = 60;
    return args;
}

class ProbeDialog : public DialogBase {
public:
    ProbeDialog() : DialogBase(ProbeTemplate()) {}

    BEGIN_MSG_MAP(ProbeDialog)
        MSG_WM_INITDIALOG(OnInitDialog)
        MESSAGE_HANDLER(kEndWith, OnEndWith)
        COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
    END_MSG_MAP()

    void OnFinalMessage(HWND window) override { finalWindow = window; }

    std::function<void()> onInit;  // runs at the end of WM_INITDIALOG
    int initialised = 0;
    HWND owner = nullptr;
    bool ownerEnabledWhileRunning = true;
    HWND finalWindow = nullptr;

private:
    bool OnInitDialog(HWND, LPARAM) {
        ++initialised;
        owner = GetWindow(Handle(), GW_OWNER);
        if (onInit) onInit();
        return true;
    }
    LRESULT OnEndWith(UINT, WPARAM code, LPARAM) {
        ownerEnabledWhileRunning = owner && IsWindowEnabled(owner);
        EndDialog(static_cast<INT_PTR>(code));
        return 0;
    }
    void OnCancel(UINT, int, HWND) { EndDialog(IDCANCEL); }
};

class DialogTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(owner_.CreateHidden(), nullptr); }
    ProbeWindow owner_;
    ProbeDialog dialog_;
    LoopDeadline deadline_;
};

TEST_F(DialogTest, ModalRunReturnsTheEndCode) {
    dialog_.onInit = [&] { PostMessageW(dialog_.Handle(), kEndWith, 77, 0); };
    EXPECT_EQ(dialog_.DoModal(owner_.Handle()), 77);
    EXPECT_EQ(dialog_.initialised, 1);
    EXPECT_EQ(dialog_.owner, owner_.Handle());
    EXPECT_EQ(dialog_.Handle(), nullptr) << "the modal run destroys its window";
    EXPECT_NE(dialog_.finalWindow, nullptr);
    EXPECT_FALSE(dialog_.ownerEnabledWhileRunning);
    EXPECT_TRUE(IsWindowEnabled(owner_.Handle())) << "the owner must be enabled again";
}

TEST_F(DialogTest, ModalRunKeepsTheThreadsFiltersWorking) {
    WindowingModule module;
    ThreadMessageLoop loop;
    struct EndingFilter : MessageFilter {
        ProbeDialog* dialog = nullptr;
        bool PreTranslateMessage(MSG* message) override {
            if (message->message != kPing) return false;
            dialog->EndDialog(9);
            return true;
        }
    } filter;
    filter.dialog = &dialog_;
    loop.AddMessageFilter(&filter);
    // A thread message reaches nothing but the filters: the run ends only if
    // the nested loop asks them.
    dialog_.onInit = [] { PostThreadMessageW(GetCurrentThreadId(), kPing, 0, 0); };
    EXPECT_EQ(dialog_.DoModal(owner_.Handle()), 9);
    loop.RemoveMessageFilter(&filter);
}

TEST_F(DialogTest, SameClassRunsModelesslyAndEndsWithItsCode) {
    WindowingModule module;
    ThreadMessageLoop loop;
    dialog_.onInit = [&] { PostMessageW(dialog_.Handle(), kEndWith, 1, 0); };
    dialog_.DoModal(owner_.Handle());

    dialog_.onInit = nullptr;
    HWND window = dialog_.Create(owner_.Handle());
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(dialog_.IsModal());
    EXPECT_EQ(dialog_.initialised, 2) << "both ways go through WM_INITDIALOG";
    EXPECT_EQ(FindWindowObject(window), static_cast<MessageMap*>(&dialog_));
    PostMessageW(window, kEndWith, 21, 0);
    EXPECT_TRUE(PumpUntil(loop, [&] { return dialog_.Handle() == nullptr; }));
    EXPECT_EQ(dialog_.Result(), 21);
    EXPECT_EQ(dialog_.finalWindow, window);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(DialogTest, ModelessDialogGetsKeyboardHandlingThroughTheFilter) {
    WindowingModule module;
    ThreadMessageLoop loop;
    HWND window = dialog_.Create(owner_.Handle());
    ASSERT_NE(window, nullptr);
    // Escape becomes IDCANCEL only through IsDialogMessage; dispatched
    // directly to the dialog it would do nothing.
    PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(PumpUntil(loop, [&] { return dialog_.Handle() == nullptr; }, 3000));
    EXPECT_EQ(dialog_.Result(), IDCANCEL);
}

}  // namespace
