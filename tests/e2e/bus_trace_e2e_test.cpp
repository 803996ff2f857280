// The bus trace in a real run: Lumarest.exe started with "--trace-bus", the
// shipped recovery module's scan started with real mouse presses, the trace
// file read back from beside the log after the close.
#include <gtest/gtest.h>

#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include "host_process.h"
#include "plugin_tree.h"
#include "screen_support.h"

namespace {

using namespace e2e;

constexpr int kConfirmId = 5051, kSecondId = 5052;

struct TraceLine {
    long long micros = 0;
    std::string sender, command;
    long long value = 0;
    unsigned long thread = 0;
    std::vector<std::pair<std::string, long long>> receivers;  // name, microseconds
};

bool AllDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// One line as the trace writes it; false when it does not have that form.
bool ParseLine(const std::string& text, TraceLine& line) {
    std::vector<std::string> fields;
    std::stringstream stream(text);
    for (std::string field; std::getline(stream, field, '\t');) fields.push_back(field);
    if (fields.size() < 5 || !AllDigits(fields[0]) || fields[1].empty() || fields[2].empty() || !AllDigits(fields[4]))
        return false;
    const std::string& value = fields[3];
    if (!AllDigits(value[0] == '-' ? value.substr(1) : value)) return false;
    line.micros = std::stoll(fields[0]);
    line.sender = fields[1];
    line.command = fields[2];
    line.value = std::stoll(value);
    line.thread = std::stoul(fields[4]);
    for (size_t i = 5; i < fields.size(); ++i) {
        const size_t colon = fields[i].rfind(':');
        if (colon == 0 || colon == std::string::npos || !AllDigits(fields[i].substr(colon + 1))) return false;
        line.receivers.push_back({fields[i].substr(0, colon), std::stoll(fields[i].substr(colon + 1))});
    }
    return true;
}

// The run's one trace file below the log folder, or empty.
std::wstring FindTraceFile(const std::wstring& logFolder) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((logFolder + L"\\bus-trace.*.txt").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return {};
    std::wstring found = logFolder + L"\\" + entry.cFileName;
    if (FindNextFileW(search, &entry)) found.clear();  // more than one: not this run's alone
    FindClose(search);
    return found;
}

class BusTraceRun : public HostRun {};

// The phone's ten items; the third, sixth and ninth cannot be read, which
// the module sends as value 1.
TEST_F(BusTraceRun, TheScansProgressCommandsAreTracedInOrderWithTheirSenderThreadAndReceivers) {
    AddShipped(L"Recovery");
    AddShipped(L"Title");
    AddProbe({"LIBPLATFORM_COMMAND_NOTIFY_PROGRESS"}, "");
    HostProcess::Options options = Options();
    options.arguments = L"--trace-bus";
    HostProcess host(options);
    ASSERT_TRUE(host.Start());
    HWND frame = host.WaitForMainWindow(kStartTimeoutMs);
    ASSERT_NE(frame, nullptr);
    HWND pane = WaitForPane(frame, L"LumarestRecoveryPane", kEventTimeoutMs);
    ASSERT_NE(pane, nullptr);
    // "Start Scan" at (332, 308) to (482, 348) of the pane, then "OK" in the question.
    POINT scan{407, 328};
    ClientToScreen(pane, &scan);
    ClickAt(scan);
    HWND question = WaitForDialog(host, 400);
    ASSERT_NE(question, nullptr) << "no question before the scan";
    ClickAt(Centre(WindowRect(Control(question, kConfirmId))));
    HWND progress = WaitForDialog(host, 500);
    ASSERT_NE(progress, nullptr) << "no progress dialog after the confirmed scan";
    const int cancelWidth = ControlWidth(progress, kSecondId);
    ASSERT_TRUE(WaitUntil([&] { return ControlWidth(progress, kSecondId) < cancelWidth; }, kEventTimeoutMs))
        << "the scan never ended";
    ClickAt(Centre(WindowRect(Control(progress, kSecondId))));
    Close(host);

    const std::wstring path = FindTraceFile(host.LogFolder());
    ASSERT_FALSE(path.empty()) << "no trace file, or more than one, beside the log";
    // Kept with the screenshots, to be read.
    CopyFileW(path.c_str(), L"" LUMAREST_TEST_ARTIFACTS_DIR L"\\bus-trace-scan.txt", FALSE);
    const std::string text = ReadTextFile(path);
    std::vector<TraceLine> lines;
    std::stringstream stream(text);
    std::string heading;
    std::getline(stream, heading);
    EXPECT_EQ(heading.rfind("# Lumarest bus trace", 0), 0u) << heading;
    for (std::string raw; std::getline(stream, raw);) {
        EXPECT_NE(raw.rfind("# dropped", 0), 0u) << "a trace of a scan dropped lines";
        TraceLine line;
        ASSERT_TRUE(ParseLine(raw, line)) << "a line of another form: " << raw;
        lines.push_back(line);
    }
    const std::string log = host.ReadLogs();
    EXPECT_NE(log.find("Bus trace closed: " + std::to_string(lines.size()) + " lines written, 0 dropped"),
              std::string::npos)
        << "the close did not wait for every line";

    // The host's own sends come from its main thread.
    unsigned long mainThread = 0;
    for (const TraceLine& line : lines)
        if (line.sender == "Product" && line.command == "LIBWINDOW_COMMAND_SIZE_CHANGE") mainThread = line.thread;
    ASSERT_NE(mainThread, 0u) << "the host's size change is not traced";

    const TraceLine* confirm = nullptr;
    std::vector<const TraceLine*> progressLines;
    for (const TraceLine& line : lines) {
        if (line.sender == "Recovery" && line.command == "LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE") confirm = &line;
        if (line.command.find("_PROGRESS") != std::string::npos) {
            EXPECT_EQ(line.sender, "Recovery") << line.command;
            progressLines.push_back(&line);
        }
    }
    ASSERT_NE(confirm, nullptr) << "the question is not traced";
    EXPECT_EQ(confirm->value, 400) << "the dialog's width, as sent";
    EXPECT_EQ(confirm->thread, mainThread) << "the pane asks from the main thread";
    ASSERT_EQ(confirm->receivers.size(), 1u);
    EXPECT_EQ(confirm->receivers[0].first, "Product");
    EXPECT_GT(confirm->receivers[0].second, 300000) << "the question was open for longer than half a second";

    ASSERT_EQ(progressLines.size(), 11u) << "a start, nine notifications and a finish";
    EXPECT_EQ(progressLines[0]->command, "LIBPLATFORM_COMMAND_START_PROGRESS");
    const long long failed[] = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0};
    for (int item = 0; item < 10; ++item) {
        const TraceLine& line = *progressLines[1 + item];
        EXPECT_EQ(line.command,
                  item < 9 ? "LIBPLATFORM_COMMAND_NOTIFY_PROGRESS" : "LIBPLATFORM_COMMAND_NOTIFY_PROGRESS_FINISH")
            << "item " << item;
        EXPECT_EQ(line.value, failed[item]) << "item " << item;
        EXPECT_EQ(line.thread, progressLines[0]->thread) << "item " << item << " came from another thread";
        std::vector<std::string> receivers;
        for (const auto& receiver : line.receivers) receivers.push_back(receiver.first);
        const std::vector<std::string> expected =
            item < 9 ? std::vector<std::string>{"Probe", "Product"} : std::vector<std::string>{"Product"};
        EXPECT_EQ(receivers, expected) << "item " << item;
    }
    EXPECT_NE(progressLines[0]->thread, mainThread) << "the scan runs on a thread of its own";
    // The module waits 400 ms before each item.
    const long long spread = progressLines[10]->micros - progressLines[1]->micros;
    EXPECT_GT(spread, 3200000) << "nine waits of 400 ms";
    EXPECT_LT(spread, 40000000);
}

}  // namespace
