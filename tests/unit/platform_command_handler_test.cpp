// The host's commands as plug-ins reach them: through the bus, after the
// command table has registered them against a fake host object. The registry
// never forgets, so each fake plug-in has a handle of its own.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "app_lifecycle.h"
#include "bus_test_support.h"
#include "common/log_rate_limit.h"
#include "heap_census.h"
#include "services/device_server.h"
#include "stub_host.h"
#include "services/release_notes.h"
#include "services/update_flow.h"

namespace {

void* const kCommPlugin = reinterpret_cast<void*>(0x51000);
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

TEST(PlatformCommands, TempDirIsTheDayFolderAndAConfirmAnswersNoWidth) {
    wchar_t* folder = Sent(Record(LIBPLATFORM_COMMAND_GET_TEMP_DIR, kCommPlugin)).wideText;
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(std::wstring(folder), CreateTodaysLogFolder() + L"\\");
    free(folder);
    BASObserveData confirm = Record(LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE, kCommPlugin);
    confirm.value = 400;
    EXPECT_EQ(Sent(confirm).value, 0) << "the width must not come back as a confirmation";
}

TEST(MaximizeToggle, RestoresTheRectangleSavedWhenItMaximised) {
    const RECT workArea{60, 0, 1340, 800};
    const MaximizeStep step = ToggleMaximize(MaximizeState{}, RECT{20, 30, 620, 430}, workArea);
    EXPECT_EQ(step.frame, (WindowPlacement{0, 0, 1280, 800})) << "the work area's size from the origin";
    const MaximizeStep restore = ToggleMaximize(step.next, RECT{0, 0, 1280, 800}, workArea);
    EXPECT_FALSE(restore.next.maximized);
    EXPECT_EQ(restore.frame, (WindowPlacement{20, 30, 600, 400}));
}

// A check the user asks for before the main-thread calls exist must still
// show its answer, even when there is nothing new.
TEST(UpdateRequest, RaisesTheManualCheckFlagWithoutTheMainThread) {
    Sent(Record(LIBPLATFORM_COMMAND_CHECK_FOR_UPDATE, kUpdatePlugin));
    EXPECT_TRUE(TheHost().updates.ManualCheckRequested());
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
                                                      {0x100000001LL, first + L"\r\n" + second + L"\r\n"}};
    for (const auto& [count, text] : cases) {
        const auto notes = BuildReleaseNotes(two, count, L"V ");
        ASSERT_TRUE(notes) << count;
        EXPECT_EQ(notes->text, text) << count;
    }
}

TEST(ReleaseNotes, RefusesTextsNestedTooDeepOrWithoutAVersion) {
    // Nested deeper than any notes need, but otherwise usable.
    const std::string deep =
        R"([{"version":"1","descriptions":)" + std::string(200, '[') + std::string(200, ']') + "}]";
    for (const char* refused : {"[{\"descriptions\":[\"x\"]}]", deep.c_str()})
        EXPECT_FALSE(BuildReleaseNotes(refused, 1, L"V ")) << refused;
}

// What reaches the update list shows what it says: a right-to-left override
// cannot turn "exe.live" into "evil.exe", and notes longer than the list can
// show end in a cut mark.
TEST(ReleaseNotes, ShowsFeedTextsWithoutHiddenFormattingAndWithinBounds) {
    const std::string overridden =
        "[{\"version\":\"4.5\xE2\x80\xAE\",\"descriptions\":[\"Get \xE2\x80\xAE"
        "exe.live\\tnow\\r\\nsee\xE2\x81\xA6x\"]}]";
    const auto notes = BuildReleaseNotes(overridden.c_str(), 1, L"V ");
    ASSERT_TRUE(notes);
    EXPECT_EQ(notes->text, L"V 4.5\r\nGet exe.live nowseex\r\n");

    std::string many = "[{\"version\":\"4.5\",\"descriptions\":[";
    for (size_t i = 0; i < kMaxNoteLines + 5; ++i) many += std::string(i ? "," : "") + "\"line\"";
    many += "]}]";
    const auto cut = BuildReleaseNotes(many.c_str(), 1, L"V ");
    ASSERT_TRUE(cut);
    size_t lines = 0;
    for (size_t at = 0; (at = cut->text.find(L"\r\n", at)) != std::wstring::npos; at += 2) ++lines;
    EXPECT_EQ(lines, kMaxNoteLines + 1) << "the limit, then the cut mark";
}

TEST(DeviceStatus, NamesTheDeviceOnlyWhenItWasRemovedWithTheWordOfTheValue) {
    EXPECT_EQ(ReadDeviceStatus(R"({"had_removed":0,"device_name":"Pixel 7"})", "removed").notice, "");
    EXPECT_EQ(DeviceStatusNotice(0, L"Pixel 7"), L"Pixel 7 is removed.");
    EXPECT_STREQ(DeviceStatusWord(20), "disconnected");
}

}  // namespace

// Counts the log lines that name a device status, and the suppressed lines.
struct StatusLineCount : google::LogSink {
    void send(google::LogSeverity, const char*, const char*, int, const google::LogMessageTime&, const char* text,
              size_t size) override {
        const std::string line(text, size);
        if (line.find("similar lines suppressed") != std::string::npos) suppressed += std::stoull(line.substr(4));
        else if (line.find("does not parse") != std::string::npos) ++written;
        else if (line.find("no removal reported") != std::string::npos) ++written;
    }
    uint64_t written = 0, suppressed = 0;
};

// A plug-in that floods the host with statuses gets a few lines a second into
// the log and a count of the rest, also of those held back when the log closes.
TEST(PluginTrafficLog, AFloodOfSendsCountsEveryLineItHeldBack) {
    FlushSuppressedLogLines();
    StatusLineCount lines;
    google::AddLogSink(&lines);
    constexpr int kSends = 100000;
    for (int i = 0; i < kSends; ++i) {
        BASObserveData status = Record(LIBCOMM_COMMAND_ANDROID_STATUS_RECV, kCommPlugin);
        status.arg = i % 2 ? "{broken" : "{}";
        Sent(status);
    }
    FlushSuppressedLogLines();
    google::RemoveLogSink(&lines);
    EXPECT_EQ(lines.written + lines.suppressed, uint64_t(kSends));
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

    // A window that begins before the last one's count was taken carries it.
    LogRateLimiter carry(2, 1000);
    for (uint32_t t = 0; t < 5; ++t) carry.Admit(&site, t);
    EXPECT_TRUE(carry.Admit(&site, 1000)) << "a new window writes again, from its first millisecond";
    const auto carried = carry.TakeEnded(2000);
    ASSERT_EQ(carried.size(), 1u) << "the earlier window's count was lost";
    EXPECT_EQ(carried[0].lines, 3u);
}
