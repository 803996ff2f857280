// A flat text button, optionally rounded: every labelled button of the
// dialogs. Its command fires on the press. Sized from its label and margins
// and placed by its anchors; drawn off-screen on the reflected draw-item.
#pragma once

#include <windows.h>

#include "GdiplusInclude.h"

#include <memory>
#include <string>

#include "subclass.h"
#include "ui/control_layout.h"

// How the dialogs make their labelled buttons: flat, acting once per press
// (no toggle), white text on the catalog's button colours.
struct DialogButtonArgs {
    int id = 0;
    const std::wstring* label = nullptr;
    Gdiplus::Font* font = nullptr;  // the dialog's, replacing the button's own
    int marginX = 10;
    int marginY = 6;
    int radius = 0;  // 0: square corners
    COLORREF normal = 0x7F7F7F;
    COLORREF pressed = 0xC3C3C3;
    int anchorX = 0;
    int anchorY = 0;
};

class BASSwitchButton : public SubclassedWindow {
public:
    BASSwitchButton() = default;
    ~BASSwitchButton() override;

    // An owner-drawn "BUTTON" child of parent and a tab stop, visible unless
    // SetVisibleOnCreation(false) came first; false when it cannot be made.
    // Its window text is its label, for screen readers.
    bool Create(HWND parent, int controlId);
    // Creates the button as the dialogs' buttons are made, sized from its label.
    bool CreateForDialog(HWND parent, const DialogButtonArgs& args);
    // Takes font, margins, corners, label, colours and anchors of args again
    // (the dialog's scale changed), measuring and placing the button anew.
    void Restyle(const DialogButtonArgs& args);

    // The font stays the caller's unless releasePrevious lets the button
    // release the one it held (its own default font).
    void SetFont(Gdiplus::Font* font, bool releasePrevious);
    void SetMargins(int horizontal, int vertical) {
        marginX_ = horizontal;
        marginY_ = vertical;
    }
    void SetRounded(bool rounded, int radius = 6) {
        rounded_ = rounded;
        radius_ = radius;
    }
    void SetBorderColour(COLORREF colour) { border_ = colour; }
    void SetSurroundColour(COLORREF colour) { surround_ = colour; }
    void SetToggleMode(bool on) { toggle_ = on; }
    void SetVisibleOnCreation(bool visible) { visibleOnCreation_ = visible; }

    void SetLabelAndColours(int anchorX, int anchorY, const std::wstring& label, COLORREF normalBack,
                            COLORREF normalText, COLORREF pressedBack, COLORREF pressedText);
    // Measures the label, sizes the button and places it by its anchors.
    void SetLabel(const std::wstring& label);
    void SetEnabled(bool enabled);
    // Places the button again by its anchors (after the parent changed size).
    void Reanchor(int anchorX, int anchorY);

    int Width() const { return width_; }
    int Height() const { return height_; }
    ControlState State() const { return state_; }
    const std::wstring& Label() const { return label_; }

    static constexpr COLORREF kNoBorder = 0xFFFFFFFF;

    BEGIN_MSG_MAP(BASSwitchButton)
    MSG_WM_MOUSEMOVE(OnMouseMove)
    MSG_WM_MOUSEHOVER(OnMouseHover)
    MSG_WM_LBUTTONDOWN(OnLButtonDown)
    MSG_WM_LBUTTONDBLCLK(OnLButtonDown)
    MSG_WM_MOUSELEAVE(OnMouseLeave)
    MESSAGE_HANDLER(BM_CLICK, OnClick)
    MSG_WM_ERASEBKGND(OnEraseBackground)
    MSG_OCM_DRAWITEM(OnDrawItem)
    MESSAGE_HANDLER(WM_GETOBJECT, OnGetObject)
    END_MSG_MAP()

private:
    void OnMouseMove(UINT keys, POINT point);
    void OnMouseHover(UINT keys, POINT point);
    void OnLButtonDown(UINT keys, POINT point);
    void OnMouseLeave();
    LRESULT OnClick(UINT message, WPARAM wParam, LPARAM lParam);
    bool OnEraseBackground(HDC dc);
    void OnDrawItem(UINT controlId, DRAWITEMSTRUCT* item);
    LRESULT OnGetObject(UINT message, WPARAM wParam, LPARAM lParam);
    void Paint(HDC dc, const RECT& client, bool focusCue) const;

    ControlState state_ = ControlState::Normal;
    bool tracking_ = false;
    bool toggle_ = true;
    std::unique_ptr<Gdiplus::Font> ownFont_;  // the default, until a dialog gives its own
    Gdiplus::Font* font_ = nullptr;
    std::wstring label_;
    COLORREF normalBack_ = 0, normalText_ = 0, pressedBack_ = 0, pressedText_ = 0;
    COLORREF disabledBack_ = 0x7F7F7F, disabledText_ = 0xFFFFFF;
    int marginX_ = 10, marginY_ = 10;
    bool rounded_ = false;
    int radius_ = 6;
    COLORREF border_ = kNoBorder;
    COLORREF surround_ = 0xFFFFFF;
    bool visibleOnCreation_ = true;
    int anchorX_ = 0, anchorY_ = 0;
    int width_ = 0, height_ = 0;
};

// An opaque GDI+ colour from a COLORREF.
Gdiplus::Color OpaqueColour(COLORREF colour);
// The button's shape: a rectangle whose corners are quarter circles of radius.
void AddRoundedRectangle(Gdiplus::GraphicsPath& path, const Gdiplus::RectF& box, float radius);
