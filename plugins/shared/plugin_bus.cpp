#include "plugin_bus.h"

#include <shellapi.h>

#include <atomic>
#include <cstring>

namespace plugin {
namespace {

// Set once in RegisterModule, before any other thread of the module runs.
std::atomic<CommandEndpoint*> bus{nullptr};

}  // namespace

void Attach(CommandEndpoint* endpoint, BASCommandFunction receive) {
    endpoint->receive = receive;
    bus.store(endpoint);
}

HINSTANCE Module() {
    CommandEndpoint* endpoint = bus.load();
    return endpoint ? static_cast<HINSTANCE>(endpoint->owner) : nullptr;
}

BASObserveData NewRecord(const char* command) {
    BASObserveData record;
    std::memset(&record, 0, sizeof record);
    record.command = command;
    record.sender = Module();
    return record;
}

void Send(BASObserveData& record) {
    if (CommandEndpoint* endpoint = bus.load()) endpoint->send(&record);
}

void SendPlain(const char* command) {
    BASObserveData record = NewRecord(command);
    Send(record);
}

bool Is(const BASObserveData* record, const char* command) {
    return record && record->command && std::strcmp(record->command, command) == 0;
}

void OpenHostUrl(const char* key) {
    BASObserveData record = NewRecord(LIBPLATFORM_COMMAND_FIND_URL);
    record.arg = key;
    Send(record);
    // The host answers an unknown key with an empty text it keeps.
    const char* url = static_cast<const char*>(record.object);
    if (url && *url) ShellExecuteW(nullptr, L"open", Wide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::string Utf8(const std::wstring& text) {
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& text) {
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), n);
    return out;
}

}  // namespace plugin
