// The one bus endpoint of a Lumarest module and the small helpers every
// module of this folder uses to send on it. Only <lumarest/plugin.h> and
// Windows are needed.
#pragma once

#include <windows.h>

#include <lumarest/plugin.h>

#include <string>

namespace plugin {

// Keeps the endpoint that RegisterModule was given and stores receive in it.
void Attach(CommandEndpoint* endpoint, BASCommandFunction receive);

// The module's own handle, as the host put it in the endpoint.
HINSTANCE Module();

// A zeroed record for command with this module as sender.
BASObserveData NewRecord(const char* command);
// Sends through the bus; the record comes back with the receivers' answers.
void Send(BASObserveData& record);
// Sends a record that carries nothing but its name.
void SendPlain(const char* command);

// True when record is the command name (both non-null).
bool Is(const BASObserveData* record, const char* command);

// Asks the host for the URL kept under key ("url:driver") and opens it.
void OpenHostUrl(const char* key);

std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& text);

}  // namespace plugin
