// The in-process command bus: a registry of endpoints by command name, the
// module table, two named-value tables and main-thread calls.
//
// Delivery is synchronous on the sender's thread, in registration order,
// never to the sender's own endpoints. The one registry lock guards
// look-ups and registrations and is never held while a receiver runs, so
// receivers may send and register again.
#pragma once

#include <windows.h>

#include <lumarest/plugin.h>

#include <memory>

#include "module_record.h"

namespace Gdiplus {
class Bitmap;
}

// The window message that carries a main-thread call.
constexpr UINT kMainThreadCallMessage = WM_USER + 1000;

// The host's own module handle: the sender of the host's commands and the
// owner of its endpoints.
HMODULE HostInstance();

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
// Declares that module stays loaded until the process ends (the loader never
// unloads plug-ins), so command names in its read-only data never change and
// the bus may know them by address alone.
void AddPermanentModule(HMODULE module);
// A zeroed, never-freed endpoint whose send is Broadcast.
CommandEndpoint* NewEndpoint(void* owner);

// Records the host itself as a module of type 2 named name (normally "Product").
ModuleRecord* RegisterHostModule(const wchar_t* name);
// Stores a module record under its folder name; false (and nothing stored)
// when the name is taken. Names compare as exact UTF-16 code units.
bool AddModule(const wchar_t* name, std::unique_ptr<ModuleRecord> record);
ModuleRecord* FindModule(const wchar_t* name);

// Runs fn under the registry lock. The plug-in loader uses it to store a
// module and its receive names in one step.
template <typename Fn>
void WithRegistryLock(Fn&& fn);
void LockRegistry();
void UnlockRegistry();
// The Unlocked variants must be called with the lock held.
bool AddModuleUnlocked(const wchar_t* name, std::unique_ptr<ModuleRecord> record);
ModuleRecord* FindModuleUnlocked(const wchar_t* name);
void RegisterEndpointUnlocked(const char* command, CommandEndpoint* endpoint);

template <typename Fn>
void WithRegistryLock(Fn&& fn) {
    LockRegistry();
    fn();
    UnlockRegistry();
}

// Named tables, filled on the main thread at start-up and only read later.
void SetNamedImage(const char* key, Gdiplus::Bitmap* bitmap);
Gdiplus::Bitmap* FindNamedImage(const char* key);
void SetNamedUrl(const char* key, const char* text);
const char* FindNamedUrl(const char* key);

// Main-thread calls. The window set here receives them as
// kMainThreadCallMessage; its handler passes wParam to RunMainThreadCall.
void SetMainThreadWindow(HWND window);
HWND MainThreadWindow();
// Posts fn(record) to the main thread; record is a C-heap block that fn
// frees. Returns at once. When nothing can take the call it is logged and
// the record freed.
void PostToMainThread(void (*fn)(BASObserveData*), BASObserveData* record);
void RunMainThreadCall(WPARAM call);
// A main-thread continuation: HostSend of the copy, then free it.
void ForwardToPlugins(BASObserveData* record);
// A C-heap copy of a record, for PostToMainThread.
BASObserveData* CopyRecord(const BASObserveData* record);
