// The host's side of the bus: one table of the commands it serves, each name
// with the one function that serves it, registered in the table's order.
#pragma once

#include <lumarest/plugin.h>

class PlatformContext;

// Registers an endpoint of the host for every command of the table, in its
// order, after the plug-ins have registered theirs; the commands act on what
// context gives them. Once per process, on the main thread.
void RegisterPlatformCommands(PlatformContext& context);

// What RegisterPlatformCommands was given, null before: the continuations
// that commands post to the main thread reach their windows through it.
PlatformContext* RegisteredContext();

// The build's complete-version number, as "LIBPLATFORM_COMMAND_GET_COMPLETE_VERSION"
// answers it; the product catalog makes its second recovery pane only when
// it is not 0.
int CompleteVersionNumber();

// For commands whose window or dialog this build lacks: notes the command at
// INFO the first time it comes (plug-ins may send some thousands of times a
// second) and leaves the record as it came.
void LogCommandUnavailable(const BASObserveData* record);
