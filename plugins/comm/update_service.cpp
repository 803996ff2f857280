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
constexpr size_t kFeedLimit = 256 * 1024;
// A feed is small: it either comes within these or it is not coming. The
// user's check waits for it.
constexpr HttpDeadlines kFeedDeadlines{10000, 20000};

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
// Only the address is read from beside the module, never a key.
std::string FeedAddress() {
    std::ifstream file((ModuleFolder() + kSettingsName).c_str(), std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return ReadFeedAddress(text.str());
}

// The feed's text, once its signature is a trusted key's.
bool VerifiedText(const std::string& fileText, std::string& text, PublicKey& key) {
    SignedFeed feed;
    if (!ReadSignedFeed(fileText, feed)) {
        Log(L"the feed is not signed");
        return false;
    }
    if (!FindTrustedKey(feed.key, key)) {
        Log(L"the feed is signed by a key this module does not trust: " + plugin::Wide(feed.key.substr(0, 64)));
        return false;
    }
    if (!VerifyText(key, feed.text, feed.signature)) {
        Log(L"the feed's signature does not match its text");
        return false;
    }
    text = std::move(feed.text);
    return true;
}

}  // namespace

FeedOutcome FetchNewerReleases(const std::string& current, FeedReleases& releases) {
    releases.newer.clear();
    const std::string feed = FeedAddress();
    if (feed.empty()) {
        Log(L"no feed address in " + std::wstring(kSettingsName));
        return FeedOutcome::Unreachable;
    }
    std::string fileText, text;
    const HttpOutcome fetched = HttpGetText(plugin::Wide(feed), kFeedLimit, kFeedDeadlines, fileText);
    if (fetched != HttpOutcome::Done) {
        Log(L"could not fetch " + plugin::Wide(feed));
        return fetched == HttpOutcome::Untrusted ? FeedOutcome::Untrusted : FeedOutcome::Unreachable;
    }
    if (!VerifiedText(fileText, text, releases.key)) return FeedOutcome::Unverified;
    const FeedReading reading = ReadNewerReleases(text, current, releases.newer);
    if (reading != FeedReading::Read) {
        Log(reading == FeedReading::BadEntry ? L"the feed has a refused entry" : L"the signed text is not a feed");
        return FeedOutcome::Unverified;
    }
    for (Release& release : releases.newer) release.installer.url = ResolveAddress(feed, release.installer.url);
    return FeedOutcome::Fetched;
}

}  // namespace comm
