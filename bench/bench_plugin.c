/* The smallest plug-in that takes part in the bus: it keeps its endpoint and
   ignores what it receives. The start-up benchmark loads one copy of it per
   module, so what it measures is the host's cost, not the plug-in's. */
#include <lumarest/plugin.h>

static void LUMAREST_CDECL Receive(BASObserveData* record) { (void)record; }

LUMAREST_EXPORT void LUMAREST_CDECL RegisterModule(CommandEndpoint* endpoint) { endpoint->receive = Receive; }
