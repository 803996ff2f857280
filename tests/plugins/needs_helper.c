/* A test plug-in that imports a function from the library beside it
   ("lumarest-helper.dll"). It answers every command it receives with the
   helper's number in `value`. */
#include <lumarest/plugin.h>

__declspec(dllimport) int LUMAREST_CDECL LumarestHelperAnswer(void);

static void LUMAREST_CDECL Receive(BASObserveData* record) { record->value = LumarestHelperAnswer(); }

LUMAREST_EXPORT void LUMAREST_CDECL RegisterModule(CommandEndpoint* endpoint) { endpoint->receive = Receive; }
