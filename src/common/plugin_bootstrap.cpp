// The start-up bootstrap: every plug-in, then the host's own module record.
#include "BASUtility.h"
#include "FolderListing.h"
#include "Utf8.h"
#include "logging.h"
#include "plugin_util.h"

std::vector<PreparedModule> PluginLoader::PreparePlugins() {
    std::vector<PreparedModule> prepared;
    wchar_t* pluginsFolder = BASUtilityApp::GetProductPluginsDir();
    const std::wstring root = pluginsFolder ? pluginsFolder : L"";
    BASUtilityString::Free(pluginsFolder);
    if (root.empty()) return prepared;
    for (const std::wstring& module : ListSubfolderNames(root + L"*")) {
        if (module == options_.leaveOut) {
            LOG(INFO) << "Plug-in " << ToUtf8(module) << " left out of this start";
            continue;
        }
        if (std::optional<PreparedModule> one = PreparePlugin(root + module + L"\\"))
            prepared.push_back(std::move(*one));
    }
    return prepared;
}

void PluginLoader::RegisterPlugins(std::vector<PreparedModule> modules) {
    for (PreparedModule& module : modules) RegisterPlugin(std::move(module));
    modules_.RegisterHostModule(L"Product");
}

void PluginLoader::LoadPlugins() { RegisterPlugins(PreparePlugins()); }
