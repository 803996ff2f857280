// Calling a plug-in's "RegisterModule" safely. The call runs on the main
// thread, the window thread, where the system swallows faults inside window
// callbacks (the plug-in's own windows' creation among them): a plug-in that
// faults there would leave the host half-started with nothing logged. And a call that never returns cannot be
// undone, but it can be named.
#pragma once

#include <windows.h>

#include <lumarest/plugin.h>

#include <string>

using RegisterModuleFunction = void(__cdecl*)(CommandEndpoint*);

// Calls registerModule(endpoint) on the main thread. From then on a fault on
// that thread in the code of a plug-in library (one LoadedModules holds), in
// this call or in a command or window message later, goes to the crash
// filter like any unhandled one, so the report names the plug-in. When the
// call has not returned after hangLimitMs, one error line names the plug-in
// and the log is flushed at once.
void CallRegisterModule(RegisterModuleFunction registerModule, CommandEndpoint* endpoint, const std::string& pluginName,
                        DWORD hangLimitMs = 15000);
