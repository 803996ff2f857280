// The display's DPI for a window. Per-monitor answers come from
// GetDpiForWindow where the system has it (looked up at run time: older
// systems and older Wine lack it); elsewhere the screen's LOGPIXELSY stands
// for every monitor.
#pragma once

#include <windows.h>

#include "dpi_scale.h"

// The DPI of the monitor that shows window (null: the system's).
int DpiForWindow(HWND window);
// The system's DPI, the one every window has where monitors do not differ.
int SystemDpi();
