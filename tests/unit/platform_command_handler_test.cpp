// The platform command handler, called directly with records as a plug-in's
// send would deliver them. The bus registry is process-wide and never
// forgets, so each fake plug-in has a module handle of its own.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bus_test_support.h"
#include "app_lifecycle.h"
#include "common/command_bus.h"
#include "product_identity.h"
#include "services/device_server.h"
#include "services/maximize_toggle.h"
#include "services/platform_command_handler.h"
#include "services/update_flow.h"
#include "services/window_commands.h"
#include "settings_catalog.h"

namespace {

void* const kCommPlugin = reinterpret_cast<void*>(0x51000);
void* const kTitlePlugin = reinterpret_cast<void*>(0x52000);
void* const kUpdatePlugin = reinterpret_cast<void*>(0x53000);
void* const kCrashWatcher = reinterpret_cast<void*>(0x54000);

// Most commands here come from the communication plug-in.
using ::Record;
BASObserveData Record(const char* command) { return ::Record(command, kCommPlugin); }

BASObserveData Served(BASObserveData record) {
    PlatformCommandHandler(&record);
    return record;
}

bool SameBytes(const BASObserveData& a, const BASObserveData& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void Attach(const char* command, void* owner, BASCommandFunction receive) {
    CommandEndpoint* endpoint = NewEndpoint(owner);
    endpoint->receive = receive;
    RegisterEndpoint(command, endpoint);
}

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

TEST(HostCommandNames, AreTwentySevenDistinctNamesFromMaximiseToConfirm) {
    ASSERT_EQ(kHostCommandNameCount, 27u);
    std::set<std::string> distinct(kHostCommandNames, kHostCommandNames + kHostCommandNameCount);
    EXPECT_EQ(distinct.size(), kHostCommandNameCount) << "a name registered twice would be served twice";
    EXPECT_STREQ(kHostCommandNames[0], "LIBPLATFORM_COMMAND_PRESS_MAX_OR_RESET");
    EXPECT_STREQ(kHostCommandNames[8], "LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL");
    EXPECT_STREQ(kHostCommandNames[26], "LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE");
    EXPECT_EQ(distinct.count("LIBPLATFORM_COMMAND_CLOSE_ENSURE"), 0u) << "the host only sends the close query";
    EXPECT_EQ(distinct.count("LIBWINDOW_COMMAND_SIZE_CHANGE"), 0u) << "the host only sends size changes";
}

TEST(LookupCommands, FindUrlAnswersTheHostsOwnTextAndEmptyTextForUnknownKeys) {
    SetNamedUrl("url:handler-test", "https://support.zentrovia.example/");
    BASObserveData known = Record(LIBPLATFORM_COMMAND_FIND_URL);
    known.arg = "url:handler-test";
    known = Served(known);
    EXPECT_STREQ(static_cast<const char*>(known.object), "https://support.zentrovia.example/");
    EXPECT_EQ(known.object, FindNamedUrl("url:handler-test")) << "the answer is host-kept, not a copy";

    BASObserveData unknown = Record(LIBPLATFORM_COMMAND_FIND_URL);
    unknown.arg = "url:never-configured";
    const void* first = Served(unknown).object;
    const void* second = Served(unknown).object;
    ASSERT_NE(first, nullptr) << "an unknown key answers empty text, never null";
    EXPECT_STREQ(static_cast<const char*>(first), "");
    EXPECT_EQ(first, second) << "host-kept: the same text each time, nothing for the plug-in to free";
}

TEST(LookupCommands, FindImageAnswersTheCachedBitmapOrNull) {
    auto* bitmap = reinterpret_cast<Gdiplus::Bitmap*>(0x6060);
    SetNamedImage("handler-test.png", bitmap);
    BASObserveData record = Record(LIBPLATFORM_COMMAND_FIND_IMAGE);
    record.arg = "handler-test.png";
    EXPECT_EQ(Served(record).object, bitmap);
    record.arg = "never-cached.png";
    record.object = reinterpret_cast<void*>(0xBAD);
    EXPECT_EQ(Served(record).object, nullptr) << "an unknown image must overwrite the slot with 0";
}

TEST(IdentityCommands, ProductAliasAndAppNameAreFreshCopiesForThePluginToFree) {
    wchar_t* alias1 = Served(Record(LIBPLATFORM_COMMAND_GET_PRODUCT_ALIAS)).wideText;
    wchar_t* alias2 = Served(Record(LIBPLATFORM_COMMAND_GET_PRODUCT_ALIAS)).wideText;
    ASSERT_NE(alias1, nullptr);
    ASSERT_NE(alias2, nullptr);
    EXPECT_NE(alias1, alias2) << "each answer must be a new block, or two plug-ins would free one twice";
    EXPECT_STREQ(alias1, L"Zentrovia Handset Message + Contact Rescue");
    free(alias1);
    free(alias2);

    wchar_t* name1 = Served(Record(LIBPLATFORM_COMMAND_GET_APP_NAME)).wideText;
    wchar_t* name2 = Served(Record(LIBPLATFORM_COMMAND_GET_APP_NAME)).wideText;
    ASSERT_NE(name1, nullptr);
    ASSERT_NE(name2, nullptr);
    EXPECT_NE(name1, name2);
    EXPECT_STREQ(name1, L"Zentrovia Handset Companion");
    free(name1);
    free(name2);
}

TEST(DevicePathCommands, AnswerEmptyHostKeptTextsWithoutConfiguration) {
    for (const char* command : {LIBCOMM_COMMAND_GET_ANDROID_SERVER_PATH, LIBCOMM_COMMAND_GET_ANDROID_SERVICE_PATH}) {
        const wchar_t* first = Served(Record(command)).wideText;
        const wchar_t* second = Served(Record(command)).wideText;
        ASSERT_NE(first, nullptr) << command << ": a plug-in would crash reading a null path";
        EXPECT_STREQ(first, L"") << command;
        EXPECT_EQ(first, second) << command << ": host-kept, not a fresh copy";
    }
}

TEST(CompleteVersionCommand, AnswersZeroWhateverValueHeld) {
    BASObserveData record = Record(LIBPLATFORM_COMMAND_GET_COMPLETE_VERSION);
    record.value = int64_t{0x7EADBEEF} << 32 | 0x1234;
    EXPECT_EQ(Served(record).value, 0);
}

TEST(ConfirmCommand, AnswersZeroWhenValueCarriedAWidth) {
    BASObserveData record = Record(LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE);
    record.wideText = const_cast<wchar_t*>(L"Delete the selected messages?");
    record.value = 400;
    EXPECT_EQ(Served(record).value, 0) << "the width must not come back as a confirmation";
}

// Fills every field, so that any write shows.
BASObserveData BusyRecord(const char* command) {
    BASObserveData record;
    std::memset(&record, 0x5A, sizeof record);
    record.command = command;
    record.sender = kTitlePlugin;
    return record;
}

TEST(PlatformCommandHandler, LeavesRecordsItCannotServeByteIdentical) {
    for (const char* command : {"LIBPLATFORM_COMMAND_NOT_A_COMMAND", "LIBPLATFORM_COMMAND_PRESS_MAX_OR_RESE",
                                LIBPLATFORM_COMMAND_CLOSE_ENSURE, LIBPLATFORM_COMMAND_OPEN_ABOUT,
                                LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE, LIBPLATFORM_COMMAND_START_PROGRESS,
                                LIBPLATFORM_COMMAND_NOTIFY_PROGRESS, LIBCOMM_COMMAND_START_SERVICE_FAIL,
                                LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL, LIBCOMM_COMMAND_START_SERVER_FINISH}) {
        const BASObserveData before = BusyRecord(command);
        EXPECT_TRUE(SameBytes(Served(before), before)) << command;
    }
    PlatformCommandHandler(nullptr);
    const BASObserveData nameless = BusyRecord(nullptr);
    EXPECT_TRUE(SameBytes(Served(nameless), nameless));
}

// A private temporary folder, so that deleting the day's folder cannot touch
// another program's logs.
class TempDirCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        GetEnvironmentVariableW(L"TMP", savedTmp_, MAX_PATH);
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, temp);
        privateTemp_ = std::wstring(temp) + L"lumarest-handler-test-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        ASSERT_TRUE(CreateDirectoryW(privateTemp_.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        SetEnvironmentVariableW(L"TMP", privateTemp_.c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"TMP", savedTmp_[0] ? savedTmp_ : nullptr);
        RemoveDirectoryW(DayFolder().c_str());
        RemoveDirectoryW((privateTemp_ + L"Zentrovia").c_str());
        RemoveDirectoryW(privateTemp_.c_str());
    }
    std::wstring DayFolder() const { return privateTemp_ + L"Zentrovia\\" + NowFormatted("%Y%m%d") + L"\\"; }
    static bool IsFolder(const std::wstring& path) {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    static std::wstring TakeAnswer() {
        wchar_t* text = Served(Record(LIBPLATFORM_COMMAND_GET_TEMP_DIR)).wideText;
        std::wstring answer = text ? text : L"(null)";
        free(text);
        return answer;
    }

    wchar_t savedTmp_[MAX_PATH] = {};
    std::wstring privateTemp_;
};

TEST_F(TempDirCommandTest, AnswersTheDayFolderWithABackslashAndCreatesItAgainWhenDeleted) {
    ASSERT_FALSE(IsFolder(DayFolder()));
    EXPECT_EQ(TakeAnswer(), DayFolder());
    EXPECT_TRUE(IsFolder(DayFolder())) << "the plug-in writes into the folder at once: it must exist";

    ASSERT_TRUE(RemoveDirectoryW(DayFolder().c_str()));
    EXPECT_EQ(TakeAnswer(), DayFolder());
    EXPECT_TRUE(IsFolder(DayFolder())) << "a folder removed since start-up (or a new day) must be made again";
}

TEST(MaximizeToggle, TwoTogglesReturnExactlyTheOriginalRectangle) {
    const RECT original{100, 50, 900, 650};
    const RECT workArea{0, 0, 1280, 760};
    const MaximizeStep first = ToggleMaximize(MaximizeState{}, original, workArea);
    EXPECT_TRUE(first.next.maximized) << "the first request maximises";
    EXPECT_EQ(first.frame, (WindowPlacement{0, 0, 1280, 760}));
    EXPECT_EQ(first.view, (WindowPlacement{1, 1, 1276, 756}));

    const RECT maximized{0, 0, 1280, 760};
    const MaximizeStep second = ToggleMaximize(first.next, maximized, workArea);
    EXPECT_FALSE(second.next.maximized);
    EXPECT_EQ(second.frame, (WindowPlacement{100, 50, 800, 600})) << "restore must use the rectangle saved before";
    EXPECT_EQ(second.view, (WindowPlacement{1, 1, 796, 596}));
}

TEST(MaximizeToggle, CoversTheWorkAreasSizeFromTheScreenOrigin) {
    // A task bar on the left leaves a work area that does not start at 0.
    const MaximizeStep step = ToggleMaximize(MaximizeState{}, RECT{10, 10, 410, 310}, RECT{60, 0, 1340, 800});
    EXPECT_EQ(step.frame, (WindowPlacement{0, 0, 1280, 800}));
}

TEST(MaximizeToggle, RestoreKeepsTheSavedRectangleForTheNextMaximise) {
    const RECT workArea{0, 0, 1024, 768};
    MaximizeState state;
    state = ToggleMaximize(state, RECT{20, 30, 620, 430}, workArea).next;
    state = ToggleMaximize(state, RECT{0, 0, 1024, 768}, workArea).next;
    // Moved while restored: the next maximise saves the new place, not the old.
    state = ToggleMaximize(state, RECT{200, 100, 800, 500}, workArea).next;
    const MaximizeStep restore = ToggleMaximize(state, RECT{0, 0, 1024, 768}, workArea);
    EXPECT_EQ(restore.frame, (WindowPlacement{200, 100, 600, 400}));
}

// Main-thread calls need their window and a loop on this thread.
class MainThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        deliveries.clear();
        ASSERT_TRUE(calls_.IsOpen());
    }
    static void Pump() { PumpThreadMessages(); }
    // Serves the record on a thread of its own, as a plug-in's send would.
    static BASObserveData ServedOnPluginThread(BASObserveData record) {
        std::thread plugin([&] { PlatformCommandHandler(&record); });
        plugin.join();
        return record;
    }

    MainThreadCalls calls_;
};

TEST_F(MainThreadTest, ReadyStartServerComesBackOnTheMainThreadToEveryPluginTheSenderIncluded) {
    Attach(LIBCOMM_COMMAND_READY_START_SERVER, kCommPlugin, Capture<&kCommPlugin>);
    Attach(LIBCOMM_COMMAND_READY_START_SERVER, kTitlePlugin, Capture<&kTitlePlugin>);
    BASObserveData start = Record(LIBCOMM_COMMAND_READY_START_SERVER, kCommPlugin);
    start.value = 7;
    const BASObserveData after = ServedOnPluginThread(start);
    EXPECT_TRUE(SameBytes(after, start)) << "the sender's own record is not the one relayed";
    EXPECT_TRUE(deliveries.empty()) << "nothing is delivered before the main thread runs the call";

    Pump();
    EXPECT_EQ(DeliveriesTo(kCommPlugin).size(), 1u) << "the first sender must receive the relay too";
    EXPECT_EQ(DeliveriesTo(kTitlePlugin).size(), 1u);
    for (const Delivery& delivery : deliveries) {
        EXPECT_EQ(delivery.thread, GetCurrentThreadId());
        EXPECT_EQ(delivery.record.sender, HostInstance());
        EXPECT_EQ(delivery.record.value, 7);
        EXPECT_STREQ(delivery.record.command, LIBCOMM_COMMAND_READY_START_SERVER);
    }
}

TEST_F(MainThreadTest, ServerCrashAsksOnceForANewStartWithTheCrashValue) {
    Attach(LIBCOMM_COMMAND_READY_START_SERVER, kCrashWatcher, Capture<&kCrashWatcher>);
    BASObserveData crash = Record(LIBCOMM_COMMAND_SERVER_CRASH, kCommPlugin);
    crash.value = 3;
    crash.arg = "not passed on";
    ServedOnPluginThread(crash);
    EXPECT_TRUE(deliveries.empty());

    Pump();
    const std::vector<Delivery> restarts = DeliveriesTo(kCrashWatcher);
    ASSERT_EQ(restarts.size(), 1u) << "every crash gives exactly one restart request";
    EXPECT_EQ(restarts[0].record.value, 3);
    EXPECT_EQ(restarts[0].record.sender, HostInstance());
    EXPECT_EQ(restarts[0].record.arg, nullptr) << "the restart is a fresh record, not the crash record renamed";
    EXPECT_EQ(restarts[0].thread, GetCurrentThreadId());
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
    request.value2 = 5;
    request.value3 = 6;
    request.window = reinterpret_cast<void*>(0x77);
    const BASObserveData before = request;

    PlatformCommandHandler(&request);
    EXPECT_TRUE(SameBytes(request, before)) << "the plug-in's own record is copied, not renamed in place";
    EXPECT_TRUE(ManualCheckRequested()) << "the answer must be shown, even when there is nothing new";
    ASSERT_EQ(deliveries.size(), 1u);
    const BASObserveData& delivered = deliveries[0].record;
    EXPECT_STREQ(delivered.command, "LIBCOMM_COMMAND_CHECK_FOR_UPDATE");
    BASObserveData expected = before;
    expected.command = delivered.command;  // the same text may live at another address
    expected.sender = HostInstance();
    EXPECT_TRUE(SameBytes(delivered, expected));
}

// A frame with a view child on this thread, placed by the real toggle.
TEST(MaxOrResetCommand, MovesTheFrameAndViewAndBringsThemBack) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND frame = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 100, 50, 800, 600, nullptr, nullptr,
                                 instance, nullptr);
    ASSERT_NE(frame, nullptr);
    HWND view = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 1, 1, 796, 596, frame, nullptr, instance,
                                nullptr);
    ASSERT_NE(view, nullptr);
    RECT original{};
    GetWindowRect(frame, &original);
    RECT workArea{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);

    ToggleFrameMaximized(frame);
    RECT maximized{};
    GetWindowRect(frame, &maximized);
    EXPECT_EQ(maximized.right - maximized.left, workArea.right - workArea.left);
    EXPECT_EQ(maximized.bottom - maximized.top, workArea.bottom - workArea.top);
    RECT viewRect{};
    GetWindowRect(view, &viewRect);
    EXPECT_EQ(viewRect.right - viewRect.left, workArea.right - workArea.left - 4) << "the view must follow the frame";

    ToggleFrameMaximized(frame);
    RECT restored{};
    GetWindowRect(frame, &restored);
    EXPECT_TRUE(EqualRect(&restored, &original));

    DestroyWindow(frame);
}

TEST(DeviceStatus, OnlyRemovalAndDisconnectionAreRead) {
    EXPECT_STREQ(DeviceStatusWord(0), "removed");
    EXPECT_STREQ(DeviceStatusWord(20), "disconnected");
    EXPECT_EQ(DeviceStatusWord(1), nullptr);
    EXPECT_EQ(DeviceStatusWord(int64_t{1} << 32), nullptr) << "the whole 64-bit value decides, not its low half";
}

TEST(DeviceStatus, NamesTheDeviceOnlyWhenHadRemovedIsANonZeroNumber) {
    EXPECT_EQ(ReadDeviceStatus(R"({"had_removed":1,"device_name":"Pixel 4a"})", "removed").notice,
              "Pixel 4a is removed.");
    EXPECT_EQ(ReadDeviceStatus(R"({"had_removed":2,"device_name":"Galaxy"})", "disconnected").notice,
              "Galaxy is disconnected.");
    for (const char* quiet : {R"({"had_removed":0,"device_name":"Pixel"})", R"({"device_name":"Pixel"})",
                              R"({"had_removed":"1","device_name":"Pixel"})"}) {
        const DeviceStatusReading reading = ReadDeviceStatus(quiet, "removed");
        EXPECT_TRUE(reading.parsed) << quiet;
        EXPECT_EQ(reading.notice, "") << quiet;
    }
}

TEST(DeviceStatus, TextThatIsNotAJsonObjectGivesTheReadersMessageAndNoNotice) {
    for (const char* broken : {"{\"had_removed\":1,", "[1,2]", ""}) {
        const DeviceStatusReading reading = ReadDeviceStatus(broken, "removed");
        EXPECT_FALSE(reading.parsed) << broken;
        EXPECT_FALSE(reading.error.empty()) << broken;
        EXPECT_EQ(reading.notice, "") << broken;
    }
    EXPECT_FALSE(ReadDeviceStatus(nullptr, "removed").parsed);
}

TEST(DeviceStatus, CommandLeavesTheRecordUnchangedWhateverItCarries) {
    BASObserveData record = Record(LIBCOMM_COMMAND_ANDROID_STATUS_RECV);
    record.arg = R"({"had_removed":1,"device_name":"Pixel"})";
    for (int64_t value : {0, 20, 5}) {
        record.value = value;
        EXPECT_TRUE(SameBytes(Served(record), record)) << value;
    }
    record.arg = "not json";
    EXPECT_TRUE(SameBytes(Served(record), record));
}

}  // namespace
