// The "Comm" module: the product's link to the handset. This build runs a
// simulated device server: it learns the product's identity and the server
// files' paths at the catalog build, asks the host to relay the server's
// start to the main thread, reports the server up, answers update checks
// with "no newer version", and stops the server before an update installs.
#include <windows.h>

#include <lumarest/plugin.h>

#include <mutex>
#include <string>

#include "identity.h"
#include "plugin_bus.h"
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
};

ServerState state;
comm::Worker worker;

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

// A successful check that found no newer version: value 1, count 0.
void AnswerUpdateCheck() {
    worker.Post([] {
        BASObserveData answer = plugin::NewRecord(LIBCOMM_COMMAND_CHECK_FOR_UPDATE);
        answer.value = 1;
        answer.count = 0;
        plugin::Send(answer);
    });
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
        else if (plugin::Is(record, LIBCOMM_COMMAND_CHECK_FOR_UPDATE)) AnswerUpdateCheck();
        else if (plugin::Is(record, LIBCOMM_COMMAND_EXIT_SERVER)) ExitServer();
    } catch (...) {
        // Nothing may reach the host; the request goes unanswered.
    }
}

}  // namespace

extern "C" LUMAREST_EXPORT void LUMAREST_CDECL RegisterModule(CommandEndpoint* endpoint) {
    plugin::Attach(endpoint, &Receive);
}
