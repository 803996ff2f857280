// The command bus: who is called, in which order, and what a send leaves in
// the record; main-thread calls and what the close does with those left. The
// registry is process-wide and never forgets, so every test uses command
// names of its own.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bus_test_support.h"
#include "heap_census.h"
#include "services/update_flow.h"

namespace {

// Fake module handles: the bus compares owners and senders, nothing else.
void* const kModuleA = reinterpret_cast<void*>(0x1000);
void* const kModuleB = reinterpret_cast<void*>(0x2000);
void* const kModuleC = reinterpret_cast<void*>(0x3000);

// Each receiver appends its letter to the record's trail, kept in `object`,
// and sets a non-zero value when it is given one.
std::string& Trail(BASObserveData* record) { return *static_cast<std::string*>(record->object); }
template <char Letter, int64_t Value = 0>
void __cdecl Receive(BASObserveData* r) {
    Trail(r) += Letter;
    if (Value) r->value = Value;
}
constexpr auto ReceiveA = Receive<'A'>, ReceiveB = Receive<'B'>, ReceiveC = Receive<'C'>, ReceiveHost = Receive<'H'>;

// The trail of one send; send is Broadcast, SendUntilHandled or HostSend.
std::string Send(const char* command, void* sender, void (*send)(BASObserveData*) = Broadcast) {
    std::string trail;
    BASObserveData record = Record(command, sender);
    record.object = &trail;
    send(&record);
    return trail;
}

TEST(CommandBus, DeliversInRegistrationOrderSkippingTheSenderAndTheHostsHandlersForTheHostUntilHandled) {
    const char* name = "TEST_ORDER";
    Attach(name, kModuleA, ReceiveA);
    Attach(name, kModuleB, ReceiveB);
    Attach(name, kModuleC, ReceiveC);
    RegisterHandler(name, ReceiveHost);
    EXPECT_EQ(Send(name, kModuleB), "ACH");
    EXPECT_EQ(Send(name, reinterpret_cast<void*>(0x9999)), "ABCH");
    EXPECT_EQ(Send(name, nullptr, HostSend), "ABC");

    // SendUntilHandled stops at the first non-zero value, in either half; Broadcast never stops.
    Attach("TEST_FIRST_RESPONDER", kModuleA, ReceiveA);
    Attach("TEST_FIRST_RESPONDER", kModuleB, Receive<'K', 1>);
    Attach("TEST_FIRST_RESPONDER", kModuleC, ReceiveC);
    EXPECT_EQ(Send("TEST_FIRST_RESPONDER", HostInstance(), SendUntilHandled), "AK");
    EXPECT_EQ(Send("TEST_FIRST_RESPONDER", HostInstance()), "AKC");
    Attach("TEST_HIGH_HALF", kModuleA, Receive<'S', int64_t{1} << 32>);
    Attach("TEST_HIGH_HALF", kModuleB, ReceiveB);
    EXPECT_EQ(Send("TEST_HIGH_HALF", HostInstance(), SendUntilHandled), "S");
}

// Writable, although it lies in the test program's image like its literals.
char globalBuffer[32];

TEST(CommandBus, ComparesNamesByTextNotByPointer) {
    Attach("TEST_BY_TEXT", kModuleA, ReceiveA);
    char stackBuffer[32];
    for (char* buffer : {stackBuffer, globalBuffer}) {
        std::strcpy(buffer, "TEST_BY_TEXT");
        EXPECT_EQ(Send(buffer, kModuleB), "A");
        // The same buffer now names another command: it must not reuse the first list.
        std::strcpy(buffer, "TEST_BY_TEXT_2");
        if (buffer == stackBuffer) {
            EXPECT_EQ(Send(buffer, kModuleB), "");
            Attach("TEST_BY_TEXT_2", kModuleC, ReceiveC);
        }
        EXPECT_EQ(Send(buffer, kModuleB), "C");
    }
}

// More read-only names than the bus keeps addresses for, 16 bytes apart like
// packed literals, so that many share a slot and keep displacing each other.
constexpr int kManyNames = 600;
using NameText = std::array<char, 16>;
constexpr std::array<NameText, kManyNames> kSlotNames = [] {
    std::array<NameText, kManyNames> names{};
    for (int i = 0; i < kManyNames; ++i) {
        for (int c = 0; c < 10; ++c) names[i][c] = "TEST_SLOT_"[c];
        names[i][10] = char('0' + i / 100);
        names[i][11] = char('0' + i / 10 % 10);
        names[i][12] = char('0' + i % 10);
    }
    return names;
}();

void __cdecl CountIntoValue(BASObserveData* r) { ++r->value; }

// Name i has i % 3 + 1 endpoints, so a send resolved to a neighbour's list
// comes back with the wrong count.
TEST(CommandBus, KeepsLiteralNamesApartWhenTheyShareAnAddressSlot) {
    for (int i = 0; i < kManyNames; ++i)
        for (int e = 0; e <= i % 3; ++e) Attach(kSlotNames[i].data(), kModuleB, CountIntoValue);
    int wrong = 0;
    for (int pass = 0; pass < 3; ++pass) {
        for (int k = 0; k < kManyNames; ++k) {
            const int i = pass == 1 ? kManyNames - 1 - k : k * 7 % kManyNames;
            BASObserveData record = Record(kSlotNames[i].data(), kModuleA);
            Broadcast(&record);
            if (record.value != i % 3 + 1) ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0) << "a send reached the list of another name";
}

// Registers ReceiveB for the same name while being delivered to.
void __cdecl RegisterDuringDelivery(BASObserveData* r) {
    Trail(r) += 'R';
    static bool registered = false;
    if (!std::exchange(registered, true)) Attach(r->command, kModuleB, ReceiveB);
}

TEST(CommandBus, EndpointRegisteredDuringADeliveryWaitsForTheNext) {
    Attach("TEST_REGISTER_DURING", kModuleA, RegisterDuringDelivery);
    EXPECT_EQ(Send("TEST_REGISTER_DURING", kModuleC), "R");
    EXPECT_EQ(Send("TEST_REGISTER_DURING", kModuleC), "RB");
}

struct Ran {
    DWORD thread;
    int64_t value;
    bool operator==(const Ran&) const = default;
};
std::vector<Ran> ran;
void Continue(BASObserveData* copy) {
    ran.push_back({GetCurrentThreadId(), copy->value});
    free(copy);
}

TEST(MainThreadCalls, RunInPostingOrderOnTheWindowsThreadAndForwardAsTheHostFreeingTheCopy) {
    MainThreadCalls calls;
    ASSERT_TRUE(calls.IsOpen());
    ran.clear();
    std::thread([] {
        for (int64_t value : {20, 21, 22}) {
            BASObserveData record{.command = "TEST_POSTED", .value = value, .sender = kModuleA};
            PostToMainThread(Continue, CopyRecord(&record));
        }
    }).join();
    EXPECT_TRUE(ran.empty()) << "nothing runs before the loop dispatches";
    PumpThreadMessages();
    const DWORD self = GetCurrentThreadId();
    EXPECT_EQ(ran, (std::vector<Ran>{{self, 20}, {self, 21}, {self, 22}})) << "in posting order, on this thread";

    const char* name = "TEST_FORWARD";
    Attach(name, kModuleA, ReceiveA);
    Attach(name, kModuleB, ReceiveB);
    RegisterHandler(name, ReceiveHost);
    const size_t records = heap_census::LiveBlocksOfSize(sizeof(BASObserveData));
    auto forward = [](BASObserveData* r) {
        PostToMainThread(ForwardToPlugins, CopyRecord(r));
        PumpThreadMessages();
    };
    EXPECT_EQ(Send(name, kModuleA, forward), "AB") << "sent as the host: every plug-in, not the host's handler";
    EXPECT_EQ(heap_census::LiveBlocksOfSize(sizeof(BASObserveData)), records) << "the forwarded copy leaked";
}

// Sizes that no other block of this process has, so that the census counts
// only the texts these tests hand over.
constexpr size_t kNotesSize = 4093, kPathSize = 2 * 1021, kKeptSize = 3001;

int discards;
void CountDiscard(BASObserveData* copy) {
    ++discards;
    free(copy);
}

// Posts from a thread of its own, as a plug-in would: the update answers
// with and without texts to hand over, and one plain record.
void PostUpdateAnswers(void* kept) {
    const char *check = LIBCOMM_COMMAND_CHECK_FOR_UPDATE, *download = LIBCOMM_COMMAND_DOWNLOAD_UPDATE;
    wchar_t *path = static_cast<wchar_t*>(malloc(kPathSize)), *keptText = static_cast<wchar_t*>(kept);
    BASObserveData answers[] = {
        {.command = check, .value = 1, .data = malloc(kNotesSize), .count = 2, .sender = kModuleA},
        {.command = check, .value = 1, .data = kept, .sender = kModuleA},  // count 0: data is not handed over
        {.command = download, .wideText = path, .value = 1, .sender = kModuleA},
        {.command = download, .wideText = keptText, .value = 6, .sender = kModuleA},  // value 6: not handed over
    };
    for (BASObserveData& answer : answers) PostToMainThread(Continue, CopyRecord(&answer), DiscardUpdateAnswer);
    BASObserveData plain = Record("TEST_PLAIN", kModuleA);
    PostToMainThread(Continue, CopyRecord(&plain), CountDiscard);
}

TEST(MainThreadCalls, ClosingFreesQueuedCallsUnrunWithTheTextsTheyHandOverAndLaterPostsAtOnce) {
    using heap_census::LiveBlocksOfSize;
    // The live record copies, release notes and installer paths.
    auto census = [] {
        return std::array{LiveBlocksOfSize(sizeof(BASObserveData)), LiveBlocksOfSize(kNotesSize),
                          LiveBlocksOfSize(kPathSize)};
    };
    const auto before = census();
    void* kept = malloc(kKeptSize);  // the plug-in's own block, which no answer hands over
    ran.clear();
    discards = 0;
    for (int round = 1; round <= 2; ++round) {
        {
            MainThreadCalls calls;  // the second round posts after it is gone
            if (round == 1) {
                std::thread(PostUpdateAnswers, kept).join();
                ASSERT_EQ(census()[0], before[0] + 5) << "the census misses the copies";
            }
        }
        if (round == 2) std::thread(PostUpdateAnswers, kept).join();
        EXPECT_TRUE(ran.empty()) << "a call ran during or after the close";
        EXPECT_EQ(discards, round) << "each queued call is discarded exactly once";
        EXPECT_EQ(census(), before) << "records, release notes or installer paths leaked or were freed twice";
        EXPECT_TRUE(heap_census::IsLiveBlock(kept)) << "a text that no answer hands over was freed";
    }
    free(kept);
}

}  // namespace
