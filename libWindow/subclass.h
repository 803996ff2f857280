// A C++ object attached to a window made by someone else (a "BUTTON",
// "EDIT", "COMBOBOX" or "SysLink" control): the object sees each message
// first through its map; what the map leaves unhandled goes on to the
// control's own procedure.
//
// Subclassing uses the common controls' SetWindowSubclass, which keeps the
// chain of procedures itself, so attaching and detaching in any order with
// other subclassers is safe. Detach restores the control as it was; when the
// control is destroyed while attached the teardown at WM_NCDESTROY is: the
// control's procedure sees the message, then forget the object (the property
// goes), unsubclass, and the object's OnFinalMessage.
//
// Attached as a hook, the object only watches a window that another object
// of this layer already owns (a shadow following its owner): it takes no
// window-object property, so the window keeps its owner's and reflected
// notifications still reach that owner.
#pragma once

#include <windows.h>

#include "message_map.h"

class SubclassedWindow : public MessageMap {
public:
    SubclassedWindow() = default;
    SubclassedWindow(const SubclassedWindow&) = delete;
    SubclassedWindow& operator=(const SubclassedWindow&) = delete;
    // Detaches from a control that outlives the object.
    virtual ~SubclassedWindow();

    enum class Mode { Object, Hook };
    // False when already attached, the subclass could not be installed, or,
    // as an object, the window carries another object.
    bool Attach(HWND control, Mode mode = Mode::Object);
    // Restores the control's own procedure; returns the control (null if none).
    HWND Detach();
    HWND Handle() const { return window_; }

    virtual void OnFinalMessage(HWND window) {}

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR object) noexcept;
    LRESULT Route(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    Mode mode_ = Mode::Object;
};
