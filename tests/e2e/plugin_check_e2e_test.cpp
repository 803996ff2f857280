// The plug-in checker, LumarestCheck.exe, run for real on plug-in folders
// broken one way each; and the host's log line for a folder it skips, which
// must tell the same story.
#include <gtest/gtest.h>

#include <windows.h>

#include <rapidjson/document.h>

#include <string>
#include <vector>

#include "screen_support.h"

namespace {

using namespace e2e;

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
    std::string output;
    const DWORD exitCode =
        RunToEnd(L"" LUMAREST_TEST_CHECKER, L"--json --strict 4 --limit-ms 4000 --all \"" + plugins_.Path() + L"\"",
                 300000, &output);
    rapidjson::Document report;
    ASSERT_FALSE(report.Parse(output.c_str()).HasParseError()) << output;
    EXPECT_EQ(exitCode, 1u) << "findings at strictness 4 must fail the run";
    for (const Expected& expected : table) {
        bool named = false;
        for (const auto& module : report["modules"].GetArray()) {
            if (module["module"].GetString() != std::string(expected.module)) continue;
            for (const auto& finding : module["findings"].GetArray()) {
                const std::string code = finding["code"].GetString(),
                                  message = std::string(finding["message"].GetString()) +
                                            ". Fix: " + finding["fix"].GetString();
                named |= code == expected.code;
                EXPECT_TRUE(code == expected.code ? finding["level"].GetInt() == expected.level &&
                                                        message.find(expected.inMessage) != std::string::npos
                                                  : finding["level"].GetInt() > 3)
                    << expected.module << ": " << code << " at level " << finding["level"].GetInt() << ": " << message;
            }
        }
        EXPECT_TRUE(named) << expected.module << ": no finding " << expected.code << "\n" << output;
    }
}

// The host skips a folder and says why, with the checker's code and fix.
TEST_F(PluginCheck, HostLogsOneLineWithTheReasonForEachSkippedFolder) {
    plugins_.AddPlugin(L"Decorated", L"2.0", L"" LUMAREST_TEST_STDCALL_DLL, Manifest("d", "d.dll"), L"d.dll");
    CreateDirectoryW((plugins_.Path() + L"\\Empty").c_str(), nullptr);
    HostProcess host(Options());
    ASSERT_NE(StartedFrame(host), nullptr);
    Close(host);
    const std::string log = host.ReadLogs();
    EXPECT_NE(log.find("Plug-in Decorated\\2.0 skipped: [export-decorated]"), std::string::npos) << log;
    EXPECT_NE(log.find("Plug-in Empty skipped: [no-version-folder]"), std::string::npos) << log;
}

}  // namespace
