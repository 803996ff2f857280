// The program's only top-level window: a borderless popup with rounded
// corners and a grey four-pixel border, resizable from a five-pixel band
// along its sides and draggable by any other point. It is only a window: its
// creation, its close, its moves and its view's sizes are raised to the
// application (MainFrameEvents), which decides what they mean. When it is
// destroyed, by its close or otherwise, it ends the thread's message loop.
#pragma once

#include <windows.h>

#include <utility>

#include "double_buffer.h"
#include "dpi.h"
#include "gdi_owners.h"
#include "lumarest_view.h"
#include "main_frame_events.h"
#include "themed_shadow_wnd.h"
#include "window_base.h"

class CMainFrame : public WindowBase {
public:
    explicit CMainFrame(MainFrameEvents events) : events_(std::move(events)), view_(events_.viewSized) {}
    // Destroys a window still open, while the frame's own handlers still answer.
    ~CMainFrame() override;

    // Creates the frame centred on the screen, titled with the product title,
    // and hidden: the application fills it before it shows it. False when the
    // window cannot be made.
    bool CreateHidden();
    // Shows the frame with showCommand and paints it and its children at once.
    void Show(int showCommand);
    // The drop shadow, made after the first paint: the frame looks the same
    // without it for that long.
    void CreateShadow();

    // Creates the view inside the border; the application calls it once the
    // plug-ins are there to hear its first size.
    bool CreateView();
    HWND ViewWindow() const { return view_.Handle(); }
    int Dpi() const { return dpi_; }

    // Starts the one-shot timer that raises updateCheckDue.
    void ScheduleUpdateCheck();

    BEGIN_MSG_MAP(CMainFrame)
    MSG_WM_CREATE(OnCreate)
    MSG_WM_SIZE(OnSize)
    MSG_WM_PAINT_BUFFERED(OnPaint)
    MSG_WM_SIZING(OnSizing)
    MSG_WM_TIMER(OnTimer)
    MSG_WM_NCHITTEST(OnNcHitTest)
    MSG_WM_SETCURSOR(OnSetCursor)
    MSG_WM_NCLBUTTONDOWN(OnNcLButtonDown)
    MSG_WM_MOVE(OnMove)
    MSG_WM_DPICHANGED(OnDpiChanged)
    MSG_WM_DESTROY(OnDestroy)
    MSG_WM_CLOSE(OnClose)
    CHAIN_MSG_MAP(WindowBase)
    END_MSG_MAP()

protected:
    WindowClassInfo GetWindowClassInfo() const override;

private:
    int OnCreate(CREATESTRUCTW* create);
    void OnSize(UINT type, SIZE size);
    void OnPaint(HDC dc, const RECT& updateRect);
    void OnSizing(UINT edge, RECT* dragRect);
    void OnTimer(UINT_PTR timerId);
    UINT OnNcHitTest(POINT screenPoint);
    bool OnSetCursor(HWND cursorWindow, UINT hitTest, UINT mouseMessage);
    void OnNcLButtonDown(UINT hitTest, POINT screenPoint);
    void OnMove(POINT topLeft);
    void OnDpiChanged(int dpi, const RECT* suggested);
    // The pen and the shadow for the current DPI.
    void ApplyChrome();
    void OnDestroy();
    void OnClose();

    void RefitViewAfterDrag();

    MainFrameEvents events_;
    CLumarestView view_;
    bool resizedByDrag_ = false;  // a WM_SIZING came since the view was last fitted
    POINT lastPosition_{};        // screen position at the last WM_MOVE
    SIZE creationSize_{};         // the size the frame was created with, for the view
    int dpi_ = kDesignDpi;        // of the display that shows the frame
    UniquePen borderPen_;         // four pixels at 96 DPI, RGB(200, 200, 200)
    CThemedShadowWnd shadow_;
};
