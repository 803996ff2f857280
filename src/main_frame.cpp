#include "main_frame.h"

#include "common/logging.h"
#include "frame_geometry.h"
#include "product_identity.h"

namespace {

constexpr UINT_PTR kRefitTimer = 1;  // refits the view after a drag on an edge
constexpr UINT kRefitDelayMs = 100;
constexpr UINT_PTR kUpdateCheckTimer = 2;  // the automatic update check, once
constexpr UINT kUpdateCheckDelayMs = 2000;
constexpr COLORREF kBorderGrey = RGB(200, 200, 200);
constexpr DWORD kFrameStyle = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr DWORD kFrameExStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
constexpr DWORD kViewStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

}  // namespace

CMainFrame::~CMainFrame() {
    if (Handle()) DestroyWindow(Handle());
}

WindowClassInfo CMainFrame::GetWindowClassInfo() const { return {.name = L"LumarestMainFrame"}; }

bool CMainFrame::CreateHidden() {
    const RECT place = InitialFrameRect(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    const std::wstring title = ProductIdentity::ProductTitle();
    return Create({.rect = place, .title = title.c_str(), .style = kFrameStyle, .exStyle = kFrameExStyle}) != nullptr;
}

void CMainFrame::Show(int showCommand) {
    ShowWindow(Handle(), showCommand);
    RedrawWindow(Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// The frame looks the same without it, so a shadow that cannot be made is
// only noted.
void CMainFrame::CreateShadow() {
    if (!shadow_.Create(Handle())) {
        LOG(ERROR) << "The main window's shadow could not be created (error " << GetLastError() << ")";
        return;
    }
    shadow_.PlaceNow();
}

bool CMainFrame::CreateView() {
    const RECT place = ViewRectAtCreation(creationSize_.cx, creationSize_.cy, dpi_);
    if (view_.Create({.parent = Handle(), .rect = place, .style = kViewStyle})) return true;
    LOG(ERROR) << "The view could not be created (error " << GetLastError() << ")";
    return false;
}

void CMainFrame::ScheduleUpdateCheck() { SetTimer(Handle(), kUpdateCheckTimer, kUpdateCheckDelayMs, nullptr); }

int CMainFrame::OnCreate(CREATESTRUCTW* create) {
    creationSize_ = {create->cx, create->cy};
    dpi_ = DpiForWindow(Handle());
    RECT frame{};
    GetWindowRect(Handle(), &frame);
    lastPosition_ = {frame.left, frame.top};
    ApplyChrome();
    return 0;
}

void CMainFrame::ApplyChrome() {
    const FrameChrome chrome = FrameChromeAt(dpi_);
    borderPen_.reset(CreatePen(PS_SOLID, chrome.border, kBorderGrey));
    shadow_.SetShadowSize(chrome.shadowSize, chrome.shadowCorner);
}

// Moved to a display of another DPI (or the display's DPI changed): the
// frame takes the place the system suggests, the plug-ins hear the new DPI
// before the view's new size, and the view is placed here since no drag
// will refit it.
void CMainFrame::OnDpiChanged(int dpi, const RECT* suggested) {
    dpi_ = dpi;
    ApplyChrome();
    events_.dpiChanged(dpi);
    if (suggested)
        SetWindowPos(Handle(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client{};
    GetClientRect(Handle(), &client);
    const RECT view = ViewRectAfterRefit(client.right, client.bottom, dpi_);
    MoveWindow(view_.Handle(), view.left, view.top, view.right - view.left, view.bottom - view.top, TRUE);
    InvalidateRect(Handle(), nullptr, TRUE);
}

// A new size renews the rounded outline and schedules the view's refit; a
// minimised frame (zero width or height) keeps both.
void CMainFrame::OnSize(UINT, SIZE size) {
    if (size.cx != 0 && size.cy != 0) {
        const int corner = FrameChromeAt(dpi_).cornerDiameter;
        UniqueRegion outline(CreateRoundRectRgn(0, 0, size.cx, size.cy, corner, corner));
        // The window keeps the region it is given.
        if (outline && SetWindowRgn(Handle(), outline.get(), FALSE)) static_cast<void>(outline.release());
        SetTimer(Handle(), kRefitTimer, kRefitDelayMs, nullptr);
    }
    SetMsgHandled(false);
}

void CMainFrame::OnPaint(HDC dc, const RECT&) {
    RECT client{};
    GetClientRect(Handle(), &client);
    ScopedSelectObject brush(dc, GetStockObject(WHITE_BRUSH));
    ScopedSelectObject pen(dc, borderPen_.get());
    SetBkMode(dc, TRANSPARENT);
    Rectangle(dc, client.left, client.top, client.right, client.bottom);
}

void CMainFrame::OnSizing(UINT, RECT*) { resizedByDrag_ = true; }

void CMainFrame::OnTimer(UINT_PTR timerId) {
    switch (timerId) {
    case kRefitTimer: RefitViewAfterDrag(); break;
    case kUpdateCheckTimer:
        KillTimer(Handle(), kUpdateCheckTimer);
        events_.updateCheckDue();
        break;
    default: SetMsgHandled(false); break;
    }
}

// Only a drag on an edge refits the view here; whoever sizes the frame by
// program places the view itself.
void CMainFrame::RefitViewAfterDrag() {
    KillTimer(Handle(), kRefitTimer);
    if (!resizedByDrag_) return;
    resizedByDrag_ = false;
    RECT client{};
    GetClientRect(Handle(), &client);
    const RECT view = ViewRectAfterRefit(client.right, client.bottom, dpi_);
    MoveWindow(view_.Handle(), view.left, view.top, view.right - view.left, view.bottom - view.top, TRUE);
}

UINT CMainFrame::OnNcHitTest(POINT screenPoint) {
    RECT frame{};
    GetWindowRect(Handle(), &frame);
    return static_cast<UINT>(FrameHitTest(screenPoint, frame, FrameChromeAt(dpi_).resizeEdge));
}

bool CMainFrame::OnSetCursor(HWND, UINT hitTest, UINT) {
    const wchar_t* cursor = SizeCursorForHit(static_cast<short>(hitTest));
    if (!cursor) return false;
    SetCursor(LoadCursorW(nullptr, cursor));
    return true;
}

// The frame has no sizing border of the system's, so a press on one of its
// edges starts the system's size loop itself; any other press (the caption
// code) gets the default handling, which drags the frame.
void CMainFrame::OnNcLButtonDown(UINT hitTest, POINT screenPoint) {
    const int edge = SizeEdgeForHit(static_cast<LRESULT>(hitTest));
    if (edge == 0) {
        SetMsgHandled(false);
        return;
    }
    SendMessageW(Handle(), WM_SYSCOMMAND, SC_SIZE + edge, MAKELPARAM(screenPoint.x, screenPoint.y));
}

void CMainFrame::OnMove(POINT now) {
    const int dx = now.x - lastPosition_.x;
    const int dy = now.y - lastPosition_.y;
    lastPosition_ = now;
    events_.moved(dx, dy);
}

// However the frame goes (its close, a plug-in, the system), the run ends.
void CMainFrame::OnDestroy() {
    PostQuitMessage(0);
    SetMsgHandled(false);
}

// Handled either way: the default close would destroy the frame without
// asking the plug-ins.
void CMainFrame::OnClose() {
    if (events_.closeRequested()) DestroyWindow(Handle());
}
