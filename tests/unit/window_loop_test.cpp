// The message loop's contracts: filters newest first, swallowing, and changes
// while the filters are being asked. Dialogs run modally and modelessly in
// the dialog toolkit's own tests.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "window_test_support.h"

namespace {

constexpr UINT kTagged = WM_APP + 0x100;  // wParam carries a tag

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

class LoopTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(target_.CreateHidden(), nullptr);
        loop_.AddMessageFilter(&older_);
        loop_.AddMessageFilter(&newer_);
    }
    void PostTagged(WPARAM tag) { PostMessageW(target_.Handle(), kTagged, tag, 0); }
    int Delivered() { return target_.appMessages[kTagged]; }

    ProbeWindow target_;
    MessageLoop loop_;
    LoopDeadline deadline_;
    std::vector<std::string> log_;
    LoggingFilter older_{log_, "older"}, newer_{log_, "newer"};
};

TEST_F(LoopTest, AsksFiltersNewestFirstAndDispatchesOnlyWhatNoneSwallowed) {
    newer_.swallowTag = 2;
    PostTagged(2);
    PostTagged(3);
    PostQuitMessage(5);
    EXPECT_EQ(loop_.Run(), 5) << "Run returns the quit code";
    EXPECT_EQ(log_, (std::vector<std::string>{"newer:2", "newer:3", "older:3"}));
    EXPECT_EQ(Delivered(), 1);
}

TEST_F(LoopTest, AFilterRemovedWhileAskingIsNotCalled) {
    newer_.onAsked = [&] { loop_.RemoveMessageFilter(&older_); };  // a window going away meanwhile
    PostTagged(1);
    PostQuitMessage(0);
    loop_.Run();
    EXPECT_EQ(log_, (std::vector<std::string>{"newer:1"}));
}

}  // namespace
