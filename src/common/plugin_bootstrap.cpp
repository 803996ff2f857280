// The start-up bootstrap: every plug-in, then the host's own module record.
#include "BASUtility.h"
#include "plugin_util.h"

void LoadPlugins() {
    wchar_t* pluginsFolder = BASUtilityApp::GetProductPluginsDir();
    const std::wstring root = pluginsFolder ? pluginsFolder : L"";
    BASUtilityString::Free(pluginsFolder);
    if (!root.empty()) {
        for (const std::wstring& module : ListSubfolders(root)) LoadPlugin(root + module + L"\\");
    }
    RegisterHostModule(L"Product");
}
