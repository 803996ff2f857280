// The start-up bootstrap: every plug-in, then the host's own module record.
#include "BASUtility.h"
#include "Utf8.h"
#include "logging.h"
#include "plugin_util.h"

void LoadPlugins() { LoadPlugins(LoadOptions{}); }

void LoadPlugins(const LoadOptions& options) {
    wchar_t* pluginsFolder = BASUtilityApp::GetProductPluginsDir();
    const std::wstring root = pluginsFolder ? pluginsFolder : L"";
    BASUtilityString::Free(pluginsFolder);
    if (!root.empty()) {
        for (const std::wstring& module : ListSubfolders(root)) {
            if (module == options.leaveOut) {
                LOG(INFO) << "Plug-in " << ToUtf8(module) << " left out of this start";
                continue;
            }
            LoadPlugin(root + module + L"\\", options);
        }
    }
    RegisterHostModule(L"Product");
}
