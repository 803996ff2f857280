// The plug-in checker, LumarestCheck.exe, run for real on plug-in folders
// broken one way each, and on the shipped plug-ins; and the host's log line
// for a folder it skips, which must tell the same story.
#include <gtest/gtest.h>

#include <windows.h>

#include <rapidjson/document.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "screen_support.h"

namespace {

using namespace e2e;

struct CheckerRun {
    DWORD exitCode = STILL_ACTIVE;
    std::string output;
};

// Runs the checker with arguments and collects its standard output.
CheckerRun RunChecker(const std::wstring& arguments) {
    CheckerRun run;
    run.exitCode = RunToEnd(L"" LUMAREST_TEST_CHECKER, arguments, 300000, &run.output);
    return run;
}

// The findings of one module in the checker's JSON: code, level, and the
// message with its fix.
struct Reported {
    std::string code;
    int level = 0;
    std::string message;
};
std::vector<Reported> FindingsOf(const rapidjson::Document& report, const std::string& module) {
    std::vector<Reported> found;
    for (const auto& entry : report["modules"].GetArray()) {
        if (entry["module"].GetString() != module) continue;
        for (const auto& f : entry["findings"].GetArray())
            found.push_back({f["code"].GetString(), f["level"].GetInt(),
                             std::string(f["message"].GetString()) + ". Fix: " + f["fix"].GetString()});
    }
    return found;
}

// A 32-bit DLL whose file header says x86-64: what the checker reads of a
// 64-bit build (this toolchain has no x86-64 compiler).
std::string MarkedSixtyFourBit(const std::string& dll) {
    std::string bytes = dll;
    const uint32_t pe = *reinterpret_cast<const uint32_t*>(bytes.data() + 0x3c);
    bytes[pe + 4] = '\x64';
    bytes[pe + 5] = '\x86';
    return bytes;
}

// Lines of a glog text that hold text anywhere after their prefix.
size_t LinesWith(const std::string& log, const std::string& text) {
    size_t count = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++count;
    return count;
}

class PluginCheck : public HostRun {
protected:
    // A module below the installation's Plugins folder (the tree's root
    // stands for the installation).
    std::wstring AddModule(const std::wstring& module, const std::string& manifest, const std::wstring& dll,
                           const std::wstring& dllName) {
        CreateDirectoryW((plugins_.Path() + L"\\Plugins").c_str(), nullptr);
        const std::wstring folder = plugins_.AddVersion(L"Plugins\\" + module, L"1.0", manifest);
        if (!dll.empty()) PluginTree::Copy(dll, folder, dllName);
        return folder;
    }
    static std::string Manifest(const std::string& id, const std::string& path, const std::string& extra = "") {
        return "{\"id\": \"" + id + "\", \"version\": \"1.0\", \"path\": \"" + path + "\"" + extra + "}";
    }
};

// Each folder is broken one way; the checker names that fault, at its level,
// and no other fault that would make the host skip the plug-in or suffer.
TEST_F(PluginCheck, NamesEachBrokenFoldersFaultAtItsLevelAndNothingElse) {
    struct Expected {
        const char* module;
        const char* code;
        int level;
        const char* inMessage;
    };
    const Expected table[] = {
        {"NoVersion", "no-version-folder", 1, "no version folder"},
        {"NoManifest", "no-manifest", 1, "plugin.load"},
        {"BadJson", "manifest-parse", 1, "line 3, column 13"},
        {"UnknownMember", "manifest-unknown-member", 4, "did you mean"},
        {"MistypedId", "manifest-mistyped-member", 1, "\"id\""},
        {"MissingDll", "library-missing", 1, "Absent.dll"},
        {"SixtyFour", "library-64-bit", 1, "64-bit"},
        {"Program", "library-not-dll", 1, "not a DLL"},
        {"NoExport", "export-missing", 1, "RegisterModule"},
        {"Decorated", "export-decorated", 1, "RegisterModule@4"},
        {"MissingImport", "import-missing", 1, "lumarest-helper.dll"},
        {"OtherRuntime", "c-runtime", 3, "ucrtbase.dll"},
        {"Crash", "register-crash", 2, "crashed"},
        {"Hang", "register-hang", 2, "did not return"},
        {"Leak", "leak", 3, "1 block(s) leaked per command"},
    };
    AddModule(L"NoManifest", "{}", L"" LUMAREST_TEST_NO_ENTRY_DLL, L"NoManifest.dll");
    DeleteFileW((plugins_.Path() + L"\\Plugins\\NoManifest\\1.0\\plugin.load").c_str());
    CreateDirectoryW((plugins_.Path() + L"\\Plugins\\NoVersion").c_str(), nullptr);
    plugins_.Write(L"Plugins\\NoVersion\\NoVersion.dll", "");
    AddModule(L"BadJson", "{\n  \"id\": \"BadJson\",\n  \"version\" \"1.0\",\n  \"path\": \"x.dll\"\n}", L"", L"");
    AddModule(L"UnknownMember", Manifest("u", "u.dll", ", \"command-recieve\": [\"X\"]"), L"" LUMAREST_TEST_LEAK_DLL,
              L"u.dll");
    AddModule(L"MistypedId", "{\"id\": 5, \"version\": \"1.0\", \"path\": \"m.dll\"}", L"" LUMAREST_TEST_NO_ENTRY_DLL,
              L"m.dll");
    AddModule(L"MissingDll", Manifest("m", "Absent.dll"), L"", L"");
    AddModule(L"SixtyFour", Manifest("s", "s.dll"), L"", L"");
    plugins_.Write(L"Plugins\\SixtyFour\\1.0\\s.dll", MarkedSixtyFourBit(ReadTextFile(L"" LUMAREST_TEST_NO_ENTRY_DLL)));
    AddModule(L"Program", Manifest("p", "p.dll"), L"" LUMAREST_TEST_CHECKER, L"p.dll");
    AddModule(L"NoExport", Manifest("n", "n.dll"), L"" LUMAREST_TEST_NO_ENTRY_DLL, L"n.dll");
    AddModule(L"Decorated", Manifest("d", "d.dll"), L"" LUMAREST_TEST_STDCALL_DLL, L"d.dll");
    AddModule(L"MissingImport", Manifest("i", "i.dll"), L"" LUMAREST_TEST_NEEDS_HELPER_DLL, L"i.dll");
    AddModule(L"OtherRuntime", Manifest("o", "o.dll", ", \"command-recv\": [\"LUMAREST_TEST_A\"]"),
              L"" LUMAREST_TEST_UCRT_DLL, L"o.dll");
    AddModule(L"Crash", Manifest("c", "c.dll"), L"" LUMAREST_TEST_CRASH_DLL, L"c.dll");
    AddModule(L"Hang", Manifest("h", "h.dll"), L"" LUMAREST_TEST_HANG_DLL, L"h.dll");
    AddModule(L"Leak", Manifest("l", "l.dll", ", \"command-recv\": [\"LUMAREST_TEST_A\", \"LUMAREST_TEST_B\"]"),
              L"" LUMAREST_TEST_LEAK_DLL, L"l.dll");

    // At strictness 4 the level-4 notice is the last one reported.
    const CheckerRun run = RunChecker(L"--json --strict 4 --limit-ms 4000 --all \"" + plugins_.Path() + L"\"");
    rapidjson::Document report;
    ASSERT_FALSE(report.Parse(run.output.c_str()).HasParseError()) << run.output;
    EXPECT_EQ(run.exitCode, 1u) << "findings at strictness 4 must fail the run";
    for (const Expected& expected : table) {
        const std::vector<Reported> findings = FindingsOf(report, expected.module);
        bool named = false;
        for (const Reported& finding : findings) {
            if (finding.code == expected.code) {
                named = true;
                EXPECT_EQ(finding.level, expected.level) << expected.module << ": " << finding.message;
                EXPECT_NE(finding.message.find(expected.inMessage), std::string::npos)
                    << expected.module << ": " << finding.message;
            } else {
                EXPECT_GT(finding.level, 3)
                    << expected.module << ": a finding besides its fault: " << finding.code << " " << finding.message;
            }
        }
        EXPECT_TRUE(named) << expected.module << ": no finding " << expected.code << "\n" << run.output;
    }
}

// The product's own plug-ins: loaded, run through every step, and nothing
// found that would skip them, crash or hang the host, or leak; the exit
// code says so to a CI at strictness 3.
TEST_F(PluginCheck, ShippedPluginsPassAtStrictnessThreeThroughEveryStep) {
    const std::wstring installation =
        HostProcess::DefaultExePath().substr(0, HostProcess::DefaultExePath().find_last_of(L'\\'));
    const CheckerRun run = RunChecker(L"--json --strict 3 --all \"" + installation + L"\"");
    rapidjson::Document report;
    ASSERT_FALSE(report.Parse(run.output.c_str()).HasParseError()) << run.output;
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    ASSERT_EQ(report["modules"].Size(), 4u) << run.output;
    for (const auto& module : report["modules"].GetArray()) {
        const std::string name = module["module"].GetString();
        EXPECT_STREQ(module["chosen"].GetString(), "1.0.0") << name;
        EXPECT_EQ(module["findings"].Size(), 0u) << name << ": " << run.output;
        std::vector<std::string> steps;
        for (const auto& step : module["steps"].GetArray()) steps.push_back(step["step"].GetString());
        for (const char* step : {"load", "RegisterModule", "repeat", "threads", "close"})
            EXPECT_NE(std::find(steps.begin(), steps.end(), step), steps.end()) << name << " never ran " << step;
    }
}

// The host skips a folder and says why in one line, with the checker's code
// and fix; the module that works next to it is loaded.
TEST_F(PluginCheck, HostLogsOneLineWithTheReasonForEachSkippedFolder) {
    plugins_.AddPlugin(L"Decorated", L"2.0", L"" LUMAREST_TEST_STDCALL_DLL, Manifest("d", "d.dll"), L"d.dll");
    plugins_.AddPlugin(L"Decorated", L"1.0", L"" LUMAREST_TEST_NEEDS_HELPER_DLL, Manifest("d", "d.dll"), L"d.dll");
    CreateDirectoryW((plugins_.Path() + L"\\Empty").c_str(), nullptr);
    AddProbe({});
    HostProcess host(Options());
    ASSERT_NE(StartedFrame(host), nullptr);
    Close(host);
    const std::string log = host.ReadLogs();
    EXPECT_EQ(LinesWith(log, "Plug-in Decorated\\2.0 skipped: [export-decorated]"), 1u) << log;
    EXPECT_EQ(LinesWith(log, "Plug-in Decorated\\1.0 skipped: [import-missing] d.dll imports lumarest-helper.dll"), 1u)
        << log;
    EXPECT_EQ(LinesWith(log, "Plug-in Empty skipped: [no-version-folder]"), 1u) << log;
    EXPECT_EQ(LinesWith(log, "Plug-in Probe 1.0 loaded from"), 1u) << log;
}

}  // namespace
