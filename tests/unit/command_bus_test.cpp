// The command bus: who is called, in which order, and what a send leaves in
// the record. The registry is process-wide and never forgets, so every test
// uses command names of its own.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <atomic>
#include <utility>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bus_test_support.h"
#include "common/command_bus.h"
#include "common/observer.h"

namespace {

// Fake module handles: the bus compares owners and senders, nothing else.
void* const kModuleA = reinterpret_cast<void*>(0x1000);
void* const kModuleB = reinterpret_cast<void*>(0x2000);
void* const kModuleC = reinterpret_cast<void*>(0x3000);

// Each receiver appends its letter to the record's trail, kept in `object`.
std::string& Trail(BASObserveData* record) { return *static_cast<std::string*>(record->object); }
void __cdecl ReceiveA(BASObserveData* r) { Trail(r) += 'A'; }
void __cdecl ReceiveB(BASObserveData* r) { Trail(r) += 'B'; }
void __cdecl ReceiveC(BASObserveData* r) { Trail(r) += 'C'; }
void __cdecl ReceiveHost(BASObserveData* r) { Trail(r) += 'H'; }

CommandEndpoint* Attach(const char* command, void* owner, BASCommandFunction receive) {
    CommandEndpoint* endpoint = NewEndpoint(owner);
    endpoint->receive = receive;
    RegisterEndpoint(command, endpoint);
    return endpoint;
}

std::string Send(const char* command, void* sender) {
    std::string trail;
    BASObserveData record = Record(command, sender);
    record.object = &trail;
    Broadcast(&record);
    return trail;
}

TEST(CommandBus, DeliversInRegistrationOrderAndSkipsTheSender) {
    const char* name = "TEST_ORDER";
    Attach(name, kModuleA, ReceiveA);
    Attach(name, kModuleB, ReceiveB);
    Attach(name, kModuleC, ReceiveC);
    RegisterHandler(name, ReceiveHost);
    EXPECT_EQ(Send(name, kModuleB), "ACH");
    EXPECT_EQ(Send(name, kModuleA), "BCH");
    EXPECT_EQ(Send(name, reinterpret_cast<void*>(0x9999)), "ABCH");
}

TEST(CommandBus, HostSendNeverReachesTheHostsOwnHandler) {
    const char* name = "TEST_HOST_SEND";
    RegisterHandler(name, ReceiveHost);
    Attach(name, kModuleA, ReceiveA);
    std::string trail;
    BASObserveData record = Record(name, nullptr);
    record.object = &trail;
    HostSend(&record);
    EXPECT_EQ(trail, "A");
    EXPECT_EQ(record.sender, HostInstance());
}

TEST(CommandBus, DropsRecordsWithoutSenderOrWithAnUnknownName) {
    const char* name = "TEST_DROPS";
    Attach(name, kModuleA, ReceiveA);
    EXPECT_EQ(Send(name, nullptr), "") << "a sender of 0 reaches nobody";
    BASObserveData before = Record("TEST_NOBODY_REGISTERED", kModuleB);
    std::string trail;
    before.object = &trail;
    before.value = 77;
    BASObserveData after = before;
    Broadcast(&after);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0) << "an unknown name leaves the record unchanged";
}

TEST(CommandBus, ComparesNamesByTextNotByPointer) {
    Attach("TEST_BY_TEXT", kModuleA, ReceiveA);
    char buffer[32];
    std::strcpy(buffer, "TEST_BY_TEXT");
    EXPECT_EQ(Send(buffer, kModuleB), "A");
    // The same buffer now names another command: it must not reuse the first list.
    std::strcpy(buffer, "TEST_BY_TEXT_2");
    EXPECT_EQ(Send(buffer, kModuleB), "");
    Attach("TEST_BY_TEXT_2", kModuleC, ReceiveC);
    EXPECT_EQ(Send(buffer, kModuleB), "C");
}

void __cdecl KeepOpen(BASObserveData* r) {
    Trail(r) += 'K';
    r->value = 1;
}

TEST(CommandBus, SendUntilHandledStopsAtTheFirstResponder) {
    const char* name = "TEST_FIRST_RESPONDER";
    Attach(name, kModuleA, ReceiveA);
    Attach(name, kModuleB, KeepOpen);
    Attach(name, kModuleC, ReceiveC);
    std::string trail;
    BASObserveData record = Record(name, HostInstance());
    record.object = &trail;
    SendUntilHandled(&record);
    EXPECT_EQ(trail, "AK");
    EXPECT_EQ(record.value, 1);
}

void __cdecl SetHighHalf(BASObserveData* r) {
    Trail(r) += 'S';
    r->value = int64_t{1} << 32;
}

TEST(CommandBus, SendUntilHandledLooksAtBothHalvesOfValue) {
    const char* name = "TEST_HIGH_HALF";
    Attach(name, kModuleA, SetHighHalf);
    Attach(name, kModuleB, ReceiveB);
    std::string trail;
    BASObserveData record = Record(name, HostInstance());
    record.object = &trail;
    SendUntilHandled(&record);
    EXPECT_EQ(trail, "S");
}

// Registers ReceiveB for the same name while being delivered to.
void __cdecl RegisterDuringDelivery(BASObserveData* r) {
    Trail(r) += 'R';
    static bool registered = false;
    if (!registered) {
        registered = true;
        Attach(r->command, kModuleB, ReceiveB);
    }
}

TEST(CommandBus, EndpointRegisteredDuringADeliveryWaitsForTheNext) {
    const char* name = "TEST_REGISTER_DURING";
    Attach(name, kModuleA, RegisterDuringDelivery);
    EXPECT_EQ(Send(name, kModuleC), "R");
    EXPECT_EQ(Send(name, kModuleC), "RB");
}

void __cdecl ReenterOnce(BASObserveData* r) {
    Trail(r) += '(';
    if (Trail(r).size() < 4) {
        BASObserveData inner = Record("TEST_REENTRY_INNER", kModuleA);
        inner.object = r->object;
        Broadcast(&inner);
        BASObserveData again = Record(r->command, kModuleC);
        again.object = r->object;
        Broadcast(&again);
    }
    Trail(r) += ')';
}

TEST(CommandBus, ReceiversMaySendAgainWithoutDeadlock) {
    Attach("TEST_REENTRY", kModuleA, ReenterOnce);
    Attach("TEST_REENTRY_INNER", kModuleB, ReceiveB);
    // Outer '(' -> inner B -> nested '(' ... each level sends once more until the trail is long.
    std::string trail = Send("TEST_REENTRY", kModuleC);
    EXPECT_EQ(trail, "(B(B()))");
}

std::atomic<int> stressCounts[3];
void __cdecl Count0(BASObserveData*) { stressCounts[0].fetch_add(1, std::memory_order_relaxed); }
void __cdecl Count1(BASObserveData*) { stressCounts[1].fetch_add(1, std::memory_order_relaxed); }
void __cdecl Count2(BASObserveData*) { stressCounts[2].fetch_add(1, std::memory_order_relaxed); }

// Late endpoints, each with its own function, tally per send in the array
// that `data` points to.
constexpr int kLateEndpoints = 64;
using LateTally = std::array<uint8_t, kLateEndpoints>;
template <int I>
void __cdecl CountLate(BASObserveData* r) {
    ++(*static_cast<LateTally*>(r->data))[I];
}
template <int... I>
constexpr std::array<BASCommandFunction, kLateEndpoints> LateReceivers(std::integer_sequence<int, I...>) {
    return {&CountLate<I>...};
}

// Late endpoints are registered in index order, so one delivery must reach
// exactly a prefix of them, each once: 1 1 ... 1 0 0 ... 0.
bool IsOnceEachPrefix(const LateTally& tally) {
    size_t i = 0;
    while (i < tally.size() && tally[i] == 1) ++i;
    while (i < tally.size() && tally[i] == 0) ++i;
    return i == tally.size();
}

TEST(CommandBus, ConcurrentSendersLoseAndDoubleNothingWhileAnotherThreadRegisters) {
    const char* name = "TEST_STRESS";
    Attach(name, kModuleA, Count0);
    Attach(name, kModuleB, Count1);
    Attach(name, kModuleC, Count2);
    constexpr auto late = LateReceivers(std::make_integer_sequence<int, kLateEndpoints>{});
    constexpr int kThreads = 4;
    constexpr int kSendsPerThread = 4000;
    std::atomic<bool> start{false};
    std::atomic<int> malformed{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t) {
        senders.emplace_back([&] {
            while (!start.load()) std::this_thread::yield();
            for (int i = 0; i < kSendsPerThread; ++i) {
                LateTally tally{};
                BASObserveData record = Record(name, reinterpret_cast<void*>(0x7000));
                record.data = &tally;
                Broadcast(&record);
                if (!IsOnceEachPrefix(tally)) malformed.fetch_add(1);
            }
        });
    }
    std::thread registrar([&] {
        while (!start.load()) std::this_thread::yield();
        for (int i = 0; i < kLateEndpoints; ++i) {
            Attach(name, reinterpret_cast<void*>(0x8000 + i * 16), late[i]);
            Sleep(0);
        }
    });
    start = true;
    for (auto& s : senders) s.join();
    registrar.join();

    const int sends = kThreads * kSendsPerThread;
    EXPECT_EQ(stressCounts[0].load(), sends);
    EXPECT_EQ(stressCounts[1].load(), sends);
    EXPECT_EQ(stressCounts[2].load(), sends);
    EXPECT_EQ(malformed.load(), 0) << "some delivery skipped or repeated a late endpoint";

    LateTally tally{};
    BASObserveData record = Record(name, reinterpret_cast<void*>(0x7000));
    record.data = &tally;
    Broadcast(&record);
    LateTally all;
    all.fill(1);
    EXPECT_EQ(tally, all) << "after registration every endpoint receives every send";
}

TEST(ModuleTable, FindsByExactNameAndRefusesDuplicates) {
    auto record = std::make_unique<ModuleRecord>();
    record->id = "recovery";
    ModuleRecord* kept = record.get();
    EXPECT_TRUE(AddModule(L"TestRecovery", std::move(record)));
    EXPECT_EQ(FindModule(L"TestRecovery"), kept);
    EXPECT_EQ(FindModule(L"testrecovery"), nullptr) << "letter case matters";
    EXPECT_FALSE(AddModule(L"TestRecovery", std::make_unique<ModuleRecord>()));
    EXPECT_EQ(FindModule(L"TestRecovery"), kept);
}

TEST(ModuleTable, HostModuleIsTypeTwoWithItsNameAsId) {
    ModuleRecord* host = RegisterHostModule(L"Product");
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->type, 2);
    EXPECT_EQ(host->id, "Product");
    EXPECT_EQ(FindModule(L"Product"), host);
}

TEST(NamedTables, UnknownKeysGiveEmptyTextAndNull) {
    EXPECT_STREQ(FindNamedUrl("url:never-set"), "");
    EXPECT_EQ(FindNamedImage("never-set.png"), nullptr);
    std::string value = "https://help.zentrovia.example/";
    SetNamedUrl("url:test", value.c_str());
    value.assign("overwritten");
    EXPECT_STREQ(FindNamedUrl("url:test"), "https://help.zentrovia.example/") << "the table keeps its own copy";
    auto* bitmap = reinterpret_cast<Gdiplus::Bitmap*>(0x4242);
    SetNamedImage("test.png", bitmap);
    EXPECT_EQ(FindNamedImage("test.png"), bitmap);
}

// Main-thread calls need a window and a message loop on this thread.
class MainThreadCallTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(window_.get(), nullptr); }
    static void Pump() { MainThreadCallWindow::Pump(); }
    MainThreadCallWindow window_;
};

DWORD ranOnThread;
int64_t ranWithValue;
void Continue(BASObserveData* copy) {
    ranOnThread = GetCurrentThreadId();
    ranWithValue = copy->value;
    free(copy);
}

TEST_F(MainThreadCallTest, RunsPostedCallsOnTheWindowThreadWithTheCopy) {
    ranOnThread = 0;
    std::thread plugin([] {
        BASObserveData record = Record("TEST_POSTED", kModuleA);
        record.value = 20;
        PostToMainThread(Continue, CopyRecord(&record));
        record.value = 0;  // the continuation must see the copy, not this local
    });
    plugin.join();
    EXPECT_EQ(ranOnThread, 0u) << "nothing runs before the loop dispatches";
    Pump();
    EXPECT_EQ(ranOnThread, GetCurrentThreadId());
    EXPECT_EQ(ranWithValue, 20);
}

TEST_F(MainThreadCallTest, ForwardToPluginsReachesTheFirstSenderToo) {
    const char* name = "TEST_FORWARD";
    Attach(name, kModuleA, ReceiveA);
    Attach(name, kModuleB, ReceiveB);
    RegisterHandler(name, ReceiveHost);
    std::string trail;
    BASObserveData record = Record(name, kModuleA);
    record.object = &trail;
    PostToMainThread(ForwardToPlugins, CopyRecord(&record));
    Pump();
    EXPECT_EQ(trail, "AB") << "sent as the host: every plug-in, not the host's handler";
}

TEST(MainThreadCall, WithoutAWindowTheCopyIsFreedAndNothingRuns) {
    SetMainThreadWindow(nullptr);
    ranOnThread = 0;
    BASObserveData record = Record("TEST_NO_WINDOW", kModuleA);
    PostToMainThread(Continue, CopyRecord(&record));
    EXPECT_EQ(ranOnThread, 0u);
}

class Recorder : public BASObserver {
public:
    explicit Recorder(std::string& log, char tag) : log_(log), tag_(tag) {}
    void Update(uint32_t first, uint32_t second) override { log_ += tag_ + std::to_string(first + second); }

private:
    std::string& log_;
    char tag_;
};

TEST(Observer, NotifiesInAttachOrderAndForgetsDetached) {
    std::string log;
    Recorder x(log, 'x'), y(log, 'y');
    BASSubject subject;
    subject.Attach(&x);
    subject.Attach(&y);
    subject.Attach(&x);  // attached once only
    subject.Notify(1, 2);
    EXPECT_EQ(log, "x3y3");
    subject.Detach(&x);
    subject.Notify(2, 2);
    EXPECT_EQ(log, "x3y3y4");
}

}  // namespace
