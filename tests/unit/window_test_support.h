// Shared pieces of the windowing-layer tests: a probe window that records what
// reaches it, and a deadline that ends a loop instead of hanging it.
#pragma once

#include <windows.h>

#include <map>

#include "message_loop.h"
#include "window_base.h"
#include "window_object.h"

constexpr UINT kAsk = WM_APP + 1;  // answered with 42 by ProbeWindow

class ProbeWindow : public WindowBase {
public:
    BEGIN_MSG_MAP(ProbeWindow)
        MESSAGE_HANDLER(kAsk, OnAsk)
        MESSAGE_HANDLER(WM_SETTEXT, OnSetText)
        MESSAGE_RANGE_HANDLER(WM_APP + 2, WM_APP + 0x3FFF, OnAppMessage)
        CHAIN_MSG_MAP(WindowBase)
    END_MSG_MAP()

    // Hidden: showing a window costs seconds under Wine.
    HWND CreateHidden() { return Create({.rect = {0, 0, 200, 100}, .style = WS_POPUP}); }

    void OnFinalMessage(HWND window) override {
        finalWindow = window;
        linkAtFinalMessage = FindWindowObject(window);
    }

    bool swallowSetText = false;
    int setTextSeen = 0;
    std::map<UINT, int> appMessages;  // message -> how many arrived
    HWND finalWindow = nullptr;
    MessageMap* linkAtFinalMessage = nullptr;

protected:
    WindowClassInfo GetWindowClassInfo() const override { return {.name = L"LumarestTestProbe"}; }

private:
    LRESULT OnAsk(UINT, WPARAM, LPARAM) { return 42; }
    LRESULT OnSetText(UINT, WPARAM, LPARAM) {
        ++setTextSeen;
        SetMsgHandled(swallowSetText);
        return TRUE;
    }
    LRESULT OnAppMessage(UINT message, WPARAM, LPARAM) {
        ++appMessages[message];
        return 0;
    }
};

// Ends the thread's loop with code -1 after timeoutMs, so a broken loop fails
// its test instead of hanging it.
class LoopDeadline {
public:
    explicit LoopDeadline(UINT timeoutMs = 5000) : timer_(SetTimer(nullptr, 0, timeoutMs, &Expire)) {}
    ~LoopDeadline() { KillTimer(nullptr, timer_); }
    LoopDeadline(const LoopDeadline&) = delete;
    LoopDeadline& operator=(const LoopDeadline&) = delete;

private:
    static void CALLBACK Expire(HWND, UINT, UINT_PTR timer, DWORD) {
        KillTimer(nullptr, timer);
        PostQuitMessage(-1);
    }
    UINT_PTR timer_;
};

