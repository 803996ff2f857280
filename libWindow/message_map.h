// Message maps: every object of the windowing layer answers messages through
// one ProcessWindowMessage that reads like a table.
//
//   class CView : public WindowBase {
//       BEGIN_MSG_MAP(CView)
//           MESSAGE_HANDLER(WM_CREATE, OnCreate)
//           COMMAND_ID_HANDLER(IDOK, OnOk)
//           REFLECT_NOTIFICATIONS()
//           CHAIN_MSG_MAP(WindowBase)
//       END_MSG_MAP()
//       LRESULT OnCreate(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
//       LRESULT OnOk(WORD notifyCode, WORD id, HWND control, bool& handled);
//   };
//
// Entries are tried in order. A handler starts with handled = true and may
// clear it to let the message go on to the next entries and, past the end of
// the map, to the window's default processing. The parameters are unpacked
// once, here, next to the table: handlers receive typed values.
#pragma once

#include <windows.h>

#include "reflection.h"

class MessageMap {
public:
    // Returns true when the message was handled; result then holds the answer.
    // The empty map handles nothing, so a map may end in CHAIN_MSG_MAP to any
    // base of this layer (WindowBase, DialogBase, SubclassedWindow).
    virtual bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      LRESULT& result) {
        return false;
    }

protected:
    MessageMap() = default;
    ~MessageMap() = default;
};

// Signed coordinates of a mouse or move message (they are negative left of or
// above the primary monitor).
inline POINT PointFromLParam(LPARAM lParam) {
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

// Width and height of WM_SIZE.
inline SIZE SizeFromLParam(LPARAM lParam) {
    return SIZE{static_cast<LONG>(LOWORD(lParam)), static_cast<LONG>(HIWORD(lParam))};
}

#define BEGIN_MSG_MAP(theClass)                                                              \
public:                                                                                      \
    bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,      \
                              LRESULT& result) override {                                   \
        bool handled = true;                                                                 \
        static_cast<void>(window);                                                           \
        static_cast<void>(handled);

// func(UINT message, WPARAM, LPARAM, bool& handled) -> LRESULT
#define MESSAGE_HANDLER(msg, func)                                                           \
        if (message == (msg)) {                                                              \
            handled = true;                                                                  \
            result = func(message, wParam, lParam, handled);                                 \
            if (handled) return true;                                                        \
        }

// func as for MESSAGE_HANDLER, for every message in [first, last].
#define MESSAGE_RANGE_HANDLER(first, last, func)                                             \
        if (message >= (first) && message <= (last)) {                                      \
            handled = true;                                                                  \
            result = func(message, wParam, lParam, handled);                                 \
            if (handled) return true;                                                        \
        }

// WM_COMMAND from control id with notification code:
// func(WORD notifyCode, WORD id, HWND control, bool& handled) -> LRESULT
#define COMMAND_HANDLER(id, code, func)                                                      \
        if (message == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == (code)) {   \
            handled = true;                                                                  \
            result = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam),    \
                          handled);                                                          \
            if (handled) return true;                                                        \
        }

// WM_COMMAND from control id, any notification code; func as above.
#define COMMAND_ID_HANDLER(id, func)                                                         \
        if (message == WM_COMMAND && LOWORD(wParam) == (id)) {                               \
            handled = true;                                                                  \
            result = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam),    \
                          handled);                                                          \
            if (handled) return true;                                                        \
        }

// WM_NOTIFY from control id with code: func(int id, NMHDR*, bool& handled) -> LRESULT
#define NOTIFY_HANDLER(id, code, func)                                                       \
        if (message == WM_NOTIFY &&                                                          \
            reinterpret_cast<NMHDR*>(lParam)->idFrom == static_cast<UINT_PTR>(id) &&         \
            reinterpret_cast<NMHDR*>(lParam)->code == static_cast<UINT>(code)) {             \
            handled = true;                                                                  \
            result = func(static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam),        \
                          handled);                                                          \
            if (handled) return true;                                                        \
        }

// Hands the message to the map of a base class.
#define CHAIN_MSG_MAP(theBase)                                                               \
        if (theBase::ProcessWindowMessage(window, message, wParam, lParam, result))          \
            return true;

// Hands the message to the map of a member (a mix-in that is not a base).
#define CHAIN_MSG_MAP_MEMBER(theMember)                                                      \
        if ((theMember).ProcessWindowMessage(window, message, wParam, lParam, result))       \
            return true;

// Sends notifications from children that carry an object of this layer back
// to them as OCM_ messages (see reflection.h).
#define REFLECT_NOTIFICATIONS()                                                              \
        if (ReflectNotifications(window, message, wParam, lParam, result))                   \
            return true;

#define END_MSG_MAP()                                                                        \
        return false;                                                                        \
    }
