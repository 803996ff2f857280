// The bus trace: the line each delivery leaves, what the bus records in it
// (the receivers in delivery order with their own times), and the ring
// between senders and the writer, which loses no line without counting it.
#include <gtest/gtest.h>

#include <windows.h>

#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "bus_test_support.h"
#include "common/bus_trace.h"

namespace {

void* const kRecovery = reinterpret_cast<void*>(0x1000);
void* const kProbe = reinterpret_cast<void*>(0x2000);
void* const kHost = reinterpret_cast<void*>(0x3000);

std::string FakeName(void* module) {
    if (module == kRecovery) return "Recovery";
    if (module == kProbe) return "Probe";
    if (module == kHost) return "Product";
    return "other";
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    for (std::string part; std::getline(stream, part, separator);) parts.push_back(part);
    return parts;
}

// Everything a trace wrote, kept in memory; optionally holds the writer in
// its first write (the heading) until Release.
class Collected {
public:
    explicit Collected(bool holdFirst = false) : gate_(CreateEventW(nullptr, TRUE, !holdFirst, nullptr)) {}
    ~Collected() { CloseHandle(gate_); }
    BusTrace::Write Sink() {
        return [this](std::string_view piece) {
            WaitForSingleObject(gate_, INFINITE);
            std::lock_guard guard(lock_);
            text_ += piece;
        };
    }
    void Release() { SetEvent(gate_); }
    std::vector<std::string> Lines() {
        std::lock_guard guard(lock_);
        return Split(text_, '\n');
    }

private:
    HANDLE gate_;
    std::mutex lock_;
    std::string text_;
};

BusTraceEvent Event(const char* command, void* sender, int64_t value) {
    BASObserveData record = Record(command, sender);
    record.value = value;
    BusTraceEvent event;
    BeginTraceEvent(event, record, 0);
    return event;
}

TEST(BusTrace, OneTabSeparatedLinePerDeliveryInMicrosecondsWithEachReceiverInOrder) {
    constexpr int64_t kTicksPerSecond = 10000000;  // Wine's performance counter
    BASObserveData record = Record("LIBPLATFORM_COMMAND_NOTIFY_PROGRESS", kRecovery);
    record.value = -3;
    BusTraceEvent event;
    BeginTraceEvent(event, record, 25000000);
    event.thread = 77;
    AddTraceReceiver(event, kProbe, 25000100, 25000220);  // 12 us
    AddTraceReceiver(event, kHost, 25000220, 25003620);   // 340 us
    EXPECT_EQ(FormatTraceLine(event, 10000000, kTicksPerSecond, FakeName),
              "1500000\tRecovery\tLIBPLATFORM_COMMAND_NOTIFY_PROGRESS\t-3\t77\tProbe:12\tProduct:340");
    // A name of exactly the kept length is not cut.
    const std::string fits(BusTraceEvent::kCommandChars, 'Y');
    EXPECT_EQ(Split(FormatTraceLine(Event(fits.c_str(), kProbe, 0), 0, kTicksPerSecond, FakeName), '\t')[2], fits);
}

void __cdecl Quick(BASObserveData*) {}
void __cdecl Slow(BASObserveData*) { Sleep(30); }

int64_t Micros(const std::string& receiverField) {
    return std::stoll(receiverField.substr(receiverField.find(':') + 1));
}

TEST(BusTrace, TheBusRecordsEachReceiverWithItsOwnTimeOnlyWhileAttached) {
    // The registry never forgets: once per process, also when the test repeats.
    static const bool attached = [] {
        Attach("TRACE_TWO", kProbe, Slow);
        Attach("TRACE_TWO", kRecovery, Quick);
        Attach("TRACE_TWO", kHost, Quick);
        return true;
    }();
    ASSERT_TRUE(attached);
    Collected collected;
    BusTrace trace(collected.Sink(), 64, FakeName);
    AttachBusTrace(&trace);
    BASObserveData two = Record("TRACE_TWO", kRecovery);
    Broadcast(&two);
    AttachBusTrace(nullptr);
    Broadcast(&two);
    ASSERT_TRUE(trace.Close(5000));

    const std::vector<std::string> lines = collected.Lines();
    ASSERT_EQ(lines.size(), 2u) << "a heading and one delivery; none after detaching";
    const std::vector<std::string> fields = Split(lines[1], '\t');
    ASSERT_EQ(fields.size(), 7u) << "the sender's own endpoint is no receiver";
    EXPECT_EQ(fields[5].substr(0, 6), "Probe:");
    EXPECT_EQ(fields[6].substr(0, 8), "Product:");
    EXPECT_GE(Micros(fields[5]), 25000) << "the slow receiver sleeps 30 ms";
    EXPECT_LT(Micros(fields[6]), Micros(fields[5])) << "the quick receiver's time is its own";
}

TEST(BusTrace, AFullRingDropsAndCountsAndTheWriterSaysHowManyWereLost) {
    Collected collected(/*holdFirst=*/true);
    BusTrace trace(collected.Sink(), 4, FakeName);
    // The writer is held in its heading: the ring fills after four.
    for (int i = 0; i < 20; ++i) trace.Record(Event("TRACE_FULL", kProbe, i));
    collected.Release();
    ASSERT_TRUE(trace.Close(5000));
    trace.Record(Event("TRACE_AFTER_CLOSE", kProbe, 0));

    const std::vector<std::string> lines = collected.Lines();
    ASSERT_EQ(lines.size(), 6u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Split(lines[1 + i], '\t')[3], std::to_string(i)) << "the oldest are kept, in order";
    EXPECT_EQ(lines[5], "# dropped 16 lines");
    EXPECT_EQ(trace.Written(), 4u);
    EXPECT_EQ(trace.Dropped(), 16u);

    // Emptied, the ring takes as many again, lap after lap.
    BusTraceRing ring(2);
    BusTraceEvent event = Event("TRACE_LAP", kProbe, 0);
    for (int lap = 0; lap < 3; ++lap) {
        EXPECT_TRUE(ring.TryPush(event) && ring.TryPush(event)) << "lap " << lap;
        EXPECT_TRUE(ring.TryPop(event) && ring.TryPop(event)) << "lap " << lap;
    }
}

}  // namespace
