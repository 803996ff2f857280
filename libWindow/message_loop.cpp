#include "message_loop.h"

namespace {
// Messages that come back on their own while nothing happens; after them the
// idle handlers need not run again (they would run on every caret blink).
bool EndsIdleTime(const MSG& message) {
    constexpr UINT kSystemTimer = 0x0118;  // the caret's blink timer
    switch (message.message) {
    case WM_PAINT:
    case kSystemTimer: return false;
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE: {
        // Windows repeats the last mouse move; only a real move counts.
        static thread_local POINT last{-1, -1};
        static thread_local UINT lastMessage = 0;
        const bool same = message.pt.x == last.x && message.pt.y == last.y && message.message == lastMessage;
        last = message.pt;
        lastMessage = message.message;
        return !same;
    }
    default: return true;
    }
}
}  // namespace

int MessageLoop::Run() {
    return RunUntil([] { return false; }).value_or(0);
}

std::optional<int> MessageLoop::RunUntil(const std::function<bool()>& done) {
    bool idle = true;
    MSG message;
    while (!done()) {
        while (idle && !PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            idle = OnIdle();
            if (done()) return std::nullopt;
        }
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == -1) continue;  // only for an invalid window filter, which is never passed
        if (got == 0) return static_cast<int>(message.wParam);
        if (!PreTranslateMessage(&message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (EndsIdleTime(message)) idle = true;
    }
    return std::nullopt;
}

bool MessageLoop::PreTranslateMessage(MSG* message) {
    return filters_.WalkNewestFirst([message](MessageFilter* filter) { return filter->PreTranslateMessage(message); });
}

bool MessageLoop::OnIdle() {
    bool again = false;
    idleHandlers_.WalkNewestFirst([&again](IdleHandler* handler) {
        again = handler->OnIdle() || again;
        return false;
    });
    return again;
}
