/* A plug-in that allocates one C-heap block for every command it receives
   and never frees it. */
#include <stdlib.h>

#include <lumarest/plugin.h>

static void* volatile last;

static void LUMAREST_CDECL Receive(BASObserveData* record) {
    (void)record;
    last = malloc(48);
}

LUMAREST_EXPORT void LUMAREST_CDECL RegisterModule(CommandEndpoint* endpoint) { endpoint->receive = Receive; }
