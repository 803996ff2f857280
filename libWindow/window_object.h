// The link from a window handle to the C++ object that answers its messages.
//
// The object is kept in a window property, never in GWLP_USERDATA (left to
// the program) and never behind an executable thunk. Each kind of object (WindowBase, DialogBase,
// SubclassedWindow) only reads the link back from its own window procedure,
// so the stored MessageMap* is always of the kind that procedure expects.
#pragma once

#include <windows.h>

class MessageMap;

// Stores object under window; false when the property could not be set.
bool AttachWindowObject(HWND window, MessageMap* object);
// The object attached to window, or null (also for windows of other code).
MessageMap* FindWindowObject(HWND window);
// Removes the link; the first step of every teardown.
void ForgetWindowObject(HWND window);
