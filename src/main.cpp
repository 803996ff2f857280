// Lumarest's entry point.
#include <windows.h>

#include "common/plugin_util.h"
#include "lumarest_host.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int showCommand) {
    HardenDllSearchPath();  // before anything loads a DLL by name
    LumarestHost host;
    return host.Run(commandLine, showCommand);
}
