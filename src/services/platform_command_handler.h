// The host's one receive function for the commands it serves.
#pragma once

#include <lumarest/plugin.h>

#include <cstddef>

// The names the host registers its handler for, in registration order.
extern const char* const kHostCommandNames[];
extern const size_t kHostCommandNameCount;

// Registers PlatformCommandHandler for each of kHostCommandNames, in order.
// Start-up calls it once, right after LoadPlugins(), so that for every name
// the plug-ins' endpoints come before the host's.
void RegisterPlatformCommands();

// Answers or acts on one record, on the sending thread.
void __cdecl PlatformCommandHandler(BASObserveData* record);

// The build's complete-version number, as "LIBPLATFORM_COMMAND_GET_COMPLETE_VERSION"
// answers it; the product catalog makes its second recovery pane only when
// it is not 0.
int CompleteVersionNumber();

// For commands whose window or dialog this build lacks: notes the command at
// INFO and leaves the record as it came.
void LogCommandUnavailable(const BASObserveData* record);
