// Real runs of the settings dialog, the notice sheet and the about dialog,
// opened with real presses on the shipped title band's buttons. The test
// prefix's per-user settings file is written before a start and put back
// afterwards; screenshots are kept in the artefacts folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "Utf8.h"
#include "host_process.h"
#include "plugin_tree.h"
#include "screen_support.h"
#include "title_layout.h"

namespace {

using namespace e2e;

constexpr int kCloseId = 5050, kOkId = 5051, kLinkId = 5053, kListId = 5053;

std::wstring StorePath() { return UserStoreFolder() + L"\\UserDefaults.json"; }

// The stored "language", or -1 when the file or the key is missing.
int StoredLanguage() {
    const std::string text = ReadTextFile(StorePath());
    const size_t key = text.find("\"language\"");
    return key == std::string::npos ? -1 : std::atoi(text.c_str() + text.find(':', key) + 1);
}

// The width of one line of text in Arial of an em height of pixels, the
// about dialog's link font at 96 DPI, measured here as the host measures it.
int ArialWidth(const std::wstring& text, int pixels) {
    HFONT font = CreateFontW(-pixels, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, VARIABLE_PITCH | FF_SWISS, L"Arial");
    HDC screen = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(screen, font);
    SIZE size{};
    GetTextExtentPoint32W(screen, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    DeleteObject(font);
    return size.cx;
}

class SettingsAboutRun : public HostRun {
protected:
    void SetUp() override {
        HostRun::SetUp();
        hadStore_ = GetFileAttributesW(StorePath().c_str()) != INVALID_FILE_ATTRIBUTES;
        savedStore_ = ReadTextFile(StorePath());
        AddShipped(L"Title");
    }

    // Other tests share the prefix: the settings file is left as it was.
    void TearDown() override { hadStore_ ? WriteStore(savedStore_) : void(DeleteFileW(StorePath().c_str())); }

    void WriteStore(const std::string& text) const {
        CreateDirectoryW(UserStoreFolder().substr(0, UserStoreFolder().rfind(L'\\')).c_str(), nullptr);
        CreateDirectoryW(UserStoreFolder().c_str(), nullptr);
        CopyFileW(files_.Write(L"store.json", text).c_str(), StorePath().c_str(), FALSE);
    }

    // Starts the host and waits for the title band.
    bool Run(HostProcess& host) {
        if (!host.Start() || !(frame_ = host.WaitForMainWindow(kStartTimeoutMs))) return false;
        view_ = GetWindow(frame_, GW_CHILD);
        return WaitUntil([&] { return (band_ = FindWindowExW(view_, nullptr, L"LumarestTitleBand", nullptr)); },
                         kEventTimeoutMs);
    }

    // Presses one of the band's buttons and waits for its dialog.
    HWND OpenFromBand(HostProcess& host, RECT title::TitleLayout::*button, const DialogKey& dialog) {
        RECT client{};
        GetClientRect(band_, &client);
        POINT at = Centre(title::LayOutTitle(client.right, 0).*button);
        ClientToScreen(band_, &at);
        ClickAt(at);
        return WaitForDialog(host, dialog);
    }
    // The settings dialog, named in the running language.
    HWND OpenSettings(HostProcess& host) { return OpenFromBand(host, &title::TitleLayout::settings, kAnyNamed); }

    // Chooses language 2 or 3 (their entries' indexes too) and presses "OK"
    // for real: the file holds it at once, while the press still lasts.
    static void Confirm(HWND dialog, int language) {
        ASSERT_NE(dialog, nullptr) << "the settings button opened no dialog";
        SendMessageW(Control(dialog, kListId), CB_SETCURSEL, language, 0);
        const POINT ok = Centre(WindowRect(Control(dialog, kOkId)));
        PressAt(ok.x, ok.y);
        EXPECT_TRUE(WaitUntil([&] { return StoredLanguage() == language; }, kEventTimeoutMs)) << "not stored at once";
        Release();
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, kEventTimeoutMs)) << "\"OK\" left it open";
    }

    std::string savedStore_;
    bool hadStore_ = false;
    HWND frame_ = nullptr, view_ = nullptr, band_ = nullptr;
};

// A stored English start confirmed to German: the file holds it at once and
// the restart note opens in 8-pixel steps to 40 below the view's top,
// follows the frame moved and resized, hides itself five seconds later, and
// hides at once on a click on its text. The next start loads the German
// catalog and preselects "Deutsch"; its close button stores nothing.
TEST_F(SettingsAboutRun, SettingsStoreOnOkTheSheetHidesAndFollowsTheFrameAndTheNextStartSpeaksTheChoice) {
    WriteStore("{\"language\": 3}");
    {
        HostProcess host(Options());
        ASSERT_TRUE(Run(host));
        HWND dialog = OpenSettings(host);
        ASSERT_NE(dialog, nullptr) << "the settings button opened no dialog";
        EXPECT_TRUE(SaveAround(dialog, L"settings-english.bmp"));
        EXPECT_EQ(SendMessageW(Control(dialog, kListId), CB_GETCURSEL, 0, 0), 3) << "\"English\" is not preselected";
        Confirm(dialog, 2);
        HWND sheet = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (sheet = ShownSheet(host)); }, kEventTimeoutMs)) << "no restart note";
        const int firstHeight = WindowRect(sheet).bottom - WindowRect(sheet).top;
        EXPECT_LT(firstHeight, 40) << "the strip did not open in steps";
        ASSERT_TRUE(WaitUntil([&] { return WindowRect(sheet).bottom - WindowRect(sheet).top == 40; }, 3000));
        const DWORD opened = GetTickCount();
        const RECT view = WindowRect(view_), s = WindowRect(sheet);
        EXPECT_TRUE(SameRect(s, {view.left, view.top + 32, view.right, view.top + 72}));
        EXPECT_TRUE(SaveScreenBmp({view.left, view.top, view.right, view.top + 120}, L"sheet-open.bmp"));
        const RECT frame = WindowRect(frame_);
        SetWindowPos(frame_, nullptr, frame.left + 40, frame.top + 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        EXPECT_TRUE(WaitUntil([&] { return SameRect(WindowRect(sheet), Offset(s, 40, 30)); }, 3000))
            << "the note stayed behind the moved frame";
        SetWindowPos(frame_, nullptr, 0, 0, frame.right - frame.left - 100, frame.bottom - frame.top,
                     SWP_NOMOVE | SWP_NOZORDER);
        EXPECT_TRUE(WaitUntil([&] { return WindowRect(sheet).right == WindowRect(view_).right; }, 3000))
            << "the note kept its width in the resized frame";
        EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(sheet); }, 10000)) << "the note never hid itself";
        EXPECT_GE(GetTickCount() - opened, 4500u);
        EXPECT_LE(GetTickCount() - opened, 9000u);  // timers slip on a loaded machine

        // Again: a click on its text hides it before its five seconds are up.
        WriteStore("{}");
        Confirm(OpenSettings(host), 2);
        ASSERT_TRUE(WaitUntil([&] { return WindowRect(sheet).bottom - WindowRect(sheet).top == 40; }, kEventTimeoutMs));
        const DWORD reopened = GetTickCount();
        ClickAt(WindowRect(sheet).left + 40, WindowRect(sheet).top + 18);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(sheet); }, 3000)) << "a click on the text left it open";
        EXPECT_LT(GetTickCount() - reopened, 4500u) << "too slow to tell the click from the five seconds";
        Close(host);
    }
    HostProcess host(Options());
    ASSERT_TRUE(Run(host));
    HWND dialog = OpenSettings(host);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(SaveAround(dialog, L"settings-german.bmp"));
    EXPECT_EQ(WindowText(Control(dialog, kListId)), L"Deutsch");
    // Another entry, then the close button: a Cancel, nothing is stored.
    SendMessageW(Control(dialog, kListId), CB_SETCURSEL, 3, 0);
    ClickOn(dialog, kCloseId);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, kEventTimeoutMs)) << "the close button left it open";
    Sleep(1000);
    EXPECT_EQ(StoredLanguage(), 2) << "the close button stored the choice";
    EXPECT_EQ(ShownSheet(host), nullptr) << "a cancelled run showed the restart note";
    Close(host);
    EXPECT_NE(host.ReadLogs().find("Translation catalog for index 2 installed"), std::string::npos);
}

// The settings and then the about dialog that a plug-in opens in one host,
// used with the keyboard alone: a language chosen with the arrow keys and
// stored with Return; in the about dialog opened next, Tab through every
// control, the focus cue showing only once a key was pressed; Escape; the
// focus back on the frame after each. The about dialog opens while the
// settings' restart note still shows, so the note hides itself amid the Tab
// presses, which must not wait for it. The about dialog's link, as wide as
// its address in its font, opens the address (here a batch file of the test
// that leaves a marker) from the band's about button, and the dialog stays.
TEST_F(SettingsAboutRun, KeyboardAloneStoresALanguageAndTabsThroughTheAboutDialogWhoseLinkOpensItsAddress) {
    WriteStore("{\"language\": 3}");
    AddProbe({},
             "SLEEP 3000\nSEND LIBPLATFORM_COMMAND_OPEN_SETTING\nSLEEP 3000\nSEND LIBPLATFORM_COMMAND_OPEN_ABOUT\n");
    const std::wstring marker = files_.Path() + L"\\opened.txt";
    const std::wstring address = files_.Write(L"open.bat", "@echo opened> \"" + ToUtf8(marker) + "\"\r\n");
    std::string opener;
    for (char c : ToUtf8(address)) opener += c == '\\' ? std::string("\\\\") : std::string(1, c);
    HostProcess host(Options());
    host.Install();
    const std::wstring option = host.InstallDir() + L"\\Option.json";
    std::string text = ReadTextFile(option);
    const size_t brand = text.find('"', text.find(':', text.find("\"url:brand\"") + 11));
    text.replace(brand + 1, text.find('"', brand + 1) - brand - 1, opener);
    DeleteFileW(option.c_str());  // a hard link to the build's file: never written through
    CopyFileW(files_.Write(L"Option.json", text).c_str(), option.c_str(), FALSE);
    ASSERT_TRUE(Run(host));
    HWND settings = WaitForDialog(host, kSettingsDialog);
    ASSERT_NE(settings, nullptr) << "the plug-in's command opened no settings";
    PressKey(VK_TAB, true);  // from "OK" back to the list
    EXPECT_EQ(FocusOf(settings), Control(settings, kListId));
    PressKey(VK_DOWN);
    PressKey(VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return StoredLanguage() == 4; }, kEventTimeoutMs))
        << "the chosen language was not stored";
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(settings) && FocusIsIn(frame_); }, kEventTimeoutMs));
    HWND note = nullptr;
    EXPECT_TRUE(WaitUntil([&] { return (note = ShownSheet(host)) != nullptr; }, kEventTimeoutMs)) << "no restart note";

    HWND about = WaitForDialog(host, kAboutDialog);
    ASSERT_NE(about, nullptr) << "the plug-in's command opened no about dialog";
    HWND ok = Control(about, kOkId);
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(about) == ok; }, 5000)) << "\"OK\" did not take the focus";
    const POINT cue{WindowRect(ok).left + 4, Centre(WindowRect(ok)).y};
    const COLORREF withoutCue = ScreenPixel(cue.x, cue.y);
    // Round after round of Tab presses until one has begun with the note
    // hidden: its hide (2 s if Wine manages the strip) must not hold them.
    const wchar_t* shots[] = {L"about-tab-close.bmp", L"about-tab-link.bmp", L"about-tab-ok.bmp"};
    const HWND ring[] = {Control(about, kCloseId), Control(about, kLinkId), ok};
    EXPECT_TRUE(IsWindowVisible(note)) << "the note hid before the first Tab";
    bool last = false;
    for (int round = 0; !last && round < 8; ++round) {
        last = !IsWindowVisible(note);
        for (int i = 0; i < 3; ++i) {
            PressKey(VK_TAB);
            EXPECT_EQ(FocusOf(about), ring[i]) << "Tab " << i << " is out of reading order or waited";
            EXPECT_TRUE(SaveAround(about, shots[i]));
        }
    }
    EXPECT_TRUE(last) << "the note never hid while Tab was pressed";
    EXPECT_GT(Brightness(ScreenPixel(cue.x, cue.y)), Brightness(withoutCue) + 100) << "no focus cue on \"OK\"";
    const RECT link = ChildRect(Control(about, kLinkId));
    EXPECT_EQ(link.right - link.left, ArialWidth(address, 16)) << "the link is not as wide as its address";
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about) && FocusIsIn(frame_); }, kEventTimeoutMs));

    about = OpenFromBand(host, &title::TitleLayout::about, kAboutDialog);
    ASSERT_NE(about, nullptr) << "the about button opened no dialog";
    ClickOn(about, kLinkId);
    EXPECT_TRUE(WaitUntil([&] { return Exists(marker); }, kEventTimeoutMs)) << "the link did not open its address";
    EXPECT_TRUE(IsWindowVisible(about)) << "the link closed the dialog";
    ClickOn(about, kOkId);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }, kEventTimeoutMs)) << "\"OK\" left it open";
    Close(host);
}

}  // namespace
