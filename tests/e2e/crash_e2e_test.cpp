// Real runs of the host dying of a plug-in's fault, each way a process can:
// the probe dies on its own thread or inside a command the host delivers on
// the main thread. Each run must end by itself and leave in the day's log
// folder one new ".zip" beside the older ones and nothing else; the zip holds
// "Crash.json" naming the probe. The notice is closed with its close button
// and the folder is opened in the shell.
#include <gtest/gtest.h>

#include <windows.h>

// unzip.h first: iowin32.h needs the declarations that it brings.
#include <minizip/unzip.h>
#include <minizip/iowin32.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "screen_support.h"

namespace {

using namespace e2e;

constexpr int kCloseId = 5050;

// The first entry of a zip whose name matches, read with minizip; empty when
// there is none.
std::string ReadZipEntry(const std::wstring& path, const std::function<bool(const std::string&)>& matches) {
    std::string content;
    zlib_filefunc64_def io;
    fill_win32_filefunc64W(&io);
    unzFile zip = unzOpen2_64(path.c_str(), &io);
    char name[260];
    for (int at = zip ? unzGoToFirstFile(zip) : UNZ_END_OF_LIST_OF_FILE; at == UNZ_OK; at = unzGoToNextFile(zip)) {
        if (unzGetCurrentFileInfo64(zip, nullptr, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK ||
            !matches(name) || unzOpenCurrentFile(zip) != UNZ_OK)
            continue;
        char chunk[16384];
        for (int n; (n = unzReadCurrentFile(zip, chunk, sizeof chunk)) > 0;) content.append(chunk, n);
        unzCloseCurrentFile(zip);
        break;
    }
    if (zip) unzClose(zip);
    return content;
}

uint32_t Word(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    if (at + 4 <= bytes.size()) std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

// The exception code a minidump's exception stream holds; 0 when the bytes
// are no minidump or hold no such stream.
uint32_t DumpExceptionCode(const std::string& dump) {
    constexpr uint32_t kSignature = 0x504D444D, kExceptionStream = 6;  // "MDMP"
    if (Word(dump, 0) != kSignature) return 0;
    const uint32_t streams = Word(dump, 8), directory = Word(dump, 12);
    for (uint32_t i = 0; i < streams && directory + 12 * (i + 1) <= dump.size(); ++i) {
        const size_t entry = directory + 12 * i;
        if (Word(dump, entry) == kExceptionStream) return Word(dump, Word(dump, entry + 8) + 8);  // past thread id
    }
    return 0;
}

// Each parameter is a way to die (probe_crash.h) on a plug-in's thread; with
// "main:" before it inside a command that the host delivers on its main
// thread, with "register:" in RegisterModule, on the main thread too while
// the frame is being made.
class CrashRun : public HostRun, public ::testing::WithParamInterface<std::string> {};

TEST_P(CrashRun, LeavesOneZipNamingThePluginAndANoticeThatOpensTheFolder) {
    const std::string where = GetParam().substr(0, GetParam().find(':') + 1), way = GetParam().substr(where.size());
    if (where == "register:")
        environment_.push_back({L"LUMAREST_PROBE_REGISTER_CRASH", std::wstring(way.begin(), way.end())});
    // The host's maximise sizes the view, which the host announces from its
    // main thread.
    const std::string onMain =
        "CRASHON LIBWINDOW_COMMAND_SIZE_CHANGE " + way + "\nSEND LIBPLATFORM_COMMAND_PRESS_MAX_OR_RESET\n";
    AddProbe({"LIBWINDOW_COMMAND_SIZE_CHANGE"},
             where == "register:" ? "" : "SLEEP 3000\n" + (where == "main:" ? onMain : "CRASH " + way + "\n"));
    HostProcess host(Options());
    const std::wstring folder = host.LogFolder();
    CreateDirectoryW((temp_.Path() + L"\\Zentrovia").c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    temp_.Write(folder.substr(temp_.Path().size() + 1) + L"\\older.zip", "an earlier report");
    ASSERT_TRUE(host.Start());

    HWND notice = WaitForDialog(host, kCrashNotice, kStartTimeoutMs);
    ASSERT_NE(notice, nullptr) << "no crash notice; probe log:\n" << Log();
    // Wine's shell shows a folder in an explorer window titled with its name.
    const std::wstring day = folder.substr(folder.find_last_of(L'\\') + 1);
    auto explorer = [&] { return FindWindowW(L"ExplorerWClass", day.c_str()); };
    EXPECT_TRUE(WaitUntil([&] { return !explorer(); }, kEventTimeoutMs)) << "an earlier run's window stays";
    ClickOn(notice, kCloseId);
    EXPECT_NE(host.WaitForExit(kEventTimeoutMs), STILL_ACTIVE) << "the host outlived its crash";
    EXPECT_TRUE(WaitUntil([&] { return explorer() != nullptr; }, kEventTimeoutMs)) << "the folder was not opened";
    PostMessageW(explorer(), WM_CLOSE, 0, 0);

    const std::vector<std::wstring> left = EntriesOf(folder);
    ASSERT_EQ(left.size(), 2u) << "the folder should hold the older zip and the new one alone";
    EXPECT_EQ(left[1], L"older.zip");
    ASSERT_EQ(left[0].substr(left[0].size() - 4), L".zip");
    EXPECT_EQ(ReadTextFile(StartMarkerPath()), "crashed\nProbe\n") << "the next start would not offer to leave it out";

    const std::wstring zip = folder + L"\\" + left[0];
    EXPECT_NE(DumpExceptionCode(ReadZipEntry(zip, [](const std::string& name) { return name.ends_with(".dmp"); })), 0u)
        << "the zip holds no minidump with the fault in it";
    const std::string crashJson = ReadZipEntry(zip, [](const std::string& name) { return name == "Crash.json"; });
    rapidjson::Document json;
    json.Parse(crashJson.c_str());
    // Under qemu a null write may arrive as an illegal instruction: the
    // module is what is checked, not the code.
    ASSERT_TRUE(json.IsObject() && json.HasMember("Module") && json.HasMember("Plugin")) << crashJson;
    EXPECT_STREQ(json["Module"].GetString(), "probe.dll");
    EXPECT_STREQ(json["Plugin"].GetString(), "Probe");
}

// With a file where the day's log folder should be, no dump or zip can be
// written: the notice says so and must not send the user to a folder with no
// report.
TEST_F(HostRun, ACrashWithNoReportSaysSoAndOpensNoFolder) {
    AddProbe({}, "SLEEP 2000\nCRASH thread-null-write\n");
    HostProcess host(Options());
    const std::wstring folder = host.LogFolder();
    CreateDirectoryW((temp_.Path() + L"\\Zentrovia").c_str(), nullptr);
    temp_.Write(folder.substr(temp_.Path().size() + 1), "not a folder");
    ASSERT_TRUE(host.Start());
    HWND notice = WaitForDialog(host, kCrashNotice, kStartTimeoutMs);
    ASSERT_NE(notice, nullptr) << "no crash notice; probe log:\n" << Log();
    EXPECT_NE(WindowText(notice).find(L"No crash report could be saved"), std::wstring::npos)
        << "the notice does not say that no report was saved";
    ClickOn(notice, kCloseId);
    EXPECT_NE(host.WaitForExit(kEventTimeoutMs), STILL_ACTIVE) << "the host outlived its crash";
    const std::wstring day = folder.substr(folder.find_last_of(L'\\') + 1);
    Sleep(3000);
    EXPECT_EQ(FindWindowW(L"ExplorerWClass", day.c_str()), nullptr) << "a folder without a report was opened";
}

std::string WayName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return c == '-' || c == ':'; }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(EveryWay, CrashRun,
                         // A plug-in's pure virtual call ends in its own runtime's
                         // terminate, which aborts. A bad argument to the C runtime
                         // is no way here: Wine's msvcrt.dll has no invalid-parameter
                         // handler and only logs it.
                         ::testing::Values("main:null-write", "register:null-write", "thread-null-write",
                                           "divide-by-zero", "abort", "pure-virtual", "stack-overflow", "two-threads"),
                         WayName);

}  // namespace
