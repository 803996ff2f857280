/* A plug-in whose entry point is __stdcall, so the linker exports it
   decorated ("RegisterModule@4") and the host does not find it. */
#include <lumarest/plugin.h>

static void LUMAREST_CDECL Receive(BASObserveData* record) { (void)record; }

LUMAREST_EXPORT void __stdcall RegisterModule(CommandEndpoint* endpoint) { endpoint->receive = Receive; }
