// The message loop's contracts (filters newest first, swallowing, idle time,
// changes while the lists are being asked) and the windowing module's table
// of loops.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "windowing_module.h"
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
    void SetUp() override { ASSERT_NE(target_.CreateHidden(), nullptr); }
    void PostTagged(WPARAM tag) { PostMessageW(target_.Handle(), kTagged, tag, 0); }
    int Delivered() { return target_.appMessages[kTagged]; }
    // Runs the loop over what is queued now, then ends it.
    int RunQueued() {
        PostQuitMessage(5);
        return loop_.Run();
    }

    ProbeWindow target_;
    MessageLoop loop_;
    LoopDeadline deadline_;
    std::vector<std::string> log_;
};

TEST_F(LoopTest, FiltersAreAskedNewestFirst) {
    LoggingFilter older(log_, "older"), newer(log_, "newer");
    loop_.AddMessageFilter(&older);
    loop_.AddMessageFilter(&newer);
    PostTagged(1);
    EXPECT_EQ(RunQueued(), 5) << "Run returns the quit code";
    EXPECT_EQ(log_, (std::vector<std::string>{"newer:1", "older:1"}));
    EXPECT_EQ(Delivered(), 1);
}

TEST_F(LoopTest, SwallowedMessageGoesNoFurther) {
    LoggingFilter older(log_, "older"), newer(log_, "newer");
    newer.swallowTag = 2;
    loop_.AddMessageFilter(&older);
    loop_.AddMessageFilter(&newer);
    PostTagged(2);
    PostTagged(3);
    RunQueued();
    EXPECT_EQ(log_, (std::vector<std::string>{"newer:2", "newer:3", "older:3"}));
    EXPECT_EQ(Delivered(), 1) << "only the message nobody swallowed is dispatched";
}

TEST_F(LoopTest, FilterRemovedByAnotherWhileAskingIsNotCalled) {
    LoggingFilter older(log_, "older"), newer(log_, "newer");
    loop_.AddMessageFilter(&older);
    loop_.AddMessageFilter(&newer);
    newer.onAsked = [&] { loop_.RemoveMessageFilter(&older); };  // a window going away meanwhile
    PostTagged(1);
    RunQueued();
    EXPECT_EQ(log_, (std::vector<std::string>{"newer:1"}));
}

class CountingIdleHandler : public IdleHandler {
public:
    bool OnIdle() override {
        ++calls;
        if (onIdle) return onIdle();
        return false;
    }
    int calls = 0;
    std::function<bool()> onIdle;
};

TEST_F(LoopTest, IdleHandlersRunOnceTheQueueIsEmpty) {
    CountingIdleHandler idle;
    int deliveredAtFirstIdle = -1;
    idle.onIdle = [&] {
        if (deliveredAtFirstIdle < 0) deliveredAtFirstIdle = Delivered();
        PostQuitMessage(0);
        return false;
    };
    loop_.AddIdleHandler(&idle);
    for (WPARAM tag = 1; tag <= 3; ++tag) PostTagged(tag);
    EXPECT_EQ(loop_.Run(), 0);
    EXPECT_EQ(deliveredAtFirstIdle, 3) << "idle time came while messages were waiting";
    EXPECT_GE(idle.calls, 1);
}

TEST(WindowingModule, RecordsTheMainThreadAndOneLoopPerThread) {
    MessageLoop mainLoop, otherLoop, secondLoop;
    {
        WindowingModule module;
        const DWORD mainThread = GetCurrentThreadId();
        EXPECT_EQ(WindowingModule::MainThreadId(), mainThread);
        EXPECT_TRUE(WindowingModule::AddMessageLoop(&mainLoop));
        EXPECT_FALSE(WindowingModule::AddMessageLoop(&secondLoop)) << "a thread has one loop";
        EXPECT_EQ(WindowingModule::GetMessageLoop(), &mainLoop);

        MessageLoop* seenFromOther = &secondLoop;
        MessageLoop* mainSeenFromOther = nullptr;
        MessageLoop* ownSeenFromOther = nullptr;
        std::thread other([&] {
            seenFromOther = WindowingModule::GetMessageLoop();
            mainSeenFromOther = WindowingModule::GetMessageLoop(mainThread);
            WindowingModule::AddMessageLoop(&otherLoop);
            ownSeenFromOther = WindowingModule::GetMessageLoop();
            WindowingModule::RemoveMessageLoop();
        });
        other.join();
        EXPECT_EQ(seenFromOther, nullptr) << "another thread must not get the main thread's loop";
        EXPECT_EQ(mainSeenFromOther, &mainLoop);
        EXPECT_EQ(ownSeenFromOther, &otherLoop);
        EXPECT_EQ(WindowingModule::GetMessageLoop(), &mainLoop);
    }
    EXPECT_EQ(WindowingModule::GetMessageLoop(), nullptr) << "terminating the module forgets every loop";
    EXPECT_EQ(WindowingModule::MainThreadId(), 0u);
    EXPECT_FALSE(WindowingModule::AddMessageLoop(&mainLoop));
}

}  // namespace
