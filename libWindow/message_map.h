// Message maps: every object of the windowing layer answers messages through
// one ProcessWindowMessage that reads like a table, and each message is
// unpacked once, in the entry that names it, so handlers take typed values.
//
//   class CView : public WindowBase {
//       BEGIN_MSG_MAP(CView)
//           MSG_WM_CREATE(OnCreate)
//           MSG_WM_SIZE(OnSize)
//           COMMAND_ID_HANDLER(IDOK, OnOk)
//           REFLECT_NOTIFICATIONS()
//           CHAIN_MSG_MAP(WindowBase)
//       END_MSG_MAP()
//       int OnCreate(CREATESTRUCTW* create);
//       void OnSize(UINT type, SIZE size);
//       void OnOk(UINT code, int id, HWND control);
//   };
//
// Entries are tried in order. The one way to let a message go on: a handler
// calls SetMsgHandled(false); the message then goes on to the next entries
// and, past the end of the map, to the window's default processing, and the
// handler's answer is dropped. The flag is saved and restored around every
// message, so a handler that sends its own window a message keeps its own.
#pragma once

#include <windows.h>

#include "reflection.h"

class MessageMap {
public:
    // Returns true when the message was handled; result then holds the answer.
    // The empty map handles nothing, so a map may end in CHAIN_MSG_MAP to any
    // base of this layer (WindowBase, DialogBase, SubclassedWindow).
    virtual bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        return false;
    }

    // For handlers: false passes the message on (see above).
    void SetMsgHandled(bool handled) { msgHandled_ = handled; }
    bool IsMsgHandled() const { return msgHandled_; }

protected:
    MessageMap() = default;
    ~MessageMap() = default;

    // Keeps the flag of an outer message while a nested one is processed.
    class HandledFlagScope {
    public:
        explicit HandledFlagScope(MessageMap& map) : map_(map), outer_(map.msgHandled_) {}
        ~HandledFlagScope() { map_.msgHandled_ = outer_; }
        HandledFlagScope(const HandledFlagScope&) = delete;
        HandledFlagScope& operator=(const HandledFlagScope&) = delete;

    private:
        MessageMap& map_;
        bool outer_;
    };

private:
    bool msgHandled_ = true;
};

// Signed coordinates of a mouse or move message (they are negative left of or
// above the primary monitor).
inline POINT PointFromLParam(LPARAM lParam) {
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

// Width and height of WM_SIZE (unsigned words).
inline SIZE SizeFromLParam(LPARAM lParam) {
    return SIZE{static_cast<LONG>(LOWORD(lParam)), static_cast<LONG>(HIWORD(lParam))};
}

#define BEGIN_MSG_MAP(theClass)                                                                                    \
public:                                                                                                            \
    bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override { \
        const HandledFlagScope outerMessageFlag(*this);                                                            \
        static_cast<void>(window);                                                                                 \
        static_cast<void>(wParam);                                                                                 \
        static_cast<void>(lParam);

// One entry: when condition holds, run call (which sets result and calls the
// handler) and stop unless the handler passed the message on.
#define MSG_MAP_ENTRY_(condition, call)  \
    if (condition) {                     \
        SetMsgHandled(true);             \
        call;                            \
        if (IsMsgHandled()) return true; \
    }

// ---- typed entries: the handler's signature follows each name ----

// int func(CREATESTRUCTW* create): 0 to go on, -1 to fail the creation.
#define MSG_WM_CREATE(func) \
    MSG_MAP_ENTRY_(message == WM_CREATE, result = func(reinterpret_cast<CREATESTRUCTW*>(lParam)))

// void func()
#define MSG_WM_DESTROY(func) MSG_MAP_ENTRY_(message == WM_DESTROY, result = 0; func())

// void func(UINT type, SIZE clientSize)
#define MSG_WM_SIZE(func) \
    MSG_MAP_ENTRY_(message == WM_SIZE, result = 0; func(static_cast<UINT>(wParam), SizeFromLParam(lParam)))

// void func(POINT clientTopLeft): signed, in screen (popup) or parent coordinates.
#define MSG_WM_MOVE(func) MSG_MAP_ENTRY_(message == WM_MOVE, result = 0; func(PointFromLParam(lParam)))

// void func(UINT edge, RECT* dragRect): the rectangle may be changed in place.
// Answers 0: the system reads the rectangle back, not the answer.
#define MSG_WM_SIZING(func) \
    MSG_MAP_ENTRY_(message == WM_SIZING, result = 0; func(static_cast<UINT>(wParam), reinterpret_cast<RECT*>(lParam)))

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
// void func(int dpi, const RECT* suggested): the window's display has a new
// DPI (the vertical one; the two are always equal); suggested is where the
// system proposes the window go, in screen coordinates.
#define MSG_WM_DPICHANGED(func) \
    MSG_MAP_ENTRY_(message == WM_DPICHANGED, result = 0; func(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam)))

// UINT func(POINT screenPoint): the hit-test code.
#define MSG_WM_NCHITTEST(func) MSG_MAP_ENTRY_(message == WM_NCHITTEST, result = func(PointFromLParam(lParam)))

// bool func(HWND cursorWindow, UINT hitTest, UINT mouseMessage): true when the cursor was set.
#define MSG_WM_SETCURSOR(func)              \
    MSG_MAP_ENTRY_(message == WM_SETCURSOR, \
                   result = func(reinterpret_cast<HWND>(wParam), LOWORD(lParam), HIWORD(lParam)) ? TRUE : FALSE)

// void func(UINT_PTR timerId)
#define MSG_WM_TIMER(func) MSG_MAP_ENTRY_(message == WM_TIMER, result = 0; func(static_cast<UINT_PTR>(wParam)))

// void func(): the handler begins and ends painting itself (PaintDC or
// BufferedPaint; MSG_WM_PAINT_BUFFERED in double_buffer.h does both).
#define MSG_WM_PAINT(func) MSG_MAP_ENTRY_(message == WM_PAINT, result = 0; func())

// bool func(HDC dc): true when the background was erased (or needs no erasing).
#define MSG_WM_ERASEBKGND(func) \
    MSG_MAP_ENTRY_(message == WM_ERASEBKGND, result = func(reinterpret_cast<HDC>(wParam)) ? TRUE : FALSE)

// The client-area mouse messages: void func(UINT keys, POINT clientPoint), signed.
#define MSG_MOUSE_ENTRY_(msg, func) \
    MSG_MAP_ENTRY_(message == (msg), result = 0; func(static_cast<UINT>(wParam), PointFromLParam(lParam)))
#define MSG_WM_LBUTTONDOWN(func) MSG_MOUSE_ENTRY_(WM_LBUTTONDOWN, func)
#define MSG_WM_LBUTTONUP(func) MSG_MOUSE_ENTRY_(WM_LBUTTONUP, func)
#define MSG_WM_LBUTTONDBLCLK(func) MSG_MOUSE_ENTRY_(WM_LBUTTONDBLCLK, func)
#define MSG_WM_MOUSEMOVE(func) MSG_MOUSE_ENTRY_(WM_MOUSEMOVE, func)
#define MSG_WM_MOUSEHOVER(func) MSG_MOUSE_ENTRY_(WM_MOUSEHOVER, func)

// void func()
#define MSG_WM_MOUSELEAVE(func) MSG_MAP_ENTRY_(message == WM_MOUSELEAVE, result = 0; func())

// void func(UINT hitTest, POINT screenPoint)
#define MSG_WM_NCLBUTTONDOWN(func) \
    MSG_MAP_ENTRY_(message == WM_NCLBUTTONDOWN, result = 0; func(static_cast<UINT>(wParam), PointFromLParam(lParam)))

// void func(): handled means the window stays; pass it on for DestroyWindow.
#define MSG_WM_CLOSE(func) MSG_MAP_ENTRY_(message == WM_CLOSE, result = 0; func())

// BOOL-like answer of WM_INITDIALOG: bool func(HWND defaultFocus, LPARAM initParam),
// true to let the system focus defaultFocus.
#define MSG_WM_INITDIALOG(func) \
    MSG_MAP_ENTRY_(message == WM_INITDIALOG, result = func(reinterpret_cast<HWND>(wParam), lParam) ? TRUE : FALSE)

// void func(UINT controlId, DRAWITEMSTRUCT* item); answers TRUE. Also for the
// reflected OCM_DRAWITEM, with MSG_OCM_DRAWITEM.
#define MSG_DRAWITEM_ENTRY_(msg, func)              \
    MSG_MAP_ENTRY_(message == (msg), result = TRUE; \
                   func(static_cast<UINT>(wParam), reinterpret_cast<DRAWITEMSTRUCT*>(lParam)))
#define MSG_WM_DRAWITEM(func) MSG_DRAWITEM_ENTRY_(WM_DRAWITEM, func)
#define MSG_OCM_DRAWITEM(func) MSG_DRAWITEM_ENTRY_(OCM_DRAWITEM, func)

// The WM_CTLCOLOR family: HBRUSH func(HDC dc, HWND control); the brush (or
// null) is the answer.
#define MSG_CTLCOLOR_ENTRY_(msg, func)                                   \
    MSG_MAP_ENTRY_(message == (msg), result = reinterpret_cast<LRESULT>( \
                                         func(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam))))
#define MSG_WM_CTLCOLORBTN(func) MSG_CTLCOLOR_ENTRY_(WM_CTLCOLORBTN, func)
#define MSG_WM_CTLCOLORDLG(func) MSG_CTLCOLOR_ENTRY_(WM_CTLCOLORDLG, func)
#define MSG_WM_CTLCOLOREDIT(func) MSG_CTLCOLOR_ENTRY_(WM_CTLCOLOREDIT, func)
#define MSG_WM_CTLCOLORLISTBOX(func) MSG_CTLCOLOR_ENTRY_(WM_CTLCOLORLISTBOX, func)
#define MSG_WM_CTLCOLORSCROLLBAR(func) MSG_CTLCOLOR_ENTRY_(WM_CTLCOLORSCROLLBAR, func)
#define MSG_WM_CTLCOLORSTATIC(func) MSG_CTLCOLOR_ENTRY_(WM_CTLCOLORSTATIC, func)

// WM_COMMAND from control id with notification code, with any code, or with
// code from any control:
// void func(UINT code, int id, HWND control). The reflected form (OCM_COMMAND)
// reaches a child through COMMAND_REFLECTED_HANDLER with the same signature.
#define COMMAND_ENTRY_(msg, condition, func)                    \
    MSG_MAP_ENTRY_(message == (msg) && (condition), result = 0; \
                   func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam)))
#define COMMAND_HANDLER(id, code, func) \
    COMMAND_ENTRY_(WM_COMMAND, LOWORD(wParam) == (id) && HIWORD(wParam) == (code), func)
#define COMMAND_ID_HANDLER(id, func) COMMAND_ENTRY_(WM_COMMAND, LOWORD(wParam) == (id), func)
#define COMMAND_CODE_HANDLER(code, func) COMMAND_ENTRY_(WM_COMMAND, HIWORD(wParam) == (code), func)
#define COMMAND_REFLECTED_HANDLER(func) COMMAND_ENTRY_(OCM_COMMAND, true, func)

// WM_NOTIFY from control id with code: LRESULT func(NMHDR* header).
#define NOTIFY_HANDLER(id, notifyCode, func)                                                                        \
    MSG_MAP_ENTRY_(message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->idFrom == static_cast<UINT_PTR>(id) && \
                       reinterpret_cast<NMHDR*>(lParam)->code == static_cast<UINT>(notifyCode),                     \
                   result = func(reinterpret_cast<NMHDR*>(lParam)))

// ---- raw entries, for rare and private messages ----

// LRESULT func(UINT message, WPARAM, LPARAM); it may call SetMsgHandled(false).
#define MESSAGE_HANDLER(msg, func) MSG_MAP_ENTRY_(message == (msg), result = func(message, wParam, lParam))

// func as for MESSAGE_HANDLER, for every message in [first, last].
#define MESSAGE_RANGE_HANDLER(first, last, func) \
    MSG_MAP_ENTRY_(message >= (first) && message <= (last), result = func(message, wParam, lParam))

// Hands the message to the map of a base class.
#define CHAIN_MSG_MAP(theBase) \
    if (theBase::ProcessWindowMessage(window, message, wParam, lParam, result)) return true;

// Hands the message to the map of a member (a mix-in that is not a base).
#define CHAIN_MSG_MAP_MEMBER(theMember) \
    if ((theMember).ProcessWindowMessage(window, message, wParam, lParam, result)) return true;

// Sends notifications from children that carry an object of this layer back
// to them as OCM_ messages (see reflection.h).
#define REFLECT_NOTIFICATIONS() \
    if (ReflectNotifications(window, message, wParam, lParam, result)) return true;

#define END_MSG_MAP() \
    return false;     \
    }
