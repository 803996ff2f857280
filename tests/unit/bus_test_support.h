// Shared by the tests that talk to the command bus.
#pragma once

#include <windows.h>

#include <cstring>

#include "common/command_bus.h"

// A zeroed record, as every sender makes one.
inline BASObserveData Record(const char* command, void* sender) {
    BASObserveData record;
    std::memset(&record, 0, sizeof record);
    record.command = command;
    record.sender = sender;
    return record;
}

// A message-only window on the test's thread that takes main-thread calls
// the way the main frame does, while it exists.
class MainThreadCallWindow {
public:
    MainThreadCallWindow() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &WindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"MainThreadCallWindow";
        RegisterClassW(&windowClass);  // fails harmlessly when already registered
        window_ = CreateWindowW(windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        SetMainThreadWindow(window_);
    }
    ~MainThreadCallWindow() {
        SetMainThreadWindow(nullptr);
        DestroyWindow(window_);
    }
    MainThreadCallWindow(const MainThreadCallWindow&) = delete;
    MainThreadCallWindow& operator=(const MainThreadCallWindow&) = delete;

    HWND get() const { return window_; }

    // Runs what is queued for this thread, main-thread calls included.
    static void Pump() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }

private:
    static LRESULT CALLBACK WindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == kMainThreadCallMessage) {
            RunMainThreadCall(wp);
            return 0;
        }
        return DefWindowProcW(w, m, wp, lp);
    }
    HWND window_ = nullptr;
};
