// The start-up bootstrap, which runs once per process: every module folder
// below the plug-ins folder first, then the host's own record and handler.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

#include "BASUtility.h"
#include "common/command_bus.h"
#include "common/plugin_util.h"
#include "plugin_tree.h"
#include "services/platform_command_handler.h"

namespace {

TEST(PluginBootstrap, LoadsThePluginsFolderThenRecordsTheHostWhoseHandlerComesLast) {
    PluginTree tree;
    const std::wstring log = tree.Path() + L"\\probe.log";
    SetEnvironmentVariableW(L"LUMAREST_PROBE_LOG_boot-probe", log.c_str());
    // The probe answers first with a mark that the host's handler, called
    // after it, overwrites.
    SetEnvironmentVariableW(L"LUMAREST_PROBE_SCRIPT_boot-probe",
                            tree.Write(L"boot.script", "ON LIBPLATFORM_COMMAND_GET_COMPLETE_VERSION value=-5\n").c_str());
    tree.AddPlugin(L"BootProbe", L"1.0", L"" LUMAREST_TEST_PROBE_DLL,
                   PluginManifestText("boot-probe", "1.0", "probe.dll", {LIBPLATFORM_COMMAND_GET_COMPLETE_VERSION}),
                   L"probe.dll");
    tree.AddPlugin(L"BootNoEntry", L"1.0", L"" LUMAREST_TEST_NO_ENTRY_DLL,
                   PluginManifestText("boot-no-entry", "1.0", "no-entry.dll"), L"no-entry.dll");
    tree.Write(L"not-a-module-folder.txt", "files beside the module folders are ignored");

    BASUtilityApp::SetProductDirOverrides(tree.Path().c_str(), tree.Path().c_str());
    LoadPlugins();
    RegisterPlatformCommands();  // right after, as the main frame does
    BASUtilityApp::SetProductDirOverrides(nullptr, nullptr);

    EXPECT_NE(FindModule(L"BootProbe"), nullptr);
    EXPECT_EQ(FindModule(L"BootNoEntry"), nullptr);
    ModuleRecord* host = FindModule(L"Product");
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->type, 2);
    EXPECT_EQ(host->id, "Product");

    BASObserveData record;
    std::memset(&record, 0, sizeof record);
    record.command = LIBPLATFORM_COMMAND_GET_COMPLETE_VERSION;
    record.sender = reinterpret_cast<void*>(0x7003);
    Broadcast(&record);
    EXPECT_NE(ReadTextFile(log).find("boot-probe RECV LIBPLATFORM_COMMAND_GET_COMPLETE_VERSION thread="),
              std::string::npos);
    EXPECT_NE(record.value, -5) << "the host's handler did not run after the plug-in";
    SetEnvironmentVariableW(L"LUMAREST_PROBE_LOG_boot-probe", nullptr);
    SetEnvironmentVariableW(L"LUMAREST_PROBE_SCRIPT_boot-probe", nullptr);
}

}  // namespace
