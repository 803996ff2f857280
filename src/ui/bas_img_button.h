// A picture button: the close button of every dialog. Its command fires on
// the press; it is drawn with the pressed picture while pressed or hovered
// and in grey when disabled.
#pragma once

#include <windows.h>

#include "GdiplusInclude.h"

#include <memory>

#include "subclass.h"
#include "ui/control_layout.h"

class BASImgButton : public SubclassedWindow {
public:
    BASImgButton() = default;

    // An owner-drawn "BUTTON" child of parent; false when it cannot be made.
    bool Create(HWND parent, int controlId, bool visible);
    // The pictures belong to the caller (the image catalog). The button takes
    // the normal picture's size and is placed by its anchors.
    void SetImages(Gdiplus::Image* normal, int anchorX, int anchorY, Gdiplus::Image* pressed);
    void SetBackground(COLORREF colour);
    ControlState State() const { return state_; }

    BEGIN_MSG_MAP(BASImgButton)
        MESSAGE_HANDLER(WM_MOUSEMOVE, OnMouseMove)
        MESSAGE_HANDLER(WM_MOUSEHOVER, OnMouseHover)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
        MESSAGE_HANDLER(WM_LBUTTONDBLCLK, OnLButtonDown)
        MESSAGE_HANDLER(WM_LBUTTONUP, OnRelease)
        MESSAGE_HANDLER(WM_MOUSELEAVE, OnRelease)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
        MESSAGE_HANDLER(OCM_DRAWITEM, OnDrawItem)
    END_MSG_MAP()

private:
    LRESULT OnMouseMove(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnMouseHover(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnLButtonDown(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnRelease(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnEraseBackground(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnDrawItem(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    void SetState(ControlState state);

    ControlState state_ = ControlState::Normal;
    bool tracking_ = false;
    Gdiplus::Image* normal_ = nullptr;
    Gdiplus::Image* pressed_ = nullptr;
    std::unique_ptr<Gdiplus::Bitmap> grey_;
    int width_ = 0;
    int height_ = 0;
    bool backgroundOn_ = false;
    COLORREF background_ = 0;
};
