// The host's side of the bus: one table of the commands it serves, each name
// with the one function or member function that serves it, registered in the
// table's order.
#pragma once

#include <lumarest/plugin.h>

class DeviceServer;
class PlatformContext;
class UpdateFlow;

// Registers an endpoint of the host for every command of the table, in its
// order, after the plug-ins have registered theirs; the commands act on what
// context gives them, and the update and device-server commands on the
// objects that keep those flows. All three outlive every command. Once per
// process, on the main thread.
void RegisterPlatformCommands(PlatformContext& context, UpdateFlow& updates, DeviceServer& server);

// The build's complete-version number, as "LIBPLATFORM_COMMAND_GET_COMPLETE_VERSION"
// answers it; the product catalog makes its second recovery pane only when
// it is not 0.
int CompleteVersionNumber();
