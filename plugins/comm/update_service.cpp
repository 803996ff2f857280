#include "update_service.h"

#include <windows.h>

#include <fstream>
#include <sstream>

#include "http_get.h"
#include "plugin_bus.h"

namespace comm {
namespace {

constexpr wchar_t kSettingsName[] = L"UpdateFeed.json";
// A feed lists a few versions with their notes; more than this is not one.
constexpr size_t kFeedLimit = 1024 * 1024;

void Log(const std::wstring& text) { OutputDebugStringW((L"Comm: " + text + L"\n").c_str()); }

// The folder of this DLL (not of the host's program), with its backslash.
std::wstring ModuleFolder() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&ModuleFolder), &self))
        return L"";
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return L"";
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);  // cut short: try a larger buffer
    }
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

// Read at every request, so a changed setting counts without a restart.
std::wstring FeedAddress() {
    std::ifstream file((ModuleFolder() + kSettingsName).c_str(), std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return plugin::Wide(ReadFeedAddress(text.str()));
}

}  // namespace

bool FetchNewerReleases(const std::string& current, std::vector<Release>& newer) {
    const std::wstring feed = FeedAddress();
    if (feed.empty()) {
        Log(L"no feed address in " + std::wstring(kSettingsName));
        return false;
    }
    std::string text;
    if (!HttpGetText(feed, kFeedLimit, text)) {
        Log(L"could not fetch " + feed);
        return false;
    }
    if (!ReadNewerReleases(text, current, newer)) {
        Log(L"not a feed: " + feed);
        return false;
    }
    return true;
}

}  // namespace comm
