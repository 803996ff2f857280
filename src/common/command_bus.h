// The in-process command bus: for each command name, the endpoints
// registered for it, in registration order.
//
// Delivery is synchronous on the sender's thread, in registration order,
// never to the sender's own endpoints. Endpoint lists only grow: a
// registration publishes a new immutable copy of the name's list with one
// atomic store, and a send reads whichever copy is current when it begins,
// without taking any lock. So a delivery reaches exactly the endpoints
// registered before it began, and receivers may send and register again.
#pragma once

#include <windows.h>

#include <lumarest/plugin.h>

#include "loaded_modules.h"

class BusTrace;

// Delivers to every endpoint registered for record->command except the
// sender's; drops a record with no sender or an unknown name.
void __cdecl Broadcast(BASObserveData* record);
// As Broadcast, but stops after the first receiver that leaves value non-zero.
void SendUntilHandled(BASObserveData* record);
// Sets the host as sender, then broadcasts.
void HostSend(BASObserveData* record);

// Appends a host-owned endpoint for command (UTF-8) that calls receive.
CommandEndpoint* RegisterHandler(const char* command, BASCommandFunction receive);
// Appends an existing endpoint to command's list (the plug-in loader's way in).
void RegisterEndpoint(const char* command, CommandEndpoint* endpoint);
// A zeroed, never-freed endpoint whose send is Broadcast.
CommandEndpoint* NewEndpoint(void* owner);

// From now on every delivery is also recorded in trace; null stops that.
// A send that began before the change may still record in the old trace, so
// its owner keeps it until the process ends.
void AttachBusTrace(BusTrace* trace);
// Broadcast built without the trace's hook: what a send costs on a bus that
// has no trace at all. Only the bus benchmark compares the two.
void __cdecl BroadcastWithoutTraceHook(BASObserveData* record);

// A main-thread continuation: HostSend of the copy, then free it.
void ForwardToPlugins(BASObserveData* record);
// A C-heap copy of a record, for PostToMainThread; null when out of memory.
BASObserveData* CopyRecord(const BASObserveData* record);
