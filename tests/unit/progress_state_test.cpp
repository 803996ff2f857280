// The progress dialog's state: status texts set from plug-in threads at full
// speed while the user-interface thread refreshes, and the rules that end a
// run.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "heap_census.h"
#include "ui/progress_state.h"

namespace {

int callbackCalls = 0;
void __cdecl CountEnd(uint32_t, int64_t) { ++callbackCalls; }

// A run of the plug-in "recovery" with an end callback.
class ProgressStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        callbackCalls = 0;
        Begin();
    }
    void Begin() {
        state_.Reset();
        state_.SetOwner("recovery");
        state_.SetEndCallback(CountEnd, 0);
    }
    ProgressState state_;
};

TEST_F(ProgressStateTest, ANewStatusTextRepaintsEvenWhenItsValueIsTheSame) {
    state_.SetStatusText(L"sms.db");
    state_.Refresh();
    EXPECT_FALSE(state_.Refresh()) << "identical values repainted";
    state_.SetStatusText(L"sms.db");
    EXPECT_TRUE(state_.Refresh());
}

TEST_F(ProgressStateTest, EndsWithTheBarAtTheSucceededItems) {
    state_.SetTotal(10);
    state_.SetDone(10);
    state_.AddFailed(3);
    ASSERT_TRUE(state_.MarkFinished());
    state_.ShowEnd(L"Finish", L"Failed");
    EXPECT_EQ(state_.ShownDone(), 7);
}

TEST_F(ProgressStateTest, TheEndCallbackRunsOnceAndOnlyForARunTheUserEndedEarly) {
    EXPECT_FALSE(state_.StopRequestedBy("toolkit")) << "another owner stopped the run";
    state_.EndByUser();
    state_.EndByUser();
    EXPECT_EQ(callbackCalls, 1);

    Begin();
    EXPECT_TRUE(state_.StopRequestedBy("recovery"));
    state_.EndByUser();  // "OK" after the end
    EXPECT_EQ(callbackCalls, 1) << "the callback ran for a run that had ended";
}

// The bar's width is read off the screen in a real run.
TEST(ProgressDrawing, NoPercentForNoTotalAndTheFillInsideBothMargins) {
    EXPECT_EQ(ProgressPercentText(5, 0), L"");
    EXPECT_EQ(ProgressFillWidth(20, 480, 5, 10), 226) << "half of the bar inside both 4-pixel margins";
}

// 300 characters make blocks of a size nothing else in the process uses.
constexpr size_t kMarkedLength = 300;
constexpr size_t kMarkedBlock = sizeof(void*) + (kMarkedLength + 1) * sizeof(wchar_t);

TEST(ProgressStateThreads, FourSendersAndAPainterNeverHoldMoreThanTwoTexts) {
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
            for (int i = 1; i <= kPerSender; ++i) state.SetStatusText(text.c_str());
        });
    }
    for (std::thread& sender : senders) sender.join();
    running = false;
    painter.join();

    state.Refresh();
    EXPECT_LE(heap_census::LiveBlocksOfSize(kMarkedBlock), before + 2) << "superseded texts piled up";
    state.ClearTexts();
}

}  // namespace
