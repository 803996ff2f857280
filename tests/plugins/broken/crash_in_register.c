/* A plug-in that faults in RegisterModule: the checker must report the
   crash of its child as a finding and go on. */
#include <lumarest/plugin.h>

LUMAREST_EXPORT void LUMAREST_CDECL RegisterModule(CommandEndpoint* endpoint) {
    volatile int* nowhere = 0;
    *nowhere = (int)(size_t)endpoint;
}
