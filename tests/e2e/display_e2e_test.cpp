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
constexpr int kCloseId = 5050, kConfirmId = 5051, kSecondId = 5052, kLinkId = 5053;

std::wstring DisplayCase() {
    wchar_t value[32] = {};
    GetEnvironmentVariableW(L"LUMAREST_DISPLAY_CASE", value, 32);
    return value;
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
    // the screen's pixels scaled to 96 DPI. The test display has one screen.
    void SetUp() override {
        HostRun::SetUp();
        SetProcessDPIAware();
    }

    // The dialog of key once shown, which must have this size.
    static HWND Sized(const HostProcess& host, const DialogKey& key, int width, int height) {
        HWND dialog = WaitForDialog(host, key);
        const RECT r = dialog ? WindowRect(dialog) : RECT{};
        EXPECT_EQ(r.right - r.left, width) << "the dialog's width";
        EXPECT_EQ(r.bottom - r.top, height) << "the dialog's height";
        return dialog;
    }
};

constexpr char kHighDpiScript[] =
    "SLEEP 3000\n"
    "SEND LIBPLATFORM_COMMAND_OPEN_SETTING\n"
    "SEND LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE value=400 wideText=u16:Delete_the_selected_messages?\n"
    "SEND LIBPLATFORM_COMMAND_OPEN_ABOUT\n"
    "SEND LIBPLATFORM_COMMAND_START_PROGRESS arg=u8:probe\n"
    "SEND LIBPLATFORM_COMMAND_NOTIFY_PROGRESS value2=10 value3=4\n";

TEST_F(DisplayRun, At144DpiTheFrameConfirmAboutAndProgressAreHalfAsLargeAgain) {
    if (DisplayCase() != L"dpi144") GTEST_SKIP() << "runs in the 144-DPI prefix only";
    AddShipped(L"Title");
    AddProbe({}, kHighDpiScript);
    HostProcess host(Options());
    HWND frame = StartedFrame(host);
    ASSERT_NE(frame, nullptr);
    // The frame: 954 x 614 at 96 DPI.
    const RECT f = WindowRect(frame);
    EXPECT_EQ(f.right - f.left, 1431);
    EXPECT_EQ(f.bottom - f.top, 921);

    // The settings dialog (600 x 240 at 96 DPI), confirmed: its restart note
    // opens to 60 (40) high, its close button 12 (8) from the right.
    HWND settings = Sized(host, kSettingsDialog, 900, 360);
    ASSERT_NE(settings, nullptr) << "no settings dialog 900 x 360";
    ClickOn(settings, kConfirmId);
    HWND sheet = WaitForSheetNotice(host, 60);
    ASSERT_NE(sheet, nullptr) << "no restart note opened to 60 pixels";
    Sleep(300);
    const RECT s = WindowRect(sheet), v = WindowRect(GetWindow(frame, GW_CHILD));
    EXPECT_TRUE(SaveScreenBmp({v.left, v.top, v.right, v.top + 180}, L"dpi144-sheet.bmp"));
    EXPECT_EQ(s.right - s.left - ChildRect(Control(sheet, kCloseId)).right, 12);

    // The confirm: 400 wide at 96 DPI, its buttons' text and margins 29 high.
    HWND confirm = WaitForDialog(host, {L"Delete_the_selected_messages?"});
    ASSERT_NE(confirm, nullptr) << "no confirm";
    Sleep(1000);
    EXPECT_TRUE(SaveScreenBmp(WindowRect(frame), L"dpi144-frame.bmp"));
    EXPECT_TRUE(SaveScreenBmp(WindowRect(confirm), L"dpi144-confirm.bmp"));
    EXPECT_EQ(WindowRect(confirm).right - WindowRect(confirm).left, 600);
    const RECT button = ChildRect(Control(confirm, kSecondId));
    EXPECT_NEAR(button.bottom - button.top, 43.5, 2.5) << "the buttons' text and margins did not scale";
    ClickOn(confirm, kSecondId);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(confirm); }, kEventTimeoutMs));

    // The about dialog: 500 x 360 is 750 x 540, its picture the 1.5x render
    // drawn 1:1 at (303, 42). Told that it is now on a display at 96 DPI, as
    // the system tells a window dragged there, it takes its 96-DPI layout
    // (the link at 248, not 372).
    HWND about = Sized(host, kAboutDialog, 750, 540);
    ASSERT_NE(about, nullptr) << "no about dialog 750 x 540";
    Sleep(1000);
    EXPECT_TRUE(SaveScreenBmp(WindowRect(about), L"dpi144-about.bmp"));
    const RECT aw = WindowRect(about);
    const std::wstring picture = host.InstallDir() + L"\\Resources\\application@1.5x.png";
    EXPECT_GT(ShareDrawnAsRendered(picture, aw.left + 303, aw.top + 42), 0.95)
        << "the application picture is not its 1.5x render drawn 1:1";
    SendMessageW(about, WM_DPICHANGED, MAKEWPARAM(96, 96), 0);
    Sleep(1000);
    EXPECT_TRUE(SaveScreenBmp(WindowRect(about), L"dpi144-about-moved-to-96.bmp"));
    EXPECT_EQ(ChildRect(Control(about, kLinkId)).top, 248) << "the layout stayed at 144 DPI";
    ClickOn(about, kConfirmId);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(about); }, kEventTimeoutMs));

    // The progress dialog: 500 x 150 is 750 x 225, the bar (20, 70)-(480, 82)
    // is (30, 105)-(720, 123), filled 6 pixels in and 4/10 of the way.
    HWND progress = Sized(host, kProgressDialog, 750, 225);
    ASSERT_NE(progress, nullptr) << "no progress dialog 750 x 225";
    Sleep(1500);  // the 500 ms refresh
    EXPECT_TRUE(SaveScreenBmp(WindowRect(Painted(progress)), L"dpi144-progress.bmp"));
    const RECT pw = WindowRect(progress);
    const int fill = (720 - 6 - (30 + 6)) * 4 / 10;
    EXPECT_EQ(ScreenPixel(pw.left + 36 + fill - 4, pw.top + 114), kTitleColour) << "the bar's fill did not scale";
    EXPECT_NE(ScreenPixel(pw.left + 36 + fill + 4, pw.top + 114), kTitleColour);
    ClickOn(progress, kSecondId);
    Close(host);
}

constexpr char kConfirmScript[] =
    "SLEEP 3000\n"
    "SEND LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE value=400 wideText=u16:Delete_the_selected_messages?\n";

TEST_F(DisplayRun, WithoutArialEveryTextOfTheFrameAndAConfirmIsDrawnAndTheStandInIsLoggedOnce) {
    if (DisplayCase() != L"no-arial") GTEST_SKIP() << "runs in the prefix without Arial only";
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

    // The band's product name (white on the band's blue), from the title
    // module's layout: (62, 10)-(344, 54).
    HWND band = FindWindowExW(GetWindow(frame, GW_CHILD), nullptr, L"LumarestTitleBand", nullptr);
    ASSERT_NE(band, nullptr);
    EXPECT_GT(CountPixels(OnScreen(band, {62, 10, 344, 54}), [](COLORREF c) { return Brightness(c) > 690; }), 30)
        << "the product name is blank";
    // The confirm's message (dark on white, right of the 48-pixel icon).
    RECT message{};
    GetClientRect(confirm, &message);
    message = {20 + 48 + 20, 26, message.right - 20, ChildRect(Control(confirm, kConfirmId)).top - 5};
    EXPECT_GT(CountPixels(OnScreen(confirm, message), IsDark), 30) << "the message is blank";
    ClickOn(confirm, kSecondId);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(confirm); }, kEventTimeoutMs));
    Close(host);

    // Logged once, and only where no family is called Arial.
    const std::string log = host.ReadLogs();
    const std::string notice = "Font family \"Arial\" is not installed";
    const size_t first = log.find(notice);
    ASSERT_NE(first, std::string::npos) << "the substitution was not logged";
    EXPECT_EQ(log.find(notice, first + 1), std::string::npos) << "the substitution was logged more than once";
}

}  // namespace
