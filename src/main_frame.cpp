#include "main_frame.h"

#include <lumarest/plugin.h>

#include "common/logging.h"
#include "common/plugin_util.h"
#include "double_buffer.h"
#include "frame_geometry.h"
#include "product_identity.h"
#include "services/platform_command_handler.h"
#include "services/product_catalog.h"
#include "shared_dialogs.h"
#include "windowing_module.h"

namespace {

constexpr UINT_PTR kRefitTimer = 1;        // refits the view after a drag on an edge
constexpr UINT kRefitDelayMs = 100;
constexpr UINT_PTR kUpdateCheckTimer = 2;  // the automatic update check, once
constexpr UINT kUpdateCheckDelayMs = 2000;
constexpr int kCornerDiameter = 8;         // of the rounded region's corner ellipses
constexpr COLORREF kBorderGrey = RGB(200, 200, 200);
constexpr int kBorderWidth = 4;
constexpr DWORD kFrameStyle = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr DWORD kFrameExStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
constexpr DWORD kViewStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

CMainFrame* mainFrame = nullptr;

// Puts the close to the plug-ins; true when one of them keeps the window.
bool CloseIsRefused() {
    BASObserveData record{};
    record.command = LIBPLATFORM_COMMAND_CLOSE_ENSURE;
    record.sender = HostInstance();
    SendUntilHandled(&record);
    return record.value != 0;
}

}  // namespace

CMainFrame* MainFrame() { return mainFrame; }

HWND MainFrameWindow() { return mainFrame ? mainFrame->Handle() : nullptr; }

HWND MainViewWindow() { return mainFrame ? mainFrame->ViewWindow() : nullptr; }

CMainFrame::~CMainFrame() {
    // Destroyed here, while the frame's own handlers still answer, so that it
    // leaves the message loop's filters and idle handlers.
    if (Handle()) DestroyWindow(Handle());
    if (mainFrame == this) mainFrame = nullptr;
}

WindowClassInfo CMainFrame::GetWindowClassInfo() const { return {.name = L"LumarestMainFrame"}; }

bool CMainFrame::Open(int showCommand) {
    const RECT place = InitialFrameRect(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    const std::wstring title = ProductIdentity::ProductTitle();
    if (!Create({.rect = place, .title = title.c_str(), .style = kFrameStyle, .exStyle = kFrameExStyle}))
        return false;
    ShowWindow(Handle(), showCommand);
    UpdateWindow(Handle());
    return true;
}

// The order matters: plug-ins are loaded, and the host's handler registered
// after them, before the view exists; the panes are built once the view is
// there; the update check is scheduled last.
LRESULT CMainFrame::OnCreate(UINT, WPARAM, LPARAM lParam, bool&) {
    mainFrame = this;
    LoadPlugins();
    RegisterPlatformCommands();
    borderPen_.reset(CreatePen(PS_SOLID, kBorderWidth, kBorderGrey));

    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    if (!view_.Create({.parent = Handle(), .rect = ViewRectInClient(create->cx, create->cy), .style = kViewStyle}))
        LOG(ERROR) << "The view could not be created (error " << GetLastError() << ")";
    // The shared dialogs are entered in the registry (shared_dialogs.h) here
    // once the dialog toolkit provides them.

    if (MessageLoop* loop = WindowingModule::GetMessageLoop()) {
        loop->AddMessageFilter(this);
        loop->AddIdleHandler(this);
    }
    RECT frame{};
    GetWindowRect(Handle(), &frame);
    lastPosition_ = {frame.left, frame.top};

    HICON icon = nullptr;
    BuildProductCatalog(view_.Handle(), &icon);
    appIcon_.reset(icon);
    SetTimer(Handle(), kUpdateCheckTimer, kUpdateCheckDelayMs, nullptr);
    return 0;
}

// A new size renews the rounded outline and schedules the view's refit; a
// minimised frame (zero width or height) keeps both.
LRESULT CMainFrame::OnSize(UINT, WPARAM, LPARAM lParam, bool& handled) {
    const SIZE size = SizeFromLParam(lParam);
    if (size.cx != 0 && size.cy != 0) {
        UniqueRegion outline(CreateRoundRectRgn(0, 0, size.cx, size.cy, kCornerDiameter, kCornerDiameter));
        // The window keeps the region it is given.
        if (outline && SetWindowRgn(Handle(), outline.get(), FALSE)) static_cast<void>(outline.release());
        SetTimer(Handle(), kRefitTimer, kRefitDelayMs, nullptr);
    }
    handled = false;
    return 0;
}

LRESULT CMainFrame::OnPaint(UINT, WPARAM, LPARAM, bool&) {
    PaintDC paint(Handle());
    RECT client{};
    GetClientRect(Handle(), &client);
    DoubleBuffer buffer(paint.get(), client);
    HDC dc = buffer.get();
    ScopedSelectObject brush(dc, GetStockObject(WHITE_BRUSH));
    ScopedSelectObject pen(dc, borderPen_.get());
    SetBkMode(dc, TRANSPARENT);
    Rectangle(dc, client.left, client.top, client.right, client.bottom);
    return 0;
}

LRESULT CMainFrame::OnSizing(UINT, WPARAM, LPARAM lParam, bool&) {
    sizingRect_ = *reinterpret_cast<const RECT*>(lParam);
    pendingResize_.push_back(1);
    return 0;
}

LRESULT CMainFrame::OnTimer(UINT, WPARAM wParam, LPARAM, bool& handled) {
    switch (wParam) {
    case kRefitTimer:
        RefitViewAfterDrag();
        return 0;
    case kUpdateCheckTimer:
        CheckForUpdate();
        return 0;
    default:
        handled = false;
        return 0;
    }
}

// Only a drag on an edge refits the view here; whoever sizes the frame by
// program places the view itself.
void CMainFrame::RefitViewAfterDrag() {
    if (!pendingResize_.empty()) {
        RECT client{};
        GetClientRect(Handle(), &client);
        const RECT view = ViewRectInClient(client.right, client.bottom);
        MoveWindow(view_.Handle(), view.left, view.top, view.right - view.left, view.bottom - view.top, TRUE);
        pendingResize_.clear();
    }
    KillTimer(Handle(), kRefitTimer);
}

void CMainFrame::CheckForUpdate() {
    KillTimer(Handle(), kUpdateCheckTimer);
    BASObserveData record{};
    record.command = LIBCOMM_COMMAND_CHECK_FOR_UPDATE;
    HostSend(&record);
}

LRESULT CMainFrame::OnNcHitTest(UINT, WPARAM, LPARAM lParam, bool&) {
    RECT frame{};
    GetWindowRect(Handle(), &frame);
    return FrameHitTest(PointFromLParam(lParam), frame);
}

LRESULT CMainFrame::OnSetCursor(UINT, WPARAM, LPARAM lParam, bool&) {
    const wchar_t* cursor = SizeCursorForHit(static_cast<short>(LOWORD(lParam)));
    if (!cursor) return FALSE;
    SetCursor(LoadCursorW(nullptr, cursor));
    return TRUE;
}

// The frame has no sizing border of the system's, so a press on one of its
// edges starts the system's size loop itself; any other press (the caption
// code) gets the default handling, which drags the frame.
LRESULT CMainFrame::OnNcLButtonDown(UINT, WPARAM wParam, LPARAM lParam, bool& handled) {
    const int edge = SizeEdgeForHit(static_cast<LRESULT>(wParam));
    if (edge == 0) {
        handled = false;
        return 0;
    }
    SendMessageW(Handle(), WM_SYSCOMMAND, SC_SIZE + edge, lParam);
    return 0;
}

LRESULT CMainFrame::OnMove(UINT, WPARAM, LPARAM lParam, bool&) {
    const POINT now = PointFromLParam(lParam);
    const int dx = now.x - lastPosition_.x;
    const int dy = now.y - lastPosition_.y;
    lastPosition_ = now;
    if (SharedDialog* sheet = FindSharedDialog(kSheetDialog)) sheet->MoveBy(dx, dy);
    return 0;
}

LRESULT CMainFrame::OnDestroy(UINT, WPARAM, LPARAM, bool& handled) {
    if (MessageLoop* loop = WindowingModule::GetMessageLoop()) {
        loop->RemoveMessageFilter(this);
        loop->RemoveIdleHandler(this);
    }
    handled = false;
    return 0;
}

// Handled either way: the default close would destroy the frame without
// asking the plug-ins.
LRESULT CMainFrame::OnClose(UINT, WPARAM, LPARAM, bool&) {
    if (CloseIsRefused()) {
        LOG(INFO) << "A plug-in kept the main window open";
        return 0;
    }
    PostQuitMessage(0);
    DestroyWindow(Handle());
    return 0;
}
