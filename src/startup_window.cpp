#include "startup_window.h"

#include <cstring>

#include "common/command_bus.h"
#include "common/plugin_util.h"
#include "product_identity.h"

namespace {
constexpr wchar_t kClassName[] = L"LumarestStartupWindow";

// Puts the close to the plug-ins; true when one of them keeps the window.
bool CloseIsRefused() {
    BASObserveData record;
    std::memset(&record, 0, sizeof record);
    record.command = LIBPLATFORM_COMMAND_CLOSE_ENSURE;
    record.sender = HostInstance();
    SendUntilHandled(&record);
    return record.value != 0;
}
}  // namespace

bool StartupWindow::Create(int showCommand) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &StartupWindow::WindowProc;
    windowClass.hInstance = HostInstance();
    windowClass.hIcon = LoadIconW(HostInstance(), MAKEINTRESOURCEW(128));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);
    window_ = CreateWindowExW(0, kClassName, ProductIdentity::ProductTitle().c_str(), WS_OVERLAPPEDWINDOW,
                              CW_USEDEFAULT, CW_USEDEFAULT, 954, 614, nullptr, nullptr, HostInstance(), this);
    if (!window_) return false;
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
    return true;
}

int StartupWindow::RunMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

LRESULT CALLBACK StartupWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCCREATE:
        SetMainThreadWindow(window);
        break;
    case WM_CREATE:
        LoadPlugins();  // WM_NCCREATE has made this the window for main-thread calls
        break;
    case kMainThreadCallMessage:
        RunMainThreadCall(wParam);
        return 0;
    case WM_CLOSE:
        if (CloseIsRefused()) return 0;
        PostQuitMessage(0);
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        SetMainThreadWindow(nullptr);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
