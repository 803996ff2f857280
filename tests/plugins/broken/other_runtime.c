/* A plug-in linked against the universal C runtime (ucrtbase.dll) instead
   of msvcrt.dll: a block it frees is not from the host's heap. Linked
   without mingw-w64's start-up code, which expects msvcrt.dll, so it has
   its own entry point. */
#include <stdlib.h>
#include <windows.h>

#include <lumarest/plugin.h>

BOOL WINAPI OtherRuntimeEntry(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance, (void)reason, (void)reserved;
    return TRUE;
}

static void* volatile kept;

/* Keeps one block of its own heap, so the compiler cannot drop the calls. */
static void LUMAREST_CDECL Receive(BASObserveData* record) {
    (void)record;
    free(kept);
    kept = malloc(16);
}

LUMAREST_EXPORT void LUMAREST_CDECL RegisterModule(CommandEndpoint* endpoint) { endpoint->receive = Receive; }
