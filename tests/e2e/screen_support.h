// What the real-run tests of the host's windows share: waiting, window and
// child rectangles, screen pixels and screenshots kept as BMP files in the
// artefacts folder (LUMAREST_TEST_ARTIFACTS_DIR), the user's mouse as real
// input, the host's shown dialogs, and the probe's log lines.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host_process.h"
#include "plugin_tree.h"

namespace e2e {

inline bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(100);
    }
    return true;
}

inline RECT WindowRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

inline bool SameRect(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

inline RECT Offset(RECT r, int dx, int dy) {
    OffsetRect(&r, dx, dy);
    return r;
}

inline POINT Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

inline COLORREF ScreenPixel(int x, int y) {
    HDC screen = GetDC(nullptr);
    const COLORREF color = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return color;
}

inline int Brightness(COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); }

// Whether a screen pixel of area is dark, as text on a light ground is.
inline bool HasDarkPixel(const RECT& area) {
    HDC screen = GetDC(nullptr);
    bool dark = false;
    for (int y = area.top; y < area.bottom && !dark; ++y)
        for (int x = area.left; x < area.right && !dark; ++x) dark = Brightness(GetPixel(screen, x, y)) < 450;
    ReleaseDC(nullptr, screen);
    return dark;
}

// Copies a screen rectangle into a 24-bit BMP file in the artefacts folder.
inline bool SaveScreenBmp(const RECT& area, const std::wstring& name) {
    const std::wstring folder = L"" LUMAREST_TEST_ARTIFACTS_DIR;
    CreateDirectoryW(folder.c_str(), nullptr);
    const int width = area.right - area.left, height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    const DWORD imageBytes = ((width * 3 + 3) & ~3) * height;
    BITMAPFILEHEADER file{0x4D42, 0, 0, 0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    file.bfSize = file.bfOffBits + imageBytes;
    bool written = false;
    if (FILE* out = _wfopen((folder + L"\\" + name).c_str(), L"wb")) {
        written = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                  std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                  std::fwrite(bits, 1, imageBytes, out) == imageBytes;
        std::fclose(out);
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return written;
}

// A screenshot of window with a margin of 10 pixels, for its shadow.
inline bool SaveAround(HWND window, const std::wstring& name) {
    const RECT r = WindowRect(window);
    return SaveScreenBmp({r.left - 10, r.top - 10, r.right + 20, r.bottom + 20}, name);
}

// ---- the user's mouse: real input, as the system delivers it ----

inline void MouseButton(DWORD flag) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flag;
    SendInput(1, &input, sizeof input);
}

// Moves the pointer there and presses the left button, without releasing it.
inline void PressAt(int x, int y) {
    SetCursorPos(x, y);
    Sleep(200);
    MouseButton(MOUSEEVENTF_LEFTDOWN);
}

inline void Release() { MouseButton(MOUSEEVENTF_LEFTUP); }
inline void PressAt(POINT p) { PressAt(p.x, p.y); }

inline void ClickAt(int x, int y) {
    PressAt(x, y);
    Sleep(200);
    Release();
}

inline void ClickAt(POINT p) { ClickAt(p.x, p.y); }

// A click on the centre of dialog's control id.
inline void ClickOn(HWND dialog, int id) { ClickAt(Centre(WindowRect(GetDlgItem(dialog, id)))); }

// ---- the user's keyboard: real key presses, no mouse ----

inline void Key(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
}

// Presses and releases key, with Shift held when shift is set.
inline void PressKey(WORD key, bool shift = false) {
    if (shift) Key(VK_SHIFT, false);
    Key(key, false);
    Sleep(100);
    Key(key, true);
    if (shift) Key(VK_SHIFT, true);
    Sleep(400);
}

// The window that has the keyboard focus in window's thread.
inline HWND FocusOf(HWND window) {
    GUITHREADINFO info{sizeof info};
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

inline bool FocusIsIn(HWND window) {
    HWND focus = FocusOf(window);
    return focus && (focus == window || IsChild(window, focus));
}

// ---- what a screen reader learns of a window, through oleacc ----

struct Accessible {
    std::wstring name;
    long role = 0;
};

inline Accessible AccessibleOf(HWND window) {
    Accessible found;
    CoInitialize(nullptr);  // the host's object comes across processes through COM; once per thread is enough
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&object))))
        return found;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    if (SUCCEEDED(object->get_accName(self, &name)) && name) found.name = name;
    SysFreeString(name);
    VARIANT role{};
    if (SUCCEEDED(object->get_accRole(self, &role)) && role.vt == VT_I4) found.role = role.lVal;
    object->Release();
    return found;
}

// Whether each control of dialog named in buttons is a push button with that name.
inline void ExpectPushButtons(HWND dialog, const std::vector<std::pair<int, std::wstring>>& buttons) {
    for (const auto& [id, name] : buttons) {
        const Accessible found = AccessibleOf(GetDlgItem(dialog, id));
        EXPECT_EQ(found.name, name) << "control " << id;
        EXPECT_EQ(found.role, ROLE_SYSTEM_PUSHBUTTON) << "control " << id << " (" << found.name.size() << " letters)";
    }
}

// ---- the host's dialogs, told apart as a screen reader tells them ----

// A window's text, also of another process's window or control.
inline std::wstring WindowText(HWND window) {
    std::wstring text(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0) + 1, L'\0');
    text.resize(SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    return text;
}

// A dialog's name is its window text: an alert's message, or the title of a
// titled dialog ("Settings", "Progress"). The dialogs that paint their names
// have none; a test knows them by a control they hold: its id and the
// beginning of its text.
struct DialogKey {
    std::wstring name;  // the beginning of a named dialog's name; empty: any named dialog (an alert, or the settings in
                        // any language)
    int control = 0;    // not 0: an unnamed dialog holding this control
    std::wstring label;  // whose text begins so
};

inline const DialogKey kSettingsDialog{L"Settings"}, kProgressDialog{L"Progress"}, kAnyNamed{};
inline const DialogKey kAboutDialog{L"", 5053, L"<A HREF="}, kNoticeSheet{L"", 5051, L"<A>"};
inline const DialogKey kUpdateList{L"", 5053, L"Update Now"}, kDownloadDialog{L"", 5052, L"Cancel"};
inline const DialogKey kCrashNotice{L"Application has crashed"}, kSafeStartQuestion{L"The plug-in "};

inline bool IsDialog(HWND dialog, const DialogKey& key) {
    const std::wstring name = WindowText(dialog);
    if (!key.control) return !name.empty() && name.rfind(key.name, 0) == 0;
    HWND control = GetDlgItem(dialog, key.control);
    return name.empty() && control && WindowText(control).rfind(key.label, 0) == 0;
}

// The dialog, painted; null stays null.
inline HWND Painted(HWND dialog) {
    if (dialog) {
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Sleep(500);  // the first paint of an emulated program
    }
    return dialog;
}

// The host's shown dialog of that key, or null.
inline HWND ShownDialog(const HostProcess& host, const DialogKey& key) {
    for (HWND dialog : TopLevels(host.ProcessId(), L"#32770"))
        if (IsDialog(dialog, key)) return dialog;
    return nullptr;
}

// The same once it is shown and painted, or null after the timeout.
inline HWND WaitForDialog(const HostProcess& host, const DialogKey& key, DWORD timeoutMs = 60000) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = ShownDialog(host, key)) != nullptr; }, timeoutMs);
    return Painted(found);
}

inline HWND ShownSheet(const HostProcess& host) { return ShownDialog(host, kNoticeSheet); }

// The sheet once it has opened to its full strip (its height at 96 DPI), or
// null after the timeout.
inline HWND WaitForSheetNotice(const HostProcess& host, int fullHeight = 40, DWORD timeoutMs = 60000) {
    HWND sheet = nullptr;
    WaitUntil(
        [&] { return (sheet = ShownSheet(host)) && WindowRect(sheet).bottom - WindowRect(sheet).top == fullHeight; },
        timeoutMs);
    return sheet;
}

inline HWND Control(HWND dialog, int id) { return GetDlgItem(dialog, id); }

// ---- the update dialogs ----

constexpr int kDialogCancelId = 5052, kUpdateNowId = 5053, kNotesId = 5054;

// Whether the download dialog's bar is filled x pixels from its start, in
// "color:title:background" of Option.json.
inline bool DownloadBarFilledAt(HWND dialog, int x) {
    constexpr int kBarFillLeft = 24, kBarRowY = 76;
    const RECT r = WindowRect(dialog);
    return ScreenPixel(r.left + kBarFillLeft + x, r.top + kBarRowY) == RGB(0x1F, 0x5F, 0xAE);
}

// The right end of the download dialog's size text, beyond any status that
// fits beside it: blank once the sizes give way to a closing or failure text.
inline RECT DownloadSizeEnd(HWND dialog) {
    const RECT r = WindowRect(dialog);
    return {r.left + 430, r.top + 46, r.left + 478, r.top + 70};
}

// ---- the probe's log ----

// The probe's lines that begin with prefix.
inline std::vector<std::string> Lines(const std::string& log, const std::string& prefix) {
    std::vector<std::string> lines;
    for (size_t at = log.find(prefix); at != std::string::npos; at = log.find(prefix, at + 1))
        if (at == 0 || log[at - 1] == '\n') lines.push_back(log.substr(at, log.find('\n', at) - at));
    return lines;
}

inline long long Value(const std::string& line) {
    const size_t at = line.find(" value=");
    return at == std::string::npos ? -1 : std::stoll(line.substr(at + 7));
}

// ---- the per-user files of the test prefix (APPDATA cannot move per run) ----

inline const std::wstring kProductTitle = L"Zentrovia Handset Message + Contact Rescue";

inline std::wstring UserStoreFolder() {
    wchar_t appData[MAX_PATH] = {};
    GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH);
    return std::wstring(appData) + L"\\Zentrovia\\" + kProductTitle;
}

// The product's single-instance mutex of version, which its running copy holds.
inline std::wstring MutexName(const std::wstring& version) { return L"Global_" + kProductTitle + L"_" + version; }
inline bool VersionRuns(const std::wstring& version) {
    return static_cast<bool>(UniqueHandle(OpenMutexW(SYNCHRONIZE, FALSE, MutexName(version).c_str())));
}

inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
// Where a crash or a start that never finished leaves a plug-in's name for the
// next start to ask about.
inline std::wstring StartMarkerPath() { return UserStoreFolder() + L"\\StartMarker.txt"; }

// ---- the set-up real runs share ----

// A run's temporary folder and plug-ins tree, filled with shipped modules from
// the build's installation and the probe with its script and log.
class HostRun : public ::testing::Test {
protected:
    static constexpr DWORD kStartTimeoutMs = 120000;  // emulated Wine starts a program in seconds
    static constexpr DWORD kEventTimeoutMs = 60000;

    // A crash or a hang leaves a start marker in the prefix's user folder, on
    // which the next start of any test would ask to leave a plug-in out.
    void SetUp() override {
        ASSERT_FALSE(HostProcess::DefaultExePath().empty()) << "LUMAREST_EXE is not set";
        DeleteFileW(StartMarkerPath().c_str());
    }
    void TearDown() override { DeleteFileW(StartMarkerPath().c_str()); }

    void AddShipped(const std::wstring& folder) {
        const std::wstring source = std::wstring(L"" LUMAREST_TEST_SHIPPED_PLUGINS) + L"\\" + folder + L"\\1.0.0\\";
        const std::wstring target = plugins_.AddVersion(folder, L"1.0.0", ReadTextFile(source + L"plugin.load"));
        PluginTree::Copy(source + folder + L".dll", target, folder + L".dll");
    }
    // The probe, receiving names and running script (see its source).
    void AddProbe(const std::vector<std::string>& receives, const std::string& script = "") {
        plugins_.AddPlugin(L"Probe", L"1.0", L"" LUMAREST_TEST_PROBE_DLL,
                           PluginManifestText("probe", "1.0", "probe.dll", receives), L"probe.dll");
        environment_.push_back({L"LUMAREST_PROBE_LOG", ProbeLog()});
        if (!script.empty()) environment_.push_back({L"LUMAREST_PROBE_SCRIPT", files_.Write(L"probe.script", script)});
    }
    // Starts host and waits for its main window: null when either failed.
    static HWND StartedFrame(HostProcess& host) {
        return host.Start() ? host.WaitForMainWindow(kStartTimeoutMs) : nullptr;
    }
    // Starts host, answers the question a start asks after a plug-in stopped
    // the last run with button ("OK": start without it) and waits for the
    // main window: null when the start did not ask or showed no window.
    static HWND StartAnsweringSafeStart(HostProcess& host, int button) {
        HWND question = host.Start() ? WaitForDialog(host, kSafeStartQuestion, kStartTimeoutMs) : nullptr;
        if (!question) return nullptr;
        ClickOn(question, button);
        return host.WaitForMainWindow(kStartTimeoutMs);
    }
    HostProcess::Options Options() const {
        HostProcess::Options options;
        options.tempDir = temp_.Path();
        options.pluginsFrom = plugins_.Path();
        options.environment = environment_;
        return options;
    }
    std::wstring ProbeLog() const { return files_.Path() + L"\\probe.log"; }
    std::string Log() const { return ReadTextFile(ProbeLog()); }
    // How often name reached the probe.
    size_t Received(const std::string& name) const { return Lines(Log(), "probe RECV " + name + " ").size(); }
    // The user's close: the program must end with 0.
    static void Close(HostProcess& host) {
        ASSERT_TRUE(host.RequestClose());
        EXPECT_EQ(host.WaitForExit(kEventTimeoutMs), 0u);
    }

    PluginTree plugins_;
    TempFolder temp_, files_;
    std::vector<std::pair<std::wstring, std::wstring>> environment_;
};

}  // namespace e2e
