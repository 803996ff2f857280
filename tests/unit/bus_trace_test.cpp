// The bus trace: the line each delivery leaves, what the bus records in it
// (the receivers in delivery order with their times, the sends it drops),
// and the ring between senders and the writer, which loses no line without
// counting it, also with many senders at once.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
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

    // Past eight receivers the rest are counted and timed together.
    for (int i = 0; i < 8; ++i) AddTraceReceiver(event, kProbe, 0, 10 * (i + 1));
    const std::vector<std::string> fields = Split(FormatTraceLine(event, 0, kTicksPerSecond, FakeName), '\t');
    ASSERT_EQ(fields.size(), 5u + 8u + 1u);
    EXPECT_EQ(fields[5], "Probe:12");
    EXPECT_EQ(fields[12], "Probe:6");
    EXPECT_EQ(fields[13], "+2:15") << "receivers 9 and 10 took 7 + 8 microseconds (70 + 80 ticks)";

    // A name with a line break cannot break the line; a long one is cut and says so.
    EXPECT_EQ(Split(FormatTraceLine(Event("BAD\tNAME\n", kProbe, 0), 0, kTicksPerSecond, FakeName), '\t')[2],
              "BAD?NAME?");
    const std::string longName(100, 'X');
    EXPECT_EQ(Split(FormatTraceLine(Event(longName.c_str(), kProbe, 0), 0, kTicksPerSecond, FakeName), '\t')[2],
              std::string(60, 'X') + "...");
    const std::string fits(BusTraceEvent::kCommandChars, 'Y');
    EXPECT_EQ(Split(FormatTraceLine(Event(fits.c_str(), kProbe, 0), 0, kTicksPerSecond, FakeName), '\t')[2], fits);
    EXPECT_EQ(Split(FormatTraceLine(Event(nullptr, kProbe, 0), 0, kTicksPerSecond, FakeName), '\t')[2], "(null)");
    EXPECT_EQ(DroppedLine(16), "# dropped 16 lines");
}

void __cdecl Quick(BASObserveData*) {}
void __cdecl Slow(BASObserveData*) { Sleep(30); }
void __cdecl Answers(BASObserveData* record) { record->value = 1; }

// The fields of the line of command, which must be there once.
std::vector<std::string> LineOf(const std::vector<std::string>& lines, const std::string& command) {
    std::vector<std::string> found;
    for (const std::string& line : lines) {
        const std::vector<std::string> fields = Split(line, '\t');
        if (fields.size() >= 5 && fields[2] == command) {
            EXPECT_TRUE(found.empty()) << command << " traced twice";
            found = fields;
        }
    }
    EXPECT_FALSE(found.empty()) << command << " not traced";
    return found;
}

int64_t Micros(const std::string& receiverField) {
    return std::stoll(receiverField.substr(receiverField.find(':') + 1));
}

TEST(BusTrace, TheBusRecordsWhatEachDeliveryReachedAndWhatItDroppedOnlyWhileAttached) {
    // The registry never forgets: once per process, also when the test repeats.
    static const bool attached = [] {
        Attach("TRACE_TWO", kProbe, Slow);
        Attach("TRACE_TWO", kRecovery, Quick);
        Attach("TRACE_TWO", kHost, Quick);
        Attach("TRACE_UNTIL", kProbe, Answers);
        Attach("TRACE_UNTIL", kHost, Quick);
        return true;
    }();
    ASSERT_TRUE(attached);
    Collected collected;
    BusTrace trace(collected.Sink(), 64, FakeName);
    const DWORD before = GetTickCount();
    AttachBusTrace(&trace);
    BASObserveData two = Record("TRACE_TWO", kRecovery);
    two.value = 42;
    Broadcast(&two);
    BASObserveData until = Record("TRACE_UNTIL", kRecovery);
    SendUntilHandled(&until);
    BASObserveData unknown = Record("TRACE_NOBODY_LISTENS", kRecovery);
    Broadcast(&unknown);
    AttachBusTrace(nullptr);
    BASObserveData later = Record("TRACE_TWO", kRecovery);
    later.value = 43;
    Broadcast(&later);
    const DWORD elapsedMs = GetTickCount() - before;
    ASSERT_TRUE(trace.Close(5000));

    const std::vector<std::string> lines = collected.Lines();
    ASSERT_EQ(lines.size(), 4u) << "a heading and three deliveries; none after detaching";
    EXPECT_EQ(lines[0].rfind("# ", 0), 0u);
    const std::vector<std::string> fields = LineOf(lines, "TRACE_TWO");
    ASSERT_EQ(fields.size(), 7u) << "the sender's own endpoint is no receiver";
    EXPECT_EQ(fields[1], "Recovery");
    EXPECT_EQ(fields[3], "42");
    EXPECT_EQ(fields[4], std::to_string(GetCurrentThreadId()));
    EXPECT_EQ(fields[5].substr(0, 6), "Probe:");
    EXPECT_EQ(fields[6].substr(0, 8), "Product:");
    EXPECT_GE(Micros(fields[5]), 25000) << "the slow receiver sleeps 30 ms";
    EXPECT_LE(Micros(fields[5]), (elapsedMs + 20) * 1000);
    EXPECT_LT(Micros(fields[6]), Micros(fields[5])) << "the quick receiver's time is its own";
    EXPECT_EQ(LineOf(lines, "TRACE_UNTIL").size(), 6u) << "the first answer ends a send until handled";
    EXPECT_EQ(LineOf(lines, "TRACE_NOBODY_LISTENS").size(), 5u) << "a name nobody registered reaches nobody";
    EXPECT_EQ(trace.Written(), 3u);
    EXPECT_EQ(trace.Dropped(), 0u);
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

// Many senders at once through a small ring: every line is whole, each
// sender's lines come in its order, and written + dropped is what was sent.
// A sender's value is its number times a million plus its count.
TEST(BusTrace, ManySendersLoseNoLineUncountedAndKeepTheirOrder) {
    constexpr int kThreads = 4, kPerThread = 20000;
    Collected collected;
    BusTrace trace(collected.Sink(), 512, FakeName);
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t)
        senders.emplace_back([&trace, t] {
            for (int i = 0; i < kPerThread; ++i) trace.Record(Event("TRACE_MANY", kProbe, t * 1000000 + i));
        });
    for (std::thread& sender : senders) sender.join();
    ASSERT_TRUE(trace.Close(30000));

    uint64_t lines = 0, dropped = 0;
    std::map<int64_t, int64_t> lastValue;  // by sender
    for (const std::string& line : collected.Lines()) {
        if (line.rfind("# dropped ", 0) == 0) {
            dropped += std::stoull(line.substr(10));
            continue;
        }
        if (line.rfind("# ", 0) == 0) continue;
        const std::vector<std::string> fields = Split(line, '\t');
        ASSERT_EQ(fields.size(), 5u) << line;
        ASSERT_EQ(fields[2], "TRACE_MANY") << line;
        const int64_t value = std::stoll(fields[3]);
        auto [last, first] = lastValue.try_emplace(value / 1000000, -1);
        EXPECT_GT(value, last->second) << "sender " << value / 1000000 << " out of order";
        last->second = value;
        ++lines;
    }
    EXPECT_EQ(lines + dropped, static_cast<uint64_t>(kThreads) * kPerThread);
    EXPECT_EQ(lines, trace.Written());
    EXPECT_EQ(dropped, trace.Dropped());
    EXPECT_GE(lines, 512u) << "the ring's first fill is always written";
}

}  // namespace
