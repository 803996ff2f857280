// The start-up benchmark's yardstick: the least a program can do that loads
// the same libraries as Lumarest.exe and shows a window of its size. It
// imports one function from each system library that Lumarest.exe imports,
// loads with LoadLibraryExW every DLL in the version folders below the
// "Plugins" folder beside it (the host's layout, so the benchmark installs
// both programs alike), and shows a popup of the main frame's window class,
// which the benchmark finds and closes as it does the host's.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <dbghelp.h>
#include <objbase.h>
#include <shellapi.h>
#include <zlib.h>

#include <gdiplus.h>

#include <string>

#include "FolderListing.h"

namespace {

// Read at run time so that the linker keeps every import, as the host's are.
const void* const kImports[] = {reinterpret_cast<const void*>(&InitCommonControlsEx),
                                reinterpret_cast<const void*>(&MiniDumpWriteDump),
                                reinterpret_cast<const void*>(&Gdiplus::GdiplusStartup),
                                reinterpret_cast<const void*>(&CoInitialize),
                                reinterpret_cast<const void*>(&CommandLineToArgvW),
                                reinterpret_cast<const void*>(&WSAStartup),
                                reinterpret_cast<const void*>(&zlibVersion),
                                reinterpret_cast<const void*>(&CreatePen)};

std::wstring OwnFolder() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

// Plug-in libraries are never unloaded, as in the host.
void LoadPluginLibraries(const std::wstring& root) {
    for (const std::wstring& module : ListSubfolderNames(root + L"*")) {
        for (const std::wstring& version : ListSubfolderNames(root + module + L"\\*")) {
            const std::wstring folder = root + module + L"\\" + version + L"\\";
            for (const FolderEntry& dll : ListFolder(folder + L"*.dll")) {
                if (dll.isFolder) continue;
                LoadLibraryExW((folder + dll.name).c_str(), nullptr,
                               LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
            }
        }
    }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    [[maybe_unused]] static const void* volatile imported;
    for (const void* function : kImports) imported = function;
    LoadPluginLibraries(OwnFolder() + L"Plugins\\");
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"LumarestMainFrame";
    RegisterClassW(&windowClass);
    const int width = 954 * GetSystemMetrics(SM_CXSCREEN) / 1280;
    const int height = 614 * width / 954;
    HWND window = CreateWindowExW(WS_EX_APPWINDOW, windowClass.lpszClassName, L"Minimal window",
                                  WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, width, height, nullptr, nullptr,
                                  instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
