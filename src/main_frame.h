// The program's only top-level window: a borderless popup with rounded
// corners and a grey four-pixel border, resizable from a five-pixel band
// along its sides and draggable by any other point. It is only a window: its
// creation, its close, its moves and its view's sizes are raised to the
// application (MainFrameEvents), which decides what they mean. When it is
// destroyed, by its close or otherwise, it ends the thread's message loop.
#pragma once

#include <windows.h>

#include "gdi_owners.h"
#include "lumarest_view.h"
#include "main_frame_events.h"
#include "themed_shadow_wnd.h"
#include "window_base.h"

class CMainFrame : public WindowBase {
public:
    explicit CMainFrame(MainFrameEvents& events) : events_(events), view_(events) {}
    // Destroys a window still open, while the frame's own handlers still answer.
    ~CMainFrame() override;

    // Creates the frame centred on the screen, titled with the product title,
    // and shows it with showCommand; false when the window cannot be made.
    bool Open(int showCommand);

    // Creates the view inside the border; the application calls it from
    // OnFrameCreated once the plug-ins are there to hear its first size.
    bool CreateView();
    HWND ViewWindow() const { return view_.Handle(); }

    // Starts the one-shot timer that raises OnUpdateCheckDue.
    void ScheduleUpdateCheck();

    BEGIN_MSG_MAP(CMainFrame)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_SIZING, OnSizing)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
        MESSAGE_HANDLER(WM_NCHITTEST, OnNcHitTest)
        MESSAGE_HANDLER(WM_SETCURSOR, OnSetCursor)
        MESSAGE_HANDLER(WM_NCLBUTTONDOWN, OnNcLButtonDown)
        MESSAGE_HANDLER(WM_MOVE, OnMove)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
        CHAIN_MSG_MAP(WindowBase)
    END_MSG_MAP()

protected:
    WindowClassInfo GetWindowClassInfo() const override;

private:
    LRESULT OnCreate(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnSize(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnPaint(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnSizing(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnTimer(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnNcHitTest(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnSetCursor(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnNcLButtonDown(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnMove(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnDestroy(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT OnClose(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

    void RefitViewAfterDrag();

    MainFrameEvents& events_;
    CLumarestView view_;
    bool resizedByDrag_ = false;  // a WM_SIZING came since the view was last fitted
    POINT lastPosition_{};        // screen position at the last WM_MOVE
    SIZE creationSize_{};         // the size the frame was created with, for the view
    UniquePen borderPen_;         // four pixels, RGB(200, 200, 200)
    CThemedShadowWnd shadow_;
};
