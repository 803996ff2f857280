// The one bus endpoint of a Lumarest module and the small helpers every
// module of this folder uses to send on it, header-only. Only
// <lumarest/plugin.h> and Windows are needed; each module's DLL has its own
// endpoint.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <lumarest/plugin.h>

#include <atomic>
#include <cstring>
#include <string>

namespace plugin {

// Set once in RegisterModule, before any other thread of the module runs.
inline std::atomic<CommandEndpoint*>& Bus() {
    static std::atomic<CommandEndpoint*> bus{nullptr};
    return bus;
}

// Keeps the endpoint that RegisterModule was given and stores receive in it.
inline void Attach(CommandEndpoint* endpoint, BASCommandFunction receive) {
    endpoint->receive = receive;
    Bus().store(endpoint);
}

// The module's own handle, as the host put it in the endpoint.
inline HINSTANCE Module() {
    CommandEndpoint* endpoint = Bus().load();
    return endpoint ? static_cast<HINSTANCE>(endpoint->owner) : nullptr;
}

// A zeroed record for command with this module as sender.
inline BASObserveData NewRecord(const char* command) {
    BASObserveData record;
    std::memset(&record, 0, sizeof record);
    record.command = command;
    record.sender = Module();
    return record;
}

// Sends through the bus; the record comes back with the receivers' answers.
inline void Send(BASObserveData& record) {
    if (CommandEndpoint* endpoint = Bus().load()) endpoint->send(&record);
}

// Sends a record that carries nothing but its name.
inline void SendPlain(const char* command) {
    BASObserveData record = NewRecord(command);
    Send(record);
}

// True when record is the command name (both non-null).
inline bool Is(const BASObserveData* record, const char* command) {
    return record && record->command && std::strcmp(record->command, command) == 0;
}

// The modules' one UTF-8 to UTF-16 conversion (the host's texts on the bus
// are UTF-8 where they are not wide).
inline std::wstring Wide(const std::string& text) {
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring out(n > 0 ? n : 0, L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), n);
    return out;
}

// Asks the host for the URL kept under key ("url:driver") and opens it.
inline void OpenHostUrl(const char* key) {
    BASObserveData record = NewRecord(LIBPLATFORM_COMMAND_FIND_URL);
    record.arg = key;
    Send(record);
    // The host answers an unknown key with an empty text it keeps.
    const char* url = static_cast<const char*>(record.object);
    if (url && *url) ShellExecuteW(nullptr, L"open", Wide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// Sizes are designed at 96 DPI; the host's display may have another.
constexpr int kDesignDpi = 96;

// The DPI of the display that shows the host's main window (96 from a host
// that does not answer).
inline int HostDpi() {
    BASObserveData record = NewRecord(LIBPLATFORM_COMMAND_GET_DPI);
    Send(record);
    return record.value > 0 ? static_cast<int>(record.value) : kDesignDpi;
}

// value (at 96 DPI) at dpi, rounded to the nearest pixel.
inline int ScaleToDpi(int value, int dpi) { return MulDiv(value, dpi, kDesignDpi); }

// The host's message box, run modally inside the send: width is the client
// width in pixels, the height follows from the text.
inline void ShowAlert(const std::wstring& message, int width) {
    BASObserveData record = NewRecord(LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE);
    record.wideText = const_cast<wchar_t*>(message.c_str());
    record.value = width;
    Send(record);
}

// The host's two-button question, run modally inside the send: true only
// when the user pressed "OK" (a host that does not answer counts as "no").
inline bool AskConfirmation(const std::wstring& question, int width) {
    BASObserveData record = NewRecord(LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE);
    record.wideText = const_cast<wchar_t*>(question.c_str());
    record.value = width;
    Send(record);
    return record.value == 1;
}

}  // namespace plugin
