/* A library that a test plug-in imports: it sits beside that plug-in in its
   version folder, so the plug-in loads only when its own folder is searched
   for dependencies. */
#include <lumarest/plugin.h>

LUMAREST_EXPORT int LUMAREST_CDECL LumarestHelperAnswer(void) { return 42; }
