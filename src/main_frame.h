// The program's only top-level window: a borderless popup with rounded
// corners and a grey four-pixel border, resizable from a five-pixel band
// along its sides and draggable by any other point. Creating it loads the
// plug-ins and builds their panes in the view; closing it is first put to
// the plug-ins, any of which may keep it open.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>
#include <vector>

#include "common/command_bus.h"
#include "gdi_owners.h"
#include "lumarest_view.h"
#include "message_loop.h"
#include "window_base.h"

class CMainFrame : public WindowBase, public MessageFilter, public IdleHandler {
public:
    CMainFrame() = default;
    // Destroys a window still open, then forgets the process-wide pointer
    // when it still names this frame.
    ~CMainFrame() override;

    // Creates the frame centred on the screen, titled with the product title,
    // and shows it with showCommand; false when the window cannot be made.
    // The calling thread's message loop must exist already: the frame joins
    // it while it is being created.
    bool Open(int showCommand);

    HWND ViewWindow() const { return view_.Handle(); }

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

    // No accelerator table is loaded, so every message goes on.
    bool PreTranslateMessage(MSG*) override { return false; }
    bool OnIdle() override { return false; }

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
    void CheckForUpdate();

    struct IconDestroyer {
        void operator()(HICON icon) const { DestroyIcon(icon); }
    };
    using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDestroyer>;

    CLumarestView view_;
    UniqueIcon appIcon_;             // icon 128 at 32 x 32, handed to the panes
    std::vector<int> pendingResize_;  // one entry per WM_SIZING since the view was last fitted
    POINT lastPosition_{};           // screen position at the last WM_MOVE
    RECT sizingRect_{};              // drag rectangle of the last WM_SIZING
    UniquePen borderPen_;            // four pixels, RGB(200, 200, 200)
};

// The process-wide main frame: set while the frame is being created, cleared
// when it goes. The platform commands reach the frame and the view through it.
CMainFrame* MainFrame();
// The frame's window and the view's window, or null when there is no frame.
HWND MainFrameWindow();
HWND MainViewWindow();
