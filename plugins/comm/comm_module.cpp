// The "Comm" module: the product's link to the handset. This build runs a
// simulated device server: it learns the product's identity and the server
// files' paths at the catalog build, asks the host to relay the server's
// start to the main thread, reports the server up, answers update checks
// from the update feed, downloads the newest installer, and stops the
// server before an update installs.
#include <windows.h>

#include <lumarest/plugin.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "identity.h"
#include "installer_download.h"
#include "plugin_bus.h"
#include "update_service.h"
#include "worker.h"

namespace {

constexpr char kCreateCommand[] = "LIBCOMM_COMMAND_CREATE";

// What the module knows of the product and of its device server. Written on
// the main thread and on the worker, so every access holds the lock.
struct ServerState {
    std::mutex lock;
    std::string identityText;
    comm::Identity identity;
    std::wstring serverPath;
    std::wstring servicePath;
    bool running = false;
    int starts = 0;
    // The download under way, until it ends or is cancelled.
    std::shared_ptr<comm::DownloadControl> download;
    bool checking = false;  // an update check is queued or running
};

ServerState state;
// Answers to the host come from here, never from the host's own thread.
comm::Worker worker;
// Downloads take minutes; on a thread of their own they hold up no check.
comm::Worker downloader;

// Requests are answered only when the host sent them, never when another
// module's answer under the same name passes by.
bool FromHost(const BASObserveData& record) { return record.sender == GetModuleHandleW(nullptr); }

// The host keeps the path text: it is copied, never freed.
std::wstring AskHostForPath(const char* command) {
    BASObserveData record = plugin::NewRecord(command);
    plugin::Send(record);
    return record.wideText ? record.wideText : L"";
}

void Create(const BASObserveData& record) {
    const std::string text = record.data ? static_cast<const char*>(record.data) : "";
    comm::Identity identity;
    comm::ParseIdentity(text, identity);  // a text that does not parse leaves the identity empty
    const std::wstring server = AskHostForPath(LIBCOMM_COMMAND_GET_ANDROID_SERVER_PATH);
    const std::wstring service = AskHostForPath(LIBCOMM_COMMAND_GET_ANDROID_SERVICE_PATH);
    {
        std::lock_guard<std::mutex> hold(state.lock);
        state.identityText = text;
        state.identity = identity;
        state.serverPath = server;
        state.servicePath = service;
    }
    // The host relays this to the main thread, where the server starts.
    worker.Post([] { plugin::SendPlain(LIBCOMM_COMMAND_READY_START_SERVER); });
}

// On the main thread, relayed by the host after the module's request or a crash.
void StartServer() {
    {
        std::lock_guard<std::mutex> hold(state.lock);
        state.running = true;
        ++state.starts;
    }
    plugin::SendPlain(LIBCOMM_COMMAND_START_SERVER_FINISH);
}

std::string ProductVersion() {
    std::lock_guard<std::mutex> hold(state.lock);
    return state.identity.version;
}

// C-heap copies that the host frees with free(); null when memory ran out.
char* MallocCopy(const std::string& text) {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

wchar_t* MallocCopy(const std::wstring& text) {
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    wchar_t* copy = static_cast<wchar_t*>(std::malloc(bytes));
    if (copy) std::memcpy(copy, text.c_str(), bytes);
    return copy;
}

// value 0 on any failure, with its reason in value2; value 1 with count
// newer versions and, when there are any, their release notes in data.
void AnswerUpdateCheck(const std::string& version) {
    comm::FeedReleases releases;
    const comm::FeedOutcome outcome = comm::FetchNewerReleases(version, releases);
    const bool fetched = outcome == comm::FeedOutcome::Fetched;
    BASObserveData answer = plugin::NewRecord(LIBCOMM_COMMAND_CHECK_FOR_UPDATE);
    if (fetched && !releases.newer.empty()) answer.data = MallocCopy(comm::ReleaseNotesJson(releases.newer));
    if (fetched && (releases.newer.empty() || answer.data)) {
        answer.value = 1;
        answer.count = static_cast<int64_t>(releases.newer.size());
    } else if (outcome == comm::FeedOutcome::Unverified) {
        answer.value2 = LIBCOMM_UPDATE_FAILED_UNVERIFIED;
    } else if (outcome == comm::FeedOutcome::Untrusted) {
        answer.value2 = LIBCOMM_UPDATE_FAILED_UNTRUSTED_SERVER;
    }
    {
        // Cleared before the answer goes out, so a request that arrives
        // while the host reads it starts a check of its own.
        std::lock_guard<std::mutex> hold(state.lock);
        state.checking = false;
    }
    plugin::Send(answer);
}

// One check at a time: a request while one is under way is ignored, since
// the answer to the running check serves it as well.
void CheckForUpdate() {
    {
        std::lock_guard<std::mutex> hold(state.lock);
        if (state.checking) return;
        state.checking = true;
    }
    const std::string version = ProductVersion();
    if (worker.Post([version] { AnswerUpdateCheck(version); })) return;
    std::lock_guard<std::mutex> hold(state.lock);
    state.checking = false;
}

// The host's dated temporary folder, with its backslash; its answer is a
// C-heap copy.
std::wstring HostTempFolder() {
    BASObserveData record = plugin::NewRecord(LIBPLATFORM_COMMAND_GET_TEMP_DIR);
    plugin::Send(record);
    std::wstring folder = record.wideText ? record.wideText : L"";
    std::free(record.wideText);
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder;
}

void SendDownloadAnswer(int64_t value, wchar_t* path = nullptr, uint64_t done = 0, uint64_t total = 0) {
    BASObserveData answer = plugin::NewRecord(LIBCOMM_COMMAND_DOWNLOAD_UPDATE);
    answer.value = value;
    answer.wideText = path;
    answer.value2 = static_cast<int64_t>(total);
    answer.value3 = static_cast<int64_t>(done);
    plugin::Send(answer);
}

// The installer, checked and locked, goes to the host with its path.
void SendCompletion(const std::wstring& path, comm::FileHandle& locked) {
    BASObserveData answer = plugin::NewRecord(LIBCOMM_COMMAND_DOWNLOAD_UPDATE);
    answer.value = 1;
    answer.wideText = MallocCopy(path);
    answer.object = locked.release();  // the host's from here on
    plugin::Send(answer);
}

int64_t FailureReason(comm::DownloadResult result) {
    switch (result) {
    case comm::DownloadResult::Mismatch: return LIBCOMM_UPDATE_FAILED_MISMATCH;
    case comm::DownloadResult::Unverified:
    case comm::DownloadResult::Refused: return LIBCOMM_UPDATE_FAILED_UNVERIFIED;
    case comm::DownloadResult::Untrusted: return LIBCOMM_UPDATE_FAILED_UNTRUSTED_SERVER;
    default: return LIBCOMM_UPDATE_FAILED_NETWORK;
    }
}

void SendFailure(comm::DownloadResult result) {
    BASObserveData answer = plugin::NewRecord(LIBCOMM_COMMAND_DOWNLOAD_UPDATE);
    answer.value = 6;
    answer.value2 = FailureReason(result);
    plugin::Send(answer);
}

comm::DownloadResult DownloadNewest(comm::DownloadControl& control, std::wstring& path, comm::FileHandle& locked) {
    comm::FeedReleases releases;
    const comm::FeedOutcome outcome = comm::FetchNewerReleases(ProductVersion(), releases);
    if (outcome == comm::FeedOutcome::Unverified) return comm::DownloadResult::Unverified;
    if (outcome == comm::FeedOutcome::Untrusted) return comm::DownloadResult::Untrusted;
    if (outcome != comm::FeedOutcome::Fetched || releases.newer.empty()) return comm::DownloadResult::Failed;
    const comm::Release& newest = releases.newer.front();
    // The feed's reading admits only plain versions; the file name is made
    // here from one, never taken from the feed.
    if (!comm::IsPlainVersion(newest.version)) return comm::DownloadResult::Refused;
    const std::wstring folder = HostTempFolder();
    if (folder.empty()) return comm::DownloadResult::Failed;
    path = folder + L"LumarestSetup-" + plugin::Wide(newest.version) + L".exe";
    const auto progress = [&control](uint64_t done, uint64_t total) {
        control.SendUnlessCancelled([=] { SendDownloadAnswer(2, nullptr, done, total); });
    };
    return comm::DownloadInstaller(newest.installer, releases.key, path, control, progress, locked);
}

// On the downloader: progress answers (value 2), then 1 with the installer's
// path and handle, or 6 with the reason; nothing at all once the host has
// cancelled.
void RunDownload(const std::shared_ptr<comm::DownloadControl>& control) {
    std::wstring path;
    comm::FileHandle locked;
    const comm::DownloadResult result = DownloadNewest(*control, path, locked);
    if (result == comm::DownloadResult::Complete) {
        if (!control->SendUnlessCancelled([&] { SendCompletion(path, locked); })) {
            locked.reset();  // cancelled after the last byte
            DeleteFileW(path.c_str());
        }
    } else if (result != comm::DownloadResult::Cancelled) {
        control->SendUnlessCancelled([&] { SendFailure(result); });
    }
    locked.reset();
    std::lock_guard<std::mutex> hold(state.lock);
    if (state.download == control) state.download.reset();
}

// One download at a time: a request while one runs is ignored, since the
// running download's answers serve the host's one download dialog.
void StartDownload() {
    auto control = std::make_shared<comm::DownloadControl>();
    {
        std::lock_guard<std::mutex> hold(state.lock);
        if (state.download) return;
        state.download = control;
    }
    if (downloader.Post([control] { RunDownload(control); })) return;
    std::lock_guard<std::mutex> hold(state.lock);
    state.download.reset();
}

// Returns at once: the transfer notices at its next piece and deletes its
// file. A new request may start right away; it runs after the cancelled one.
void CancelDownload() {
    std::shared_ptr<comm::DownloadControl> control;
    {
        std::lock_guard<std::mutex> hold(state.lock);
        control.swap(state.download);
    }
    if (control) control->Cancel();
}

// Stops the server and confirms, upon which the host installs its update.
void ExitServer() {
    worker.Post([] {
        {
            std::lock_guard<std::mutex> hold(state.lock);
            state.running = false;
        }
        plugin::SendPlain(LIBCOMM_COMMAND_EXIT_SERVER);
    });
}

void __cdecl Receive(BASObserveData* record) noexcept {
    try {
        if (plugin::Is(record, kCreateCommand)) Create(*record);
        else if (!FromHost(*record)) return;
        else if (plugin::Is(record, LIBCOMM_COMMAND_READY_START_SERVER)) StartServer();
        else if (plugin::Is(record, LIBCOMM_COMMAND_CHECK_FOR_UPDATE)) CheckForUpdate();
        else if (plugin::Is(record, LIBCOMM_COMMAND_DOWNLOAD_UPDATE)) StartDownload();
        else if (plugin::Is(record, LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL)) CancelDownload();
        else if (plugin::Is(record, LIBCOMM_COMMAND_EXIT_SERVER)) ExitServer();
    } catch (...) {
        // Nothing may reach the host; the request goes unanswered.
    }
}

}  // namespace

extern "C" LUMAREST_EXPORT void LUMAREST_CDECL RegisterModule(CommandEndpoint* endpoint) {
    plugin::Attach(endpoint, &Receive);
}
