/* A test DLL that looks like a plug-in but lacks "RegisterModule": the
   loader must fall back to another version and keep this library loaded. */
#include <lumarest/plugin.h>

LUMAREST_EXPORT int LUMAREST_CDECL NotTheEntryPoint(void) { return 1; }
