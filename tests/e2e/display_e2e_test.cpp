// Real runs on displays other than the usual one, each in a Wine prefix of
// its own that ctest names (LUMAREST_DISPLAY_CASE says which case the run is
// for; the other case is skipped):
//   "dpi144"    the display at 150 % (LogPixels 144) on a 1920 x 1200 screen,
//               1.5 times the usual 1280 x 800 at 96 DPI: the frame, a
//               confirm, the settings dialog, the notice sheet, the about
//               dialog and the progress dialog must be 1.5 times their usual
//               sizes, laid out in the same proportions, their pictures drawn
//               from the 1.5x renders; the about dialog told of a move to 96
//               DPI takes its 96-DPI sizes;
//   "no-arial"  no font installed under "Arial": every text of the frame and
//               of a confirm is still drawn, and the log names the stand-in
//               family once.
// Screenshots go to the artefacts folder.
#include <gtest/gtest.h>

#include <windows.h>

#include "GdiplusInclude.h"

#include <cstdlib>
#include <string>

#include "host_process.h"
#include "plugin_tree.h"
#include "screen_support.h"

namespace {

using namespace e2e;

constexpr COLORREF kTitleColour = RGB(0x1F, 0x5F, 0xAE);  // "color:title:background" of Option.json
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr int kCloseId = 5050, kConfirmId = 5051, kSecondId = 5052, kLinkId = 5053;

std::wstring DisplayCase() {
    wchar_t value[32] = {};
    GetEnvironmentVariableW(L"LUMAREST_DISPLAY_CASE", value, 32);
    return value;
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

RECT Client(HWND dialog) {
    RECT r{};
    GetClientRect(dialog, &r);
    return r;
}

// Screen pixels of area whose colour test accepts.
int CountPixels(const RECT& area, bool (*test)(COLORREF)) {
    HDC screen = GetDC(nullptr);
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) count += test(GetPixel(screen, x, y)) ? 1 : 0;
    ReleaseDC(nullptr, screen);
    return count;
}

bool IsDark(COLORREF c) { return Brightness(c) < 300; }
// Ink on the pale notice strip: its link text is blue, black or grey,
// depending on the link control's state, and the strip is near white.
bool IsInkOnStrip(COLORREF c) { return Brightness(c) < 600; }

// The rows of area, from the first to the last, that hold a pixel test accepts.
int InkRows(const RECT& area, bool (*test)(COLORREF)) {
    HDC screen = GetDC(nullptr);
    int first = -1, last = -1;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (test(GetPixel(screen, x, y))) {
                if (first < 0) first = y;
                last = y;
                break;
            }
    ReleaseDC(nullptr, screen);
    return first < 0 ? 0 : last - first + 1;
}
bool IsNearWhite(COLORREF c) { return Brightness(c) > 690; }

bool Near(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// A rectangle of dialog's client coordinates on the screen.
RECT OnScreen(HWND dialog, RECT r) {
    MapWindowPoints(dialog, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Of the opaque pixels of the picture file, the share that the screen shows
// unchanged at (x, y): near 1 only when that very render was drawn at its
// own size, not a smaller one stretched.
double ShareDrawnAsRendered(const std::wstring& file, int x, int y) {
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    double share = 0;
    {
        Gdiplus::Bitmap picture(file.c_str());
        int opaque = 0, same = 0;
        HDC screen = GetDC(nullptr);
        for (UINT py = 0; py < picture.GetHeight(); py += 2)
            for (UINT px = 0; px < picture.GetWidth(); px += 2) {
                Gdiplus::Color colour;
                picture.GetPixel(px, py, &colour);
                if (colour.GetA() != 255) continue;
                ++opaque;
                same += Near(GetPixel(screen, x + px, y + py), RGB(colour.GetR(), colour.GetG(), colour.GetB()), 8);
            }
        ReleaseDC(nullptr, screen);
        share = opaque ? static_cast<double>(same) / opaque : 0;
    }
    Gdiplus::GdiplusShutdown(token);
    return share;
}

class DisplayRun : public HostRun {
protected:
    // This program measures in the display's pixels, as the host draws: a
    // program that is not DPI-aware would be shown other windows' sizes and
    // the screen's pixels scaled to 96 DPI.
    void SetUp() override {
        HostRun::SetUp();
        using SetContext = BOOL(WINAPI*)(HANDLE);
        const auto setContext = reinterpret_cast<SetContext>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
        // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
        if (!setContext || !setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)))) SetProcessDPIAware();
    }

    void Press(HWND dialog, int id) { ClickOn(dialog, id); }
    // The dialog of key once shown, which must have this size.
    static HWND Sized(const HostProcess& host, const DialogKey& key, int width, int height) {
        HWND dialog = WaitForDialog(host, key);
        const RECT r = dialog ? WindowRect(dialog) : RECT{};
        EXPECT_EQ(r.right - r.left, width) << "the dialog's width";
        EXPECT_EQ(r.bottom - r.top, height) << "the dialog's height";
        return dialog;
    }
    static HWND TitleBand(HWND frame) {
        return FindWindowExW(GetWindow(frame, GW_CHILD), nullptr, L"LumarestTitleBand", nullptr);
    }
};

constexpr char kHighDpiScript[] =
    "SLEEP 3000\n"
    "SEND LIBPLATFORM_COMMAND_OPEN_SETTING\n"
    "SEND LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE value=400 wideText=u16:Delete_the_selected_messages?\n"
    "SEND LIBPLATFORM_COMMAND_OPEN_ABOUT\n"
    "SEND LIBPLATFORM_COMMAND_START_PROGRESS arg=u8:probe\n"
    "SEND LIBPLATFORM_COMMAND_NOTIFY_PROGRESS value2=10 value3=4\n";

TEST_F(DisplayRun, At144DpiTheFrameConfirmAboutAndProgressAreHalfAsLargeAgainInTheSameProportions) {
    if (DisplayCase() != L"dpi144") GTEST_SKIP() << "runs in the 144-DPI prefix only";
    ASSERT_EQ(ScreenDpi(), 144) << "the prefix's display is not at 144 DPI";
    AddShipped(L"Title");
    AddProbe({}, kHighDpiScript);
    HostProcess host(Options());
    HWND frame = StartedFrame(host);
    ASSERT_NE(frame, nullptr);

    // The frame: 954 x 614 on the 1280 pixels of 96 DPI, so 1431 x 921 on the
    // same screen at 150 %, with the view one (1.5: 2) pixel inside and the
    // title band 88 (132) high.
    const RECT f = WindowRect(frame);
    EXPECT_EQ(f.right - f.left, 1431);
    EXPECT_EQ(f.bottom - f.top, 921);
    const RECT view = ChildRect(GetWindow(frame, GW_CHILD));
    EXPECT_EQ(view.left, 2);
    EXPECT_EQ(view.right - view.left, 1431 - 8) << "the view is 1 + 4 (1.5: 2 + 6) pixels narrower than the frame";
    HWND band = TitleBand(frame);
    ASSERT_NE(band, nullptr);
    EXPECT_EQ(ChildRect(band).bottom - ChildRect(band).top, 132) << "the title band did not scale";

    // The settings dialog, 600 x 240 at 96 DPI, confirmed: its restart note
    // opens on the sheet, 40 high at 96 DPI, 60 here, 48 (32) below the
    // view's top, its close button the 1.5x render 12 (8) from the right and
    // the top, its text from x 24 (16) in a font half as large again.
    HWND settings = Sized(host, kSettingsDialog, 900, 360);
    ASSERT_NE(settings, nullptr) << "no settings dialog 900 x 360";
    Press(settings, kConfirmId);
    HWND sheet = WaitForSheetNotice(host, 60);
    ASSERT_NE(sheet, nullptr) << "no restart note opened to 60 pixels";
    Sleep(300);
    const RECT s = WindowRect(sheet), v = WindowRect(GetWindow(frame, GW_CHILD));
    EXPECT_TRUE(SaveScreenBmp({v.left, v.top, v.right, v.top + 180}, L"dpi144-sheet.bmp"));
    EXPECT_EQ(s.top - v.top, 48);
    EXPECT_EQ(s.right - s.left, v.right - v.left);
    const RECT sheetClose = ChildRect(Control(sheet, kCloseId));
    EXPECT_EQ(sheetClose.right - sheetClose.left, 27);
    EXPECT_EQ(s.right - s.left - sheetClose.right, 12);
    EXPECT_EQ(sheetClose.top, 12);
    EXPECT_GT(ShareDrawnAsRendered(host.InstallDir() + L"\\Resources\\close-normal@1.5x.png", s.left + sheetClose.left,
                                   s.top + sheetClose.top),
              0.95)
        << "the sheet's close button is not its 1.5x render drawn 1:1";
    const RECT noteText = ChildRect(Control(sheet, kConfirmId));
    EXPECT_EQ(noteText.left, 24);
    EXPECT_EQ(noteText.top, 12);
    const int inkRows = InkRows(OnScreen(sheet, noteText), IsInkOnStrip);
    EXPECT_GE(inkRows, 19) << "the note's text did not grow (about 15 rows of ink at 96 DPI)";
    EXPECT_LE(inkRows, 27);

    // The confirm: 400 at 96 DPI is 600 here; title bar 39, close button
    // 27 x 27 12 from the right and 6 from the top, buttons 15 from the edges.
    HWND confirm = WaitForDialog(host, {L"Delete_the_selected_messages?"});
    ASSERT_NE(confirm, nullptr) << "no confirm";
    EXPECT_EQ(WindowRect(confirm).right - WindowRect(confirm).left, 600);
    Sleep(1000);
    EXPECT_TRUE(SaveScreenBmp(Offset(WindowRect(frame), 0, 0), L"dpi144-frame.bmp"));
    EXPECT_TRUE(SaveScreenBmp(WindowRect(confirm), L"dpi144-confirm.bmp"));
    const RECT c = Client(confirm);
    const RECT cw = WindowRect(confirm);
    EXPECT_EQ(ScreenPixel(cw.left + 100, cw.top + 37), kTitleColour) << "the title bar is not 39 high";
    EXPECT_EQ(ScreenPixel(cw.left + 100, cw.top + 41), kWhite);
    const RECT close = ChildRect(Control(confirm, kCloseId));
    EXPECT_EQ(close.right - close.left, 27);
    EXPECT_EQ(close.bottom - close.top, 27);
    EXPECT_EQ(c.right - close.right, 12);
    EXPECT_EQ(close.top, 6);
    const RECT second = ChildRect(Control(confirm, kSecondId));
    const RECT ok = ChildRect(Control(confirm, kConfirmId));
    EXPECT_EQ(c.right - second.right, 15);
    EXPECT_EQ(c.bottom - second.bottom, 15);
    EXPECT_EQ(second.left - ok.right, 15);
    const int buttonHeight = second.bottom - second.top;
    EXPECT_GE(buttonHeight, 41) << "the buttons' text and margins did not scale (29 at 96 DPI)";
    EXPECT_LE(buttonHeight, 46);
    Press(confirm, kSecondId);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(confirm); }, kEventTimeoutMs));

    // The about dialog: 500 x 360 is 750 x 540; the band ends at 294, the
    // picture is the 1.5x render drawn 1:1 at (303, 42), the link at 372.
    HWND about = Sized(host, kAboutDialog, 750, 540);
    ASSERT_NE(about, nullptr) << "no about dialog 750 x 540";
    Sleep(1000);
    EXPECT_TRUE(SaveScreenBmp(WindowRect(about), L"dpi144-about.bmp"));
    const RECT aw = WindowRect(about);
    EXPECT_EQ(ScreenPixel(aw.left + 20, aw.top + 290), kTitleColour) << "the top band is not 294 high";
    EXPECT_EQ(ScreenPixel(aw.left + 20, aw.top + 300), kWhite);
    EXPECT_EQ(ChildRect(Control(about, kLinkId)).top, 372);
    const double share =
        ShareDrawnAsRendered(host.InstallDir() + L"\\Resources\\application@1.5x.png", aw.left + 303, aw.top + 42);
    EXPECT_GT(share, 0.95) << "the application picture is not its 1.5x render drawn 1:1";

    // Told that it is now on a display at 96 DPI, as the system tells a
    // window dragged there (no place suggested here: it keeps its corner),
    // it takes its 96-DPI size and layout, its title two thirds as high and
    // its picture from the plain render.
    const int titleRows144 = InkRows(OnScreen(about, {10, 195, 740, 250}), IsNearWhite);
    SendMessageW(about, WM_DPICHANGED, MAKEWPARAM(96, 96), 0);
    Sleep(1000);
    EXPECT_TRUE(SaveScreenBmp(WindowRect(about), L"dpi144-about-moved-to-96.bmp"));
    EXPECT_EQ(Client(about).right, 500);
    EXPECT_EQ(Client(about).bottom, 360);
    EXPECT_EQ(ChildRect(Control(about, kLinkId)).top, 248);
    EXPECT_EQ(ChildRect(Control(about, kConfirmId)).right, 490);
    EXPECT_EQ(ScreenPixel(aw.left + 20, aw.top + 193), kTitleColour);
    EXPECT_EQ(ScreenPixel(aw.left + 20, aw.top + 199), kWhite) << "the top band did not shrink to 196";
    const int titleRows96 = InkRows(OnScreen(about, {10, 130, 490, 166}), IsNearWhite);
    EXPECT_GT(titleRows96, 6);
    EXPECT_NEAR(titleRows144 * 2, titleRows96 * 3, 6)
        << titleRows144 << " rows of title at 144 DPI, " << titleRows96 << " at 96";
    EXPECT_GT(ShareDrawnAsRendered(host.InstallDir() + L"\\Resources\\application.png", aw.left + 202, aw.top + 28),
              0.95)
        << "the picture was not picked again for 96 DPI";
    Press(about, kConfirmId);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(about); }, kEventTimeoutMs));

    // The progress dialog: 500 x 150 is 750 x 225, the bar (20, 70)-(480, 82)
    // is (30, 105)-(720, 123), filled 6 pixels in and 4/10 of the way.
    HWND progress = Sized(host, kProgressDialog, 750, 225);
    ASSERT_NE(progress, nullptr) << "no progress dialog 750 x 225";
    Sleep(1500);  // the 500 ms refresh
    RedrawWindow(progress, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    Sleep(500);
    EXPECT_TRUE(SaveScreenBmp(WindowRect(progress), L"dpi144-progress.bmp"));
    const RECT pw = WindowRect(progress);
    const int fill = (720 - 6 - (30 + 6)) * 4 / 10;
    EXPECT_EQ(ScreenPixel(pw.left + 36 + fill - 4, pw.top + 114), kTitleColour) << "the bar's fill did not scale";
    EXPECT_NE(ScreenPixel(pw.left + 36 + fill + 4, pw.top + 114), kTitleColour);
    EXPECT_NE(ScreenPixel(pw.left + 36 + 4, pw.top + 106), kTitleColour) << "the fill's inset did not scale";
    const RECT cancel = ChildRect(Control(progress, kSecondId));
    EXPECT_EQ(Client(progress).bottom - cancel.bottom, 24);
    EXPECT_EQ(Client(progress).right - cancel.right, 30);
    Press(progress, kSecondId);
    Close(host);
}

int CALLBACK NoteFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM seen) {
    *reinterpret_cast<bool*>(seen) = true;
    return 0;
}

bool HasFamily(const wchar_t* family) {
    HDC screen = GetDC(nullptr);
    LOGFONTW probe{};
    probe.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(probe.lfFaceName, family, LF_FACESIZE - 1);
    bool found = false;
    EnumFontFamiliesExW(screen, &probe, NoteFamily, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

constexpr char kConfirmScript[] =
    "SLEEP 3000\n"
    "SEND LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE value=400 wideText=u16:Delete_the_selected_messages?\n";

TEST_F(DisplayRun, WithoutArialEveryTextOfTheFrameAndAConfirmIsDrawnAndTheStandInIsLoggedOnce) {
    if (DisplayCase() != L"no-arial") GTEST_SKIP() << "runs in the prefix without Arial only";
    ASSERT_FALSE(HasFamily(L"Arial")) << "the prefix still has a family called Arial";
    AddShipped(L"Title");
    AddProbe({}, kConfirmScript);
    HostProcess host(Options());
    HWND frame = StartedFrame(host);
    ASSERT_NE(frame, nullptr);
    HWND confirm = WaitForDialog(host, {L"Delete_the_selected_messages?"});
    ASSERT_NE(confirm, nullptr);
    Sleep(1000);
    EXPECT_TRUE(SaveScreenBmp(WindowRect(frame), L"no-arial-frame.bmp"));
    EXPECT_TRUE(SaveScreenBmp(WindowRect(confirm), L"no-arial-confirm.bmp"));

    // The band's product name and version (white on the band's blue), from
    // the title module's layout: name (62, 10)-(344, 54), version below it.
    HWND band = TitleBand(frame);
    ASSERT_NE(band, nullptr);
    RECT name{62, 10, 344, 54}, version{62, 56, 344, 76};
    EXPECT_GT(CountPixels(OnScreen(band, name), IsNearWhite), 30) << "the product name is blank";
    EXPECT_GT(CountPixels(OnScreen(band, version), [](COLORREF c) { return Brightness(c) > 500; }), 20)
        << "the version is blank";
    // The confirm's message (dark on white, right of the 48-pixel icon) and
    // its two labels (white on the buttons' grey).
    const RECT c = Client(confirm);
    const RECT ok = ChildRect(Control(confirm, kConfirmId));
    RECT message{20 + 48 + 20, 26, c.right - 20, ok.top - 5};
    EXPECT_GT(CountPixels(OnScreen(confirm, message), IsDark), 30) << "the message is blank";
    for (int id : {kConfirmId, kSecondId}) {
        RECT button = ChildRect(Control(confirm, id));
        InflateRect(&button, -4, -4);
        EXPECT_GT(CountPixels(OnScreen(confirm, button), IsNearWhite), 10)
            << "the label of button " << id << " is blank";
    }
    Press(confirm, kSecondId);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(confirm); }, kEventTimeoutMs));
    Close(host);

    const std::string log = host.ReadLogs();
    const std::string notice = "Font family \"Arial\" is not installed";
    const size_t first = log.find(notice);
    ASSERT_NE(first, std::string::npos) << "the substitution was not logged";
    EXPECT_EQ(log.find(notice, first + 1), std::string::npos) << "the substitution was logged more than once";
}

}  // namespace
