// The start-up bootstrap: every plug-in, then the host's own module record.
#include "BASUtility.h"
#include "FolderListing.h"
#include "Utf8.h"
#include "logging.h"
#include "plugin_util.h"

void PluginLoader::LoadPlugins() {
    wchar_t* pluginsFolder = BASUtilityApp::GetProductPluginsDir();
    const std::wstring root = pluginsFolder ? pluginsFolder : L"";
    BASUtilityString::Free(pluginsFolder);
    if (!root.empty()) {
        for (const std::wstring& module : ListSubfolderNames(root + L"*")) {
            if (module == options_.leaveOut) {
                LOG(INFO) << "Plug-in " << ToUtf8(module) << " left out of this start";
                continue;
            }
            LoadPlugin(root + module + L"\\");
        }
    }
    modules_.RegisterHostModule(L"Product");
}
