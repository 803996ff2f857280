#include "window_object.h"

namespace {
// A property name is turned into a global atom by the system; one fixed name
// serves every kind of object.
constexpr wchar_t kObjectProperty[] = L"Lumarest.WindowObject";
}  // namespace

bool AttachWindowObject(HWND window, MessageMap* object) { return SetPropW(window, kObjectProperty, object) != FALSE; }

MessageMap* FindWindowObject(HWND window) {
    return window ? static_cast<MessageMap*>(GetPropW(window, kObjectProperty)) : nullptr;
}

void ForgetWindowObject(HWND window) { RemovePropW(window, kObjectProperty); }
