/* A plug-in whose RegisterModule never returns. */
#include <windows.h>

#include <lumarest/plugin.h>

LUMAREST_EXPORT void LUMAREST_CDECL RegisterModule(CommandEndpoint* endpoint) {
    (void)endpoint;
    for (;;) Sleep(INFINITE);
}
