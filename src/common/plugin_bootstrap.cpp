// The start-up bootstrap: every plug-in first, then the host itself, so that
// for any command name the plug-ins' endpoints come before the host's handler.
#include "BASUtility.h"
#include "command_bus.h"
#include "plugin_util.h"
#include "services/platform_command_handler.h"

void LoadPlugins() {
    wchar_t* pluginsFolder = BASUtilityApp::GetProductPluginsDir();
    const std::wstring root = pluginsFolder ? pluginsFolder : L"";
    BASUtilityString::Free(pluginsFolder);
    if (!root.empty()) {
        for (const std::wstring& module : ListSubfolders(root)) LoadPlugin(root + module + L"\\");
    }
    RegisterHostModule(L"Product");
    for (size_t i = 0; i < kHostCommandNameCount; ++i) RegisterHandler(kHostCommandNames[i], PlatformCommandHandler);
}
