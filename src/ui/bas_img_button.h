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

    // An owner-drawn "BUTTON" child of parent, a tab stop, whose window text
    // is name (what a screen reader says); false when it cannot be made.
    bool Create(HWND parent, int controlId, bool visible, const wchar_t* name);
    // The pictures belong to the caller (the image catalog). The button takes
    // size, or the normal picture's size when size is empty, and is placed by
    // its anchors; the pictures are drawn into that size.
    void SetImages(Gdiplus::Image* normal, int anchorX, int anchorY, Gdiplus::Image* pressed, SIZE size = {});
    void SetBackground(COLORREF colour);
    // A disabled button shows the grey picture and takes no input.
    void SetEnabled(bool enabled);
    ControlState State() const { return state_; }

    BEGIN_MSG_MAP(BASImgButton)
    MSG_WM_MOUSEMOVE(OnMouseMove)
    MSG_WM_MOUSEHOVER(OnMouseHover)
    MSG_WM_LBUTTONDOWN(OnLButtonDown)
    MSG_WM_LBUTTONDBLCLK(OnLButtonDown)
    MSG_WM_LBUTTONUP(OnLButtonUp)
    MSG_WM_MOUSELEAVE(OnMouseLeave)
    MSG_WM_ERASEBKGND(OnEraseBackground)
    MSG_OCM_DRAWITEM(OnDrawItem)
    MESSAGE_HANDLER(WM_GETOBJECT, OnGetObject)
    END_MSG_MAP()

private:
    void OnMouseMove(UINT keys, POINT point);
    void OnMouseHover(UINT keys, POINT point);
    void OnLButtonDown(UINT keys, POINT point);
    void OnLButtonUp(UINT keys, POINT point);
    void OnMouseLeave();
    // The picture covers the whole button: erasing first would only flicker.
    bool OnEraseBackground(HDC) { return true; }
    void OnDrawItem(UINT controlId, DRAWITEMSTRUCT* item);
    LRESULT OnGetObject(UINT message, WPARAM wParam, LPARAM lParam);
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
