// The progress dialog's state: counters and status texts set from plug-in
// threads at full speed while the user-interface thread refreshes, and the
// rules that end a run.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "heap_census.h"
#include "ui/progress_state.h"

namespace {

int callbackCalls = 0;
int64_t callbackDatum = 0;
void __cdecl CountEnd(uint32_t, int64_t datum) {
    ++callbackCalls;
    callbackDatum = datum;
}

class ProgressStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        callbackCalls = 0;
        Begin("recovery", CountEnd, 42);
    }
    void Begin(const char* owner, ProgressEndCallback callback, int64_t datum) {
        state_.Reset();
        state_.SetOwner(owner);
        state_.SetEndCallback(callback, datum);
    }
    ProgressState state_;
};

TEST_F(ProgressStateTest, RepeatedValuesNeedNoRepaint) {
    state_.SetDone(3);
    state_.SetTotal(10);
    state_.SetStatusText(L"sms.db");
    EXPECT_TRUE(state_.Refresh());
    EXPECT_EQ(state_.ShownDone(), 3);
    EXPECT_STREQ(state_.ShownText(), L"sms.db");
    state_.SetDone(3);
    state_.SetTotal(10);
    EXPECT_FALSE(state_.Refresh()) << "identical values repainted";
    state_.SetStatusText(L"sms.db");
    EXPECT_TRUE(state_.Refresh()) << "a new text, even an equal one, is a new status";
}

TEST_F(ProgressStateTest, EndsWithTheFailuresBeforeTheLastTextAndTheBarAtTheSucceededItems) {
    state_.SetTotal(10);
    state_.SetDone(10);
    state_.AddFailed(2);
    state_.AddFailed(1);
    state_.SetStatusText(L"photo-0009.jpg");
    state_.Refresh();
    ASSERT_TRUE(state_.MarkFinished());
    state_.ShowEnd(L"Finish", L"Failed");
    EXPECT_STREQ(state_.ShownText(), L"Failed(3) photo-0009.jpg");
    EXPECT_EQ(state_.ShownDone(), 7);
    EXPECT_EQ(state_.ShownTotal(), 10);

    Begin("recovery", nullptr, 0);
    state_.SetStatusText(L"last");
    state_.Refresh();
    state_.MarkFinished();
    state_.ShowEnd(L"Finish", L"Failed");
    EXPECT_STREQ(state_.ShownText(), L"Finish");
}

TEST_F(ProgressStateTest, TheEndCallbackRunsOnceAndOnlyForARunTheUserEndedEarly) {
    EXPECT_FALSE(state_.StopRequestedBy("toolkit")) << "another owner stopped the run";
    EXPECT_FALSE(state_.IsFinished());
    state_.EndByUser();
    state_.EndByUser();
    EXPECT_EQ(callbackCalls, 1);
    EXPECT_EQ(callbackDatum, 42);

    Begin("recovery", CountEnd, 7);
    EXPECT_TRUE(state_.StopRequestedBy("recovery"));
    EXPECT_FALSE(state_.StopRequestedBy("recovery")) << "a finished run was stopped again";
    state_.EndByUser();  // "OK" after the end
    EXPECT_EQ(callbackCalls, 1) << "the callback ran for a run that had ended";
}

// The bar's width is read off the screen in a real run.
TEST(ProgressDrawing, PercentWithTwoDecimalsAndAnEmptyBarForNoTotal) {
    EXPECT_EQ(ProgressPercentText(1, 3), L"33.33%");
    EXPECT_EQ(ProgressPercentText(5, 0), L"");
    EXPECT_EQ(ProgressFillWidth(20, 480, 5, 0), 0);
    EXPECT_EQ(ProgressFillWidth(20, 480, 5, 10), 226) << "half of the bar inside both 4-pixel margins";
}

// 300 characters make blocks of a size nothing else in the process uses.
constexpr size_t kMarkedLength = 300;
constexpr size_t kMarkedBlock = sizeof(void*) + (kMarkedLength + 1) * sizeof(wchar_t);

TEST(ProgressStateThreads, FourSendersAndAPainterLoseNoCountAndNeverHoldMoreThanTwoTexts) {
    ProgressState state;
    state.Reset();
    const size_t before = heap_census::LiveBlocksOfSize(kMarkedBlock);
    constexpr int kSenders = 4;
    constexpr int kPerSender = 20000;
    std::atomic<bool> running{true};
    std::thread painter([&] {
        while (running) {
            state.Refresh();
            // Reads every character, as drawing would: a freed text shows here.
            ASSERT_TRUE(std::wcslen(state.ShownText()) == 0 || std::wcslen(state.ShownText()) == kMarkedLength);
        }
    });
    std::vector<std::thread> senders;
    for (int s = 0; s < kSenders; ++s) {
        senders.emplace_back([&, s] {
            std::wstring text(kMarkedLength, static_cast<wchar_t>(L'a' + s));
            for (int i = 1; i <= kPerSender; ++i) {
                state.AddFailed(1);
                state.SetDone(i);
                state.SetTotal(kPerSender);
                state.SetStatusText(text.c_str());
            }
        });
    }
    for (std::thread& sender : senders) sender.join();
    running = false;
    painter.join();

    EXPECT_EQ(state.Failed(), kSenders * kPerSender);
    state.Refresh();
    EXPECT_EQ(state.ShownDone(), kPerSender);
    EXPECT_LE(heap_census::LiveBlocksOfSize(kMarkedBlock), before + 2) << "superseded texts piled up";
    state.ClearTexts();
    EXPECT_EQ(heap_census::LiveBlocksOfSize(kMarkedBlock), before) << "a text leaked";
}

}  // namespace
