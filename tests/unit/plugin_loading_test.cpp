// Loading real plug-in DLLs from folder trees built by each test. The
// registry is process-wide and never forgets, so every test uses module and
// command names of its own.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "Utf8.h"
#include "bus_test_support.h"
#include "common/command_bus.h"
#include "common/plugin_util.h"
#include "plugin_tree.h"

namespace {

const std::wstring kProbeDll = L"" LUMAREST_TEST_PROBE_DLL;
const std::wstring kNoEntryDll = L"" LUMAREST_TEST_NO_ENTRY_DLL;
void* const kOutsider = reinterpret_cast<void*>(0x7001);

class PluginLoading : public ::testing::Test {
protected:
    static void SetUpTestSuite() { HardenDllSearchPath(); }  // as start-up does

    void SetUp() override {
        log_ = tree_.Path() + L"\\probe.log";
        SetEnvironmentVariableW(L"LUMAREST_PROBE_LOG", log_.c_str());
    }
    void TearDown() override { SetEnvironmentVariableW(L"LUMAREST_PROBE_LOG", nullptr); }

    std::string ProbeLog() const { return ReadTextFile(log_); }

    PluginTree tree_;
    std::wstring log_;
};

// Start-up prepares the libraries on a worker beside the frame's creation:
// the entry point runs, and the module is recorded, only at the registration.
TEST_F(PluginLoading, PreparingOnAWorkerLoadsTheLibraryAndLeavesRegisterModuleToTheRegistration) {
    tree_.AddPlugin(L"PreparedModule", L"1.0", kProbeDll, PluginManifestText("prepared-1.0", "1.0", "probe.dll"),
                    L"probe.dll");
    PluginLoader loader;
    std::optional<PreparedModule> prepared;
    std::thread([&] { prepared = loader.PreparePlugin(tree_.ModuleFolder(L"PreparedModule")); }).join();
    ASSERT_TRUE(prepared);
    EXPECT_EQ(ProbeLog().find("prepared-1.0 REGISTERED"), std::string::npos) << "RegisterModule ran while preparing";
    EXPECT_EQ(LoadedModules::Instance().FindModule(L"PreparedModule"), nullptr);
    loader.RegisterPlugin(std::move(*prepared));
    EXPECT_NE(ProbeLog().find("prepared-1.0 REGISTERED"), std::string::npos);
    EXPECT_NE(LoadedModules::Instance().FindModule(L"PreparedModule"), nullptr);
}

TEST_F(PluginLoading, LoadsTheHighestVersionOnceAndRecordsItsManifest) {
    for (const char* version : {"1.0", "3.0", "2.0"}) {
        std::wstring v(version, version + strlen(version));
        tree_.AddPlugin(L"HighestModule", v, kProbeDll,
                        PluginManifestText(std::string("highest-") + version, version, "probe.dll"), L"probe.dll");
    }
    PluginLoader().LoadPlugin(tree_.ModuleFolder(L"HighestModule"));
    PluginTree newer;
    newer.AddPlugin(L"HighestModule", L"9.0", kProbeDll, PluginManifestText("highest-9", "9.0", "probe.dll"),
                    L"probe.dll");
    PluginLoader().LoadPlugin(newer.ModuleFolder(L"HighestModule"));
    const ModuleRecord* module = LoadedModules::Instance().FindModule(L"HighestModule");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->id, "highest-3.0");
    EXPECT_EQ(module->libraryPath, ToUtf8(tree_.ModuleFolder(L"HighestModule") + L"3.0\\probe.dll"));
    const std::string log = ProbeLog();
    EXPECT_NE(log.find("highest-3.0 REGISTERED"), std::string::npos) << log;
    EXPECT_EQ(log.find("highest-1.0"), std::string::npos) << "a second version was loaded too";
    EXPECT_EQ(log.find("highest-9"), std::string::npos) << "a loaded name was loaded again";

    // A name a manifest lists twice gets one endpoint: it is delivered once.
    auto twice = std::make_unique<ModuleRecord>();
    twice->receives = {"LOADER_TEST_TWICE", "LOADER_TEST_OTHER", "LOADER_TEST_TWICE"};
    ASSERT_TRUE(PluginLoader().AddModule(L"TwiceModule", std::move(twice), nullptr));
    EXPECT_EQ(LoadedModules::Instance().FindModule(L"TwiceModule")->receives,
              (std::vector<std::string>{"LOADER_TEST_TWICE", "LOADER_TEST_OTHER"}));
}

// Each module: a version 2.0 that must not load (a program, a text, a broken
// manifest, a path out of its folder, a DLL without the entry point), then a
// good 1.0.
TEST_F(PluginLoading, FallsBackPastVersionsThatDoNotLoad) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring program = tree_.AddPlugin(L"ProgramModule", L"2.0", self,
                                                 PluginManifestText("program", "2.0", "program.dll"), L"program.dll");
    tree_.AddVersion(L"TextModule", L"2.0", PluginManifestText("text", "2.0", "text.dll"));
    tree_.Write(L"TextModule\\2.0\\text.dll", "This is a text file, not a library.\r\n");
    tree_.AddPlugin(L"BrokenModule", L"2.0", kProbeDll, "{\"id\": \"broken\", \"version\": ", L"probe.dll");
    // It names the good 1.0 library, which loads only if the path may climb out.
    tree_.AddVersion(L"ClimbingModule", L"2.0", PluginManifestText("climber", "2.0", "../1.0/probe.dll"));
    tree_.AddPlugin(L"NoEntryModule", L"2.0", kNoEntryDll, PluginManifestText("no-entry", "2.0", "no-entry.dll"),
                    L"no-entry.dll");
    for (const wchar_t* module :
         {L"ProgramModule", L"TextModule", L"BrokenModule", L"ClimbingModule", L"NoEntryModule"}) {
        tree_.AddPlugin(module, L"1.0", kProbeDll, PluginManifestText("good", "1.0", "probe.dll"), L"probe.dll");
        PluginLoader().LoadPlugin(tree_.ModuleFolder(module));
        ASSERT_NE(LoadedModules::Instance().FindModule(module), nullptr);
        EXPECT_EQ(LoadedModules::Instance().FindModule(module)->version, "1.0") << "did not fall back in " << module;
    }
    EXPECT_EQ(GetModuleHandleW((program + L"program.dll").c_str()), nullptr) << "a program was mapped as a plug-in";
}

TEST_F(PluginLoading, DependenciesResolveFromThePluginsOwnFolderNeverTheCurrentOne) {
    const char* name = "TEST_LOADER_DEPENDENCY";
    std::wstring version =
        tree_.AddPlugin(L"DependentModule", L"1.0", L"" LUMAREST_TEST_NEEDS_HELPER_DLL,
                        PluginManifestText("dependent", "1.0", "needs-helper.dll", {name}), L"needs-helper.dll");
    PluginTree::Copy(L"" LUMAREST_TEST_HELPER_DLL, version, L"lumarest-helper.dll");
    PluginLoader().LoadPlugin(tree_.ModuleFolder(L"DependentModule"));
    ASSERT_NE(LoadedModules::Instance().FindModule(L"DependentModule"), nullptr)
        << "the DLL beside the plug-in was not searched";
    BASObserveData record = Record(name, kOutsider);
    Broadcast(&record);
    EXPECT_EQ(record.value, 42);

    PluginTree::Copy(kProbeDll, tree_.Path() + L"\\", L"cwd-probe.dll");
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(tree_.Path().c_str());
    HMODULE found = LoadLibraryW(L"cwd-probe.dll");
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(found, nullptr) << "a DLL planted in the current directory was loaded by name";
}

}  // namespace
