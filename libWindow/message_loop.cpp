#include "message_loop.h"

int MessageLoop::Run() {
    return RunUntil([] { return false; }).value_or(0);
}

std::optional<int> MessageLoop::RunUntil(const std::function<bool()>& done) {
    MSG message;
    while (!done()) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == -1) continue;  // only for an invalid window filter, which is never passed
        if (got == 0) return static_cast<int>(message.wParam);
        if (!PreTranslateMessage(&message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return std::nullopt;
}

bool MessageLoop::PreTranslateMessage(MSG* message) {
    return filters_.WalkNewestFirst([message](MessageFilter* filter) { return filter->PreTranslateMessage(message); });
}
