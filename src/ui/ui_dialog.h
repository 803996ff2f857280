// The common base of the host's own dialogs: a borderless popup with a flat
// coloured title bar 26 pixels high, a grey one-pixel frame, a white body, a
// close button at the top right, a drop shadow, and dragging by any point.
// Modal (constructed on the caller's stack and run with DoModal) or
// modeless (created once by the host, then shown and hidden many times).
#pragma once

#include <windows.h>

#include "GdiplusInclude.h"

#include <memory>
#include <string>

#include "common/observer.h"
#include "dialog_base.h"
#include "double_buffer.h"
#include "dpi_scale.h"
#include "themed_shadow_wnd.h"
#include "ui/bas_img_button.h"

// Control identifiers, also the end codes of a modal run.
constexpr int kCloseButtonId = 5050;
constexpr int kConfirmButtonId = 5051;
constexpr int kSecondButtonId = 5052;

class UiDialog : public DialogBase, public BASSubject, public BASObserver {
public:
    // The close button's pictures, from the image catalog; not owned. A
    // dialog that is never activated (the notice strip) is made without a
    // system menu: Wine hands a popup with one to the window manager, and
    // hiding such a window stalls its thread for seconds when there is none.
    enum class Activation { Activated, Never };
    UiDialog(Gdiplus::Image* closeImage, Gdiplus::Image* closePressedImage,
             Activation activation = Activation::Activated);
    ~UiDialog() override;

    // The painted title, which is also the window's text that screen readers
    // announce: a dialog made once and shown again takes its new title there too.
    void SetTitle(const std::wstring& title) {
        title_ = title;
        if (Handle()) SetWindowTextW(Handle(), title_.c_str());
    }
    // The window this dialog centres on and disables while shown; null: the
    // top-level window that owns it. The size is the client size at 96 DPI
    // until the window is initialised, which scales it to its display's DPI;
    // from then on Width and Height are in pixels.
    void SetPlacement(HWND parent, int width, int height) {
        parent_ = parent;
        width_ = designWidth_ = width;
        height_ = designHeight_ = height;
    }

    // Modeless: stores the three values and creates the hidden window with
    // parent as owner. True also when no window could be made (the dialog
    // then just never shows), as callers cannot do anything else.
    virtual bool Create(HWND parent, int width, int height);
    // Shows or hides the dialog and its shadow; SW_SHOW disables the parent,
    // anything else enables it again.
    virtual void Show(int showCommand);
    virtual void Reset();
    virtual void MarkFinished() { finished_ = true; }
    // Moves the window by dx, dy, keeping its size (no z-order change, no
    // activation): the frame moved and the dialog goes with it.
    void MoveBy(int dx, int dy);
    // The frame moved to a display of another DPI: the dialog, shown or
    // hidden, takes that scale (its size, fonts, pictures and layout).
    void FollowDpi(int dpi) {
        if (Handle()) OnDpiChanged(dpi, nullptr);
    }

    // Return presses the confirming button, Escape the close button.
    int DefaultButtonId() const override { return kConfirmButtonId; }
    int CancelButtonId() const override { return kCloseButtonId; }

    bool IsFinished() const { return finished_; }
    bool IsClosed() const { return closed_; }
    HWND ParentWindow() const { return parent_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

    BEGIN_MSG_MAP(UiDialog)
    MSG_WM_INITDIALOG(OnInitDialog)
    MSG_WM_PAINT_BUFFERED(OnPaint)
    MSG_WM_LBUTTONDOWN(OnLButtonDown)
    MSG_WM_DPICHANGED(OnDpiChanged)
    MSG_WM_CTLCOLORSTATIC(OnColourMessage)
    MSG_WM_CTLCOLORBTN(OnColourMessage)
    COMMAND_ID_HANDLER(kCloseButtonId, OnCloseButton)
    REFLECT_NOTIFICATIONS()
    END_MSG_MAP()

protected:
    // The base initialisation: the display's scale, placement, shadow, title
    // colour, close button.
    void InitialiseBase();
    // Takes the DPI of the display that shows the parent (or the dialog).
    void TakeDisplayScale();
    // The scale of the display that shows the dialog (96 DPI until it opens).
    const DpiScale& Scale() const { return scale_; }
    int Px(int value) const { return scale_.Px(value); }
    float Px(float value) const { return scale_.Px(value); }
    // The client height in pixels, once the window exists.
    void SetPixelHeight(int height) { height_ = height; }
    // Paints frame and title bar, then the body through DrawContent, on the
    // buffered context of the paint.
    virtual void OnPaint(HDC dc, const RECT& updateRect);
    // The body below the title bar, inside the frame, on the buffered context.
    virtual void DrawContent(HDC dc, int left, int top, int right, int bottom) {}
    // The close button: hides a modeless dialog; modal dialogs end instead.
    virtual void OnClose();
    // The display's DPI changed: the base has resized the window to the
    // design size at the new scale and made its own font and pictures again;
    // a dialog makes its fonts, pictures and layout again here.
    virtual void OnScaleChanged() {}

    bool OnInitDialog(HWND defaultFocus, LPARAM initParam);
    void OnLButtonDown(UINT keys, POINT point);
    // Dragged onto a display of another DPI: the dialog takes the place the
    // system suggests, at its design size scaled anew, and makes its fonts,
    // pictures and layout again at that scale.
    void OnDpiChanged(int dpi, const RECT* suggested);
    HBRUSH OnColourMessage(HDC, HWND) { return nullptr; }
    void OnCloseButton(UINT code, int id, HWND control);

    Gdiplus::Image* CloseImage() const { return closeImage_; }
    Gdiplus::Image* ClosePressedImage() const { return closePressedImage_; }
    CThemedShadowWnd& Shadow() { return shadow_; }
    COLORREF TitleColour() const { return titleColour_; }
    void SetClosed() { closed_ = true; }
    void SetFinished(bool finished) { finished_ = finished; }

    BASImgButton closeButton_;

private:
    // What the base draws at the dialog's scale: title font, shadow, close button.
    void ApplyBaseScale();

    HWND parent_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    int designWidth_ = 0;  // the size asked for, at 96 DPI
    int designHeight_ = 0;
    bool finished_ = true;
    bool closed_ = true;
    Gdiplus::Image* closeImage_;
    Gdiplus::Image* closePressedImage_;
    CThemedShadowWnd shadow_;
    std::wstring title_;
    COLORREF titleColour_ = 0x7F7F7F;
    std::unique_ptr<Gdiplus::Font> titleFont_;
    DpiScale scale_;
};

// The placement of a W x H dialog centred on parentRect (integer halves).
POINT CentredDialogOrigin(const RECT& parentRect, int width, int height);
// origin moved the least so that a W x H dialog there lies inside workArea; a
// dialog larger than the area keeps its top-left corner in it.
POINT KeptInside(POINT origin, int width, int height, const RECT& workArea);
// The work area of the monitor that shows most of area.
RECT WorkAreaAround(const RECT& area);
// A colour of the store "url", or fallback when the store is missing or not
// loaded.
COLORREF CatalogColour(const char* key, COLORREF fallback);
// The size a picture of the image catalog (its plain render, the size at 96
// DPI) takes at scale; zero for null.
SIZE ScaledSize(Gdiplus::Image* picture, const DpiScale& scale);
