// The crash filter and the host's report: a crasher program dies in each way
// a process can under the filter, and the one ".zip" that it leaves is
// opened and read; the host's naming of the faulting module and its
// cleaning of the report folder.
#include <windows.h>

#include <dbghelp.h>
#include <gtest/gtest.h>
// unzip.h first: iowin32.h needs the declarations that it brings.
#include <minizip/unzip.h>
#include <minizip/iowin32.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "BASDbgReport.h"
#include "UniqueResource.h"
#include "crash_report.h"
#include "host_state.h"
#include "test_files.h"

namespace {

// The names in a folder, sorted; none of those made here begins with a dot.
std::vector<std::wstring> EntriesOf(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &entry))
        if (entry.cFileName[0] != L'.') names.push_back(entry.cFileName);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

// Every entry of a zip, by name, read with minizip.
std::map<std::string, std::string> ReadZip(const std::wstring& path) {
    std::map<std::string, std::string> entries;
    zlib_filefunc64_def io;
    fill_win32_filefunc64W(&io);
    unzFile zip = unzOpen2_64(path.c_str(), &io);
    if (!zip) return entries;
    for (int at = unzGoToFirstFile(zip); at == UNZ_OK; at = unzGoToNextFile(zip)) {
        char name[MAX_PATH] = {};
        if (unzGetCurrentFileInfo64(zip, nullptr, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) break;
        if (unzOpenCurrentFile(zip) != UNZ_OK) break;
        char chunk[16384];
        for (int n; (n = unzReadCurrentFile(zip, chunk, sizeof chunk)) > 0;) entries[name].append(chunk, n);
        unzCloseCurrentFile(zip);
    }
    unzClose(zip);
    return entries;
}

// The dump's exception stream, or null when the dump has none.
const MINIDUMP_EXCEPTION_STREAM* ExceptionStreamOf(const std::string& dump) {
    void* stream = nullptr;
    ULONG size = 0;
    if (dump.size() < sizeof(MINIDUMP_HEADER) ||
        !MiniDumpReadDumpStream(const_cast<char*>(dump.data()), ExceptionStream, nullptr, &stream, &size))
        return nullptr;
    return size >= sizeof(MINIDUMP_EXCEPTION_STREAM) ? static_cast<const MINIDUMP_EXCEPTION_STREAM*>(stream) : nullptr;
}

std::string Hex(DWORD value) {
    char text[16];
    snprintf(text, sizeof text, "0x%08lX", value);
    return text;
}

struct WayToDie {
    const wchar_t* name;
    DWORD code;  // 0: not checked (qemu may report a null write as an illegal instruction)
};

class CrashFilterTest : public ::testing::TestWithParam<WayToDie> {};

// Runs the crasher, which must end by itself: a filter that fails lets Wine's
// debugger or a second report hold it.
DWORD RunCrasher(const std::wstring& way, const std::wstring& reportFolder, const std::wstring& threadFile) {
    const std::string crasher = LUMAREST_TEST_CRASHER_EXE;  // ASCII: a build path seen through Z:
    std::wstring commandLine = L"\"" + std::wstring(crasher.begin(), crasher.end()) + L"\" " + way + L" \"" +
                               reportFolder + L"\" \"" + threadFile + L"\"";
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &info)) {
        ADD_FAILURE() << "the crasher program did not start";
        return 0;
    }
    CloseHandle(info.hThread);
    UniqueHandle process(info.hProcess);
    if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), 5000);
        ADD_FAILURE() << "the crasher was still running after a minute";
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.get(), &exitCode);
    return exitCode;
}

TEST_P(CrashFilterTest, LeavesOneZipWithTheDumpTheSystemAndTheLastLogLine) {
    const WayToDie way = GetParam();
    if (way.code == kCrashCodeInvalidParameter &&
        !GetProcAddress(GetModuleHandleW(L"msvcrt.dll"), "_set_invalid_parameter_handler"))
        GTEST_SKIP() << "this msvcrt.dll (Wine's) has no invalid-parameter handler: it only logs bad arguments";
    TempFolder temp;
    const std::wstring reportFolder = temp.Path() + L"\\report";
    CreateDirectoryW(reportFolder.c_str(), nullptr);
    EXPECT_NE(RunCrasher(way.name, reportFolder, temp.Path() + L"\\threads.txt"), 1u)
        << "the crasher survived its own death";

    const std::vector<std::wstring> left = EntriesOf(reportFolder);
    ASSERT_EQ(left.size(), 1u) << "the folder should hold the zip alone";
    ASSERT_NE(left[0].find(L".zip"), std::wstring::npos);
    std::map<std::string, std::string> zip = ReadZip(reportFolder + L"\\" + left[0]);

    const MINIDUMP_EXCEPTION_STREAM* exception = ExceptionStreamOf(zip["crash.dmp"]);
    ASSERT_NE(exception, nullptr) << "the zip holds no crash.dmp with an exception stream";
    std::istringstream threadFile(ReadTextFile(temp.Path() + L"\\threads.txt"));
    const std::set<DWORD> faulted{std::istream_iterator<DWORD>(threadFile), {}};
    EXPECT_TRUE(faulted.count(exception->ThreadId))
        << "the exception stream names thread " << exception->ThreadId << ", which did not fault";
    if (way.code) { EXPECT_EQ(Hex(exception->ExceptionRecord.ExceptionCode), Hex(way.code)); }

    rapidjson::Document json;
    json.Parse(zip["Crash.json"].c_str());
    ASSERT_TRUE(json.IsObject()) << "no Crash.json object in the zip: " << zip["Crash.json"];
    EXPECT_STREQ(json.MemberBegin()->name.GetString(), "Product") << "the system information comes first";
    EXPECT_TRUE(json["TotalMemSize"].IsUint64());
    if (way.code) { EXPECT_EQ(std::string(json["ExceptionCode"].GetString()), Hex(way.code)); }

    char lastLine[64];
    snprintf(lastLine, sizeof lastLine, "last line before %ls", way.name);
    bool logged = false;
    for (const auto& [name, content] : zip)
        logged |= name.find(".log.") != std::string::npos && content.find(lastLine) != std::string::npos;
    EXPECT_TRUE(logged) << "no log file in the zip holds the line written just before the fault";
}

INSTANTIATE_TEST_SUITE_P(EveryWay, CrashFilterTest,
                         ::testing::Values(WayToDie{L"null-write", 0}, WayToDie{L"thread-null-write", 0},
                                           WayToDie{L"divide-by-zero", EXCEPTION_INT_DIVIDE_BY_ZERO},
                                           WayToDie{L"abort", kCrashCodeAbort},
                                           WayToDie{L"pure-virtual", kCrashCodeTerminate},
                                           WayToDie{L"invalid-parameter", kCrashCodeInvalidParameter},
                                           WayToDie{L"stack-overflow", EXCEPTION_STACK_OVERFLOW},
                                           WayToDie{L"two-threads", 0}),
                         [](const auto& info) {
                             std::string name;
                             for (const wchar_t* c = info.param.name; *c; ++c) name += *c == L'-' ? '_' : char(*c);
                             return name;
                         });

TEST(CrashReport, NamesAPluginByFolderVersionAndFileInAnyLetterCase) {
    const FaultingModule plugin =
        DescribeFaultingModule(L"C:\\App\\plugins\\Title\\1.0.0\\Title.dll", L"C:\\App\\Plugins\\");
    EXPECT_EQ(plugin.plugin, "Title");
    EXPECT_EQ(plugin.version, "1.0.0");
    EXPECT_EQ(plugin.file, "Title.dll");

    const FaultingModule host = DescribeFaultingModule(L"C:\\App\\Lumarest.exe", L"C:\\App\\Plugins\\");
    EXPECT_EQ(host.file, "Lumarest.exe");
    EXPECT_EQ(host.plugin, "");
    EXPECT_EQ(CrashMembers(host, 0xC0000005, 0x401000).back().second, "0x00401000");
    // A DLL lying loose in the plug-ins folder has no version folder.
    EXPECT_EQ(DescribeFaultingModule(L"C:\\App\\Plugins\\Loose.dll", L"C:\\App\\Plugins\\").plugin, "");
}

TEST(CrashReport, CleaningKeepsEveryNameContainingZipInAnyCaseButNotAfterTheOrderlyEnd) {
    TempFolder folder;
    for (const wchar_t* name : {L"old.zip", L"report.ZIP.txt", L"20261206.dmp", L"Crash.json"}) folder.Write(name, "x");
    Host().exitFlag = true;
    CrashNotice((folder.Path() + L"\\20261206.zip").c_str());
    Host().exitFlag = false;
    EXPECT_EQ(EntriesOf(folder.Path()).size(), 4u) << "a dying process was announced";
    CleanReportFolder(folder.Path());
    EXPECT_EQ(EntriesOf(folder.Path()), (std::vector<std::wstring>{L"old.zip", L"report.ZIP.txt"}));
}

}  // namespace
