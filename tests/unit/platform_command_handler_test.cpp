// The host's commands as plug-ins reach them: through the bus, after the
// command table has registered them against a fake host object. The registry
// never forgets, so each fake plug-in has a handle of its own.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app_lifecycle.h"
#include "bus_test_support.h"
#include "common/log_rate_limit.h"
#include "heap_census.h"
#include "services/device_server.h"
#include "services/platform_command_handler.h"
#include "stub_host.h"
#include "services/release_notes.h"
#include "services/update_flow.h"

namespace {

void* const kCommPlugin = reinterpret_cast<void*>(0x51000);
void* const kTitlePlugin = reinterpret_cast<void*>(0x52000);
void* const kUpdatePlugin = reinterpret_cast<void*>(0x53000);

StubHost& TheHost() {
    static StubHost host;
    static bool registered = (host.RegisterCommands(), true);
    static_cast<void>(registered);
    return host;
}

// Delivers as a plug-in's send would.
BASObserveData Sent(BASObserveData record) {
    TheHost();
    Broadcast(&record);
    return record;
}

bool SameBytes(const BASObserveData& a, const BASObserveData& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// What a fake plug-in saw: the record as delivered, who received it, and on which thread.
struct Delivery {
    BASObserveData record;
    void* receiver;
    DWORD thread;
};
std::vector<Delivery> deliveries;
template <void* const* Owner>
void __cdecl Capture(BASObserveData* record) {
    deliveries.push_back({*record, *Owner, GetCurrentThreadId()});
}

std::vector<Delivery> DeliveriesTo(void* receiver) {
    std::vector<Delivery> found;
    for (const Delivery& delivery : deliveries) {
        if (delivery.receiver == receiver) found.push_back(delivery);
    }
    return found;
}

// Fills every field, so that any write shows.
BASObserveData BusyRecord(const char* command) {
    BASObserveData record;
    std::memset(&record, 0x5A, sizeof record);
    record.command = command;
    record.sender = kTitlePlugin;
    return record;
}

TEST(PlatformCommands, CommandsWithNothingToAnswerLeaveTheRecordByteIdenticalAndAConfirmNoWidth) {
    for (const char* command : {LIBPLATFORM_COMMAND_OPEN_ABOUT, LIBCOMM_COMMAND_START_SERVICE_FAIL,
                                LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL, LIBCOMM_COMMAND_START_SERVER_FINISH}) {
        const BASObserveData before = BusyRecord(command);
        EXPECT_TRUE(SameBytes(Sent(before), before)) << command;
    }
    BASObserveData confirm = Record(LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE, kCommPlugin);
    confirm.value = 400;
    EXPECT_EQ(Sent(confirm).value, 0) << "the width must not come back as a confirmation";
}

// The identity texts are copies on the C heap that the asking plug-in frees.
TEST(PlatformCommands, IdentityTextsAreHeapCopiesOfTheTitles) {
    for (const char* command : {LIBPLATFORM_COMMAND_GET_PRODUCT_ALIAS, LIBPLATFORM_COMMAND_GET_APP_NAME}) {
        wchar_t* text = Sent(Record(command, kCommPlugin)).wideText;
        ASSERT_TRUE(heap_census::IsLiveBlock(text)) << command;
        EXPECT_NE(std::wstring(text).find(L"Zentrovia Handset"), std::wstring::npos) << command;
        free(text);
    }
}

TEST(PlatformCommands, TempDirIsTheDayFolderMadeAgainWhenDeleted) {
    wchar_t* first = Sent(Record(LIBPLATFORM_COMMAND_GET_TEMP_DIR, kCommPlugin)).wideText;
    ASSERT_NE(first, nullptr);
    const std::wstring folder = first;
    free(first);
    EXPECT_EQ(folder, CreateTodaysLogFolder() + L"\\");
    RemoveDirectoryW(folder.c_str());  // fails harmlessly when it holds the test's logs
    free(Sent(Record(LIBPLATFORM_COMMAND_GET_TEMP_DIR, kCommPlugin)).wideText);
    EXPECT_NE(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES) << "a removed folder must be made again";
}

TEST(MaximizeToggle, FillsTheWorkAreaFromTheOriginAndRestoresTheRectangleOfTheLastMaximise) {
    const RECT workArea{60, 0, 1340, 800};  // a task bar on the left
    MaximizeState state;
    MaximizeStep step = ToggleMaximize(state, RECT{20, 30, 620, 430}, workArea);
    EXPECT_EQ(step.frame, (WindowPlacement{0, 0, 1280, 800})) << "the work area's size from the origin";
    EXPECT_EQ(step.view, (WindowPlacement{1, 1, 1276, 796}));
    state = ToggleMaximize(step.next, RECT{0, 0, 1280, 800}, workArea).next;
    // Moved while restored: the next maximise saves the new place, not the old.
    state = ToggleMaximize(state, RECT{200, 100, 800, 500}, workArea).next;
    step = ToggleMaximize(state, RECT{0, 0, 1280, 800}, workArea);
    EXPECT_FALSE(step.next.maximized);
    EXPECT_EQ(step.frame, (WindowPlacement{200, 100, 600, 400}));
}

// Sends on a thread of its own, as a plug-in's worker would.
void SendFromPluginThread(BASObserveData record) {
    std::thread([&] { Sent(record); }).join();
}

// A server start and each crash come back on the main thread, from the host,
// to every plug-in, the first sender included; a crash asks once for a new
// start, in a fresh record with the crash's value.
TEST(MainThreadRelay, ServerStartsAndCrashesComeBackFromTheHostOnTheMainThreadToEveryPlugin) {
    MainThreadCalls calls;
    deliveries.clear();
    Attach(LIBCOMM_COMMAND_READY_START_SERVER, kCommPlugin, Capture<&kCommPlugin>);
    Attach(LIBCOMM_COMMAND_READY_START_SERVER, kTitlePlugin, Capture<&kTitlePlugin>);
    BASObserveData start = Record(LIBCOMM_COMMAND_READY_START_SERVER, kCommPlugin);
    start.value = 7;
    SendFromPluginThread(start);
    EXPECT_EQ(DeliveriesTo(kCommPlugin).size(), 0u) << "the sender got its own record back at once";
    for (int64_t value : {3, 4}) {
        BASObserveData crash = Record(LIBCOMM_COMMAND_SERVER_CRASH, kCommPlugin);
        crash.value = value;
        crash.arg = "not passed on";
        SendFromPluginThread(crash);
    }
    deliveries.clear();
    PumpThreadMessages();
    const std::vector<Delivery> relayed = DeliveriesTo(kCommPlugin);
    ASSERT_EQ(relayed.size(), 3u) << "the start and one restart request per crash";
    EXPECT_EQ(DeliveriesTo(kTitlePlugin).size(), 3u);
    const int64_t values[] = {7, 3, 4};
    for (size_t i = 0; i < relayed.size(); ++i) {
        EXPECT_EQ(relayed[i].thread, GetCurrentThreadId());
        EXPECT_EQ(relayed[i].record.sender, HostInstance());
        EXPECT_EQ(relayed[i].record.value, values[i]);
        EXPECT_EQ(relayed[i].record.arg, nullptr) << "the restart is a fresh record, not the crash record renamed";
    }
}

TEST(UpdateRequest, ReachesThePluginsAsTheHostWithEveryOtherFieldUnchanged) {
    deliveries.clear();
    // The asking plug-in also answers update checks: it must get the request
    // because the host, not it, is the sender.
    Attach(LIBCOMM_COMMAND_CHECK_FOR_UPDATE, kUpdatePlugin, Capture<&kUpdatePlugin>);
    BASObserveData request = Record(LIBPLATFORM_COMMAND_CHECK_FOR_UPDATE, kUpdatePlugin);
    request.value = 11;
    request.arg = "asked from the title bar";
    request.count = 2;
    request.window = reinterpret_cast<void*>(0x77);
    const BASObserveData before = request;

    EXPECT_TRUE(SameBytes(Sent(request), before)) << "the plug-in's own record is copied, not renamed in place";
    EXPECT_TRUE(TheHost().updates.ManualCheckRequested()) << "the answer must be shown, even when there is nothing new";
    ASSERT_EQ(deliveries.size(), 1u);
    BASObserveData expected = before;
    expected.command = deliveries[0].record.command;  // the same text may live at another address
    expected.sender = HostInstance();
    EXPECT_STREQ(expected.command, LIBCOMM_COMMAND_CHECK_FOR_UPDATE);
    EXPECT_TRUE(SameBytes(deliveries[0].record, expected));
}

// The suite's alias names the folder that holds the host configuration.
TEST(UpdateRequest, TheSuitesAliasIsTheConfigurationsFolder) {
    EXPECT_EQ(SuiteAlias(L"C:\\Suite\\Addins\\Rescue\\host.json"), L"Rescue");
    EXPECT_EQ(SuiteAlias(L"host.json"), L"");
}

// Sizes that no other block of the test has, so that the census sees only
// what the answers hand over.
constexpr size_t kNotesBytes = 1237;
constexpr size_t kPathBytes = 1238;

char* MarkedNotes(bool parses) {
    std::string text = parses ? R"([{"version":"4.4.41"},{"version":"4.4.40"}])" : R"({"version":"4.4.41"})";
    text.resize(kNotesBytes - 1, ' ');
    return _strdup(text.c_str());
}

// Every release-notes text and installer path that a plug-in hands over is
// freed once, whether its main-thread call runs or is discarded at the close.
TEST(UpdateAnswers, FreeWhatThePluginHandsOverWhenRunAndWhenDiscarded) {
    const size_t before = heap_census::LiveBlocksOfSize(kNotesBytes) + heap_census::LiveBlocksOfSize(kPathBytes);
    for (int round = 0; round < 5; ++round) {
        MainThreadCalls calls;
        for (int i = 0; i < 2000; ++i) {
            BASObserveData answer = Record(LIBCOMM_COMMAND_CHECK_FOR_UPDATE, kUpdatePlugin);
            answer.value = 1;
            answer.count = 2;
            if (i % 2) {
                answer.command = LIBCOMM_COMMAND_DOWNLOAD_UPDATE;
                answer.value = i % 4 == 1 ? 1 : 6;  // a failure hands over nothing
                if (answer.value == 1) answer.wideText = static_cast<wchar_t*>(calloc(kPathBytes / 2, 2));
            } else {
                answer.data = MarkedNotes(i % 3 != 0);
            }
            Sent(answer);
            if (i == 999) PumpThreadMessages();  // the rest wait until the close discards them
        }
    }
    EXPECT_EQ(heap_census::LiveBlocksOfSize(kNotesBytes) + heap_census::LiveBlocksOfSize(kPathBytes), before);
}

TEST(ReleaseNotes, BlankLineFollowsAVersionOnlyWhileTheNextIndexIsBelowTheSignedCount) {
    const char* two = R"([{"version":"4.4.41","descriptions":["Faster","Fixed"]},{"version":"4.4.40"}])";
    const std::wstring first = L"V 4.4.41\r\nFaster\r\nFixed\r\n", second = L"V 4.4.40\r\n";
    const std::pair<int64_t, std::wstring> cases[] = {{2, first + L"\r\n" + second},
                                                      {1, first + second},
                                                      {-1, first + second},
                                                      {0x100000001LL, first + L"\r\n" + second + L"\r\n"}};
    for (const auto& [count, text] : cases) {
        const auto notes = BuildReleaseNotes(two, count, L"V ");
        ASSERT_TRUE(notes) << count;
        EXPECT_EQ(notes->text, text) << count;
        EXPECT_EQ(notes->newestVersion, L"4.4.41");
    }
}

TEST(ReleaseNotes, RefusesTextsWithoutAUsableVersionAndReadsALaterMissingOneAsEmpty) {
    // Nested deeper than any notes need, but otherwise usable.
    const std::string deep =
        R"([{"version":"1","descriptions":)" + std::string(200, '[') + std::string(200, ']') + "}]";
    for (const char* refused : {static_cast<const char*>(nullptr), "{\"version\":\"1\"}", "[]", "[3,{\"version\":4}]",
                                "[{\"descriptions\":[\"x\"]}]", "[{\"version\":\"1\"", deep.c_str()})
        EXPECT_FALSE(BuildReleaseNotes(refused, 1, L"V ")) << (refused ? refused : "null");
    const auto notes = BuildReleaseNotes(R"([{"version":"2"},{"descriptions":["x",7]}])", 1, L"V ");
    ASSERT_TRUE(notes);
    EXPECT_EQ(notes->text, L"V 2\r\nV \r\nx\r\n");
}

// What reaches the update list is bounded and shows what it says: a
// right-to-left override cannot turn "exe.live" into "evil.exe", a version of
// 20,000 characters is a short text, and notes longer than the list can show
// end in a cut mark.
TEST(ReleaseNotes, ShowsFeedTextsWithoutHiddenFormattingAndWithinBounds) {
    const std::string overridden =
        "[{\"version\":\"4.5\xE2\x80\xAE\",\"descriptions\":[\"Get \xE2\x80\xAE"
        "exe.live\\tnow\\r\\nsee\xE2\x81\xA6x\"]}]";
    const auto notes = BuildReleaseNotes(overridden.c_str(), 1, L"V ");
    ASSERT_TRUE(notes);
    EXPECT_EQ(notes->text, L"V 4.5\r\nGet exe.live nowseex\r\n");
    EXPECT_EQ(notes->newestVersion, L"4.5");

    const std::string longVersion = "[{\"version\":\"" + std::string(20000, '4') + "\"}]";
    const auto bounded = BuildReleaseNotes(longVersion.c_str(), 1, L"V ");
    ASSERT_TRUE(bounded);
    EXPECT_EQ(bounded->newestVersion, std::wstring(kMaxShownVersion, L'4'));
    EXPECT_EQ(bounded->text, L"V " + std::wstring(kMaxShownVersion, L'4') + L"\r\n");

    std::string many = "[{\"version\":\"4.5\",\"descriptions\":[";
    for (size_t i = 0; i < kMaxNoteLines + 5; ++i) many += std::string(i ? "," : "") + "\"line\"";
    many += "]}]";
    const auto cut = BuildReleaseNotes(many.c_str(), 1, L"V ");
    ASSERT_TRUE(cut);
    size_t lines = 0;
    for (size_t at = 0; (at = cut->text.find(L"\r\n", at)) != std::wstring::npos; at += 2) ++lines;
    EXPECT_EQ(lines, kMaxNoteLines + 1) << "the limit, then the cut mark";
    EXPECT_EQ(cut->text.substr(cut->text.size() - 3), L"\u2026\r\n");

    const std::string huge = "[{\"version\":\"4.5\",\"descriptions\":[\"" + std::string(50000, 'x') + "\"]}]";
    const auto wide = BuildReleaseNotes(huge.c_str(), 1, L"V ");
    ASSERT_TRUE(wide);
    EXPECT_LE(wide->text.size(), kMaxNotesLength);
    // A character outside the basic plane is never split by a cut.
    EXPECT_EQ(ShownLine(L"ab\U0001F600", 3), L"ab");
}

TEST(DeviceStatus, NamesTheDeviceOnlyWhenItWasRemovedWithTheWordOfTheValue) {
    EXPECT_EQ(ReadDeviceStatus(R"({"had_removed":2,"device_name":"Pixel 7"})", "removed").notice,
              "Pixel 7 is removed.");
    EXPECT_EQ(ReadDeviceStatus(R"({"had_removed":0,"device_name":"Pixel 7"})", "removed").notice, "");
    EXPECT_EQ(DeviceStatusNotice(0, L"Pixel 7"), L"Pixel 7 is removed.");
    EXPECT_EQ(DeviceStatusNotice(20, L"Pixel 7"), L"Pixel 7 is disconnected.");
    EXPECT_STREQ(DeviceStatusWord(20), "disconnected");
    EXPECT_EQ(DeviceStatusWord(2), nullptr) << "only 0 and 20 are statuses the host shows";
}

}  // namespace

// Counts the log lines that name a device status, and the suppressed lines.
struct StatusLineCount : google::LogSink {
    void send(google::LogSeverity, const char*, const char*, int, const google::LogMessageTime&, const char* text,
              size_t size) override {
        const std::string line(text, size);
        if (line.find("similar lines suppressed") != std::string::npos) suppressed += std::stoull(line.substr(4));
        else if (line.find("does not parse") != std::string::npos) ++unparsed;
        else if (line.find("no removal reported") != std::string::npos) ++notRemoved;
    }
    uint64_t unparsed = 0, notRemoved = 0, suppressed = 0;
};

// A plug-in that floods the host with a status it cannot parse gets a few
// lines a second into the log and one count of the rest; another line of the
// host's, flooded meanwhile, is limited on its own.
TEST(PluginTrafficLog, AHundredThousandSendsWriteABoundedNumberOfLinesAndCountTheRest) {
    FlushSuppressedLogLines();
    StatusLineCount lines;
    google::AddLogSink(&lines);
    constexpr int kSends = 100000;
    const DWORD start = GetTickCount();
    for (int i = 0; i < kSends; ++i) {
        BASObserveData status = Record(LIBCOMM_COMMAND_ANDROID_STATUS_RECV, kCommPlugin);
        status.arg = i % 2 ? "{broken" : "{}";
        Sent(status);
    }
    const uint64_t seconds = (GetTickCount() - start) / 1000 + 1;
    FlushSuppressedLogLines();
    google::RemoveLogSink(&lines);
    EXPECT_GE(lines.unparsed, 1u);
    EXPECT_LE(lines.unparsed, 20 * seconds);
    EXPECT_GE(lines.notRemoved, 1u) << "one message's flood silenced another";
    EXPECT_LE(lines.notRemoved, 20 * seconds);
    EXPECT_EQ(lines.unparsed + lines.notRemoved + lines.suppressed, uint64_t(kSends));
}

TEST(PluginTrafficLog, AWindowsCountIsHandedOutOnceWhenItEndsAndTheNextWindowWritesAgain) {
    LogRateLimiter limiter(2, 1000);
    int site = 0;
    for (uint32_t t = 4294967000u; t < 4294967000u + 5; ++t) limiter.Admit(&site, t);  // across the tick wrap
    EXPECT_TRUE(limiter.TakeEnded(uint32_t(4294967000u + 999u)).empty()) << "counted out before the window ended";
    const auto ended = limiter.TakeEnded(4294967000u + 1000);
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].lines, 3u);
    EXPECT_TRUE(limiter.TakeEnded(5000).empty()) << "a count handed out twice";
    EXPECT_TRUE(limiter.Admit(&site, 1200));

    // A window that begins before the last one's count was taken carries it.
    LogRateLimiter carry(2, 1000);
    for (uint32_t t = 0; t < 5; ++t) carry.Admit(&site, t);
    EXPECT_TRUE(carry.Admit(&site, 1000)) << "a new window writes again, from its first millisecond";
    const auto carried = carry.TakeEnded(2000);
    ASSERT_EQ(carried.size(), 1u) << "the earlier window's count was lost";
    EXPECT_EQ(carried[0].lines, 3u);
}
