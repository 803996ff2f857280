// A plain top-level window titled with the product title. It stands in for
// the main frame: it takes main-thread calls, puts a close to the plug-ins
// first and ends the message loop with code 0 when the close goes through.
#pragma once

#include <windows.h>

class StartupWindow {
public:
    bool Create(int showCommand);
    // Runs the message loop until WM_QUIT; returns its exit code.
    static int RunMessageLoop();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_ = nullptr;
};
