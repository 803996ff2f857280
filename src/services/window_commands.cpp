#include "services/window_commands.h"

#include <functional>

#include "BASUserDefaults.h"
#include "I18n.h"
#include "TextFormat.h"
#include "Utf8.h"
#include "common/logging.h"
#include "common/log_rate_limit.h"
#include "common/main_thread_calls.h"
#include "services/platform_context.h"
#include "settings_catalog.h"
#include "product_identity.h"
#include "ui/ui_about_dialog.h"
#include "ui/ui_alert_dialog.h"
#include "ui/ui_setting_dialog.h"
#include "ui/ui_sheet_dialog.h"

namespace {

void Place(HWND window, const WindowPlacement& where) {
    SetWindowPos(window, HWND_TOP, where.x, where.y, where.width, where.height, SWP_SHOWWINDOW);
}

}  // namespace

void PressMaxOrReset(PlatformContext& context, BASObserveData* record) {
    HWND frame = context.FrameWindow();
    RECT frameNow{};
    RECT workArea{};
    if (!frame || !GetWindowRect(frame, &frameNow)) {
        LOG_PLUGIN_TRAFFIC(INFO) << record->command << ": there is no main frame to maximise or restore";
        return;
    }
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0)) {
        LOG_PLUGIN_TRAFFIC(ERROR) << record->command << ": no work area (error " << GetLastError()
                                  << "); the frame stays";
        return;
    }
    MaximizeState& state = context.Maximize();
    const MaximizeStep step = ToggleMaximize(state, frameNow, workArea);
    state = step.next;
    Place(frame, step.frame);
    if (HWND view = context.ViewWindow()) Place(view, step.view);
}

namespace {

// Each modal dialog that a plug-in asks for while another is open nests one
// more message loop on the main thread; hundreds of threads waiting at once
// would overflow its stack. Requests past this many are answered at once, as
// if the user had closed the dialog.
constexpr int kMostModalRequests = 8;
// An alert narrower than this (a plug-in that forgot the width in value)
// would be an invisible modal window that disables the frame for good.
constexpr int kNarrowestAlert = 200;
constexpr int kDefaultAlertWidth = 400;
constexpr size_t kLongestAlertText = 4000;
constexpr int kAboutWidth = 500;
constexpr int kAboutHeight = 360;
constexpr int kSettingWidth = 600;
constexpr int kSettingHeight = 240;

// The choice applies at the next start; it is written at once, so that a
// process that is killed before its orderly end keeps it too.
void StoreLanguage(int index) {
    SetLanguageIndex(index);
    BASUserDefaults* store = BASUserDefaults::StandardUserDefaults();
    if (!store) return;
    store->SetInt("language", index);
    if (store->WriteAll()) LOG(INFO) << "Language index " << index << " stored";
    else LOG(ERROR) << "Language index " << index << " could not be written to " << ToUtf8(store->Path());
}

// Holds one of the bounded places for a plug-in's modal dialog while it waits
// and shows.
class ModalRequestPlace {
public:
    explicit ModalRequestPlace(std::atomic<int>& requests) : requests_(requests) {
        taken_ = requests_.fetch_add(1) < kMostModalRequests;
    }
    ~ModalRequestPlace() { requests_.fetch_sub(1); }
    ModalRequestPlace(const ModalRequestPlace&) = delete;
    ModalRequestPlace& operator=(const ModalRequestPlace&) = delete;
    bool Taken() const { return taken_; }

private:
    std::atomic<int>& requests_;
    bool taken_ = false;
};

// Runs show(frame) on the main thread for a plug-in's modal dialog; false,
// with nothing shown, when too many wait already or the main frame is gone
// (the close has begun: a dialog then would keep a process with no window).
bool RunModalRequest(PlatformContext& context, const char* command, const std::function<void(HWND)>& show) {
    ModalRequestPlace place(context.ModalRequests());
    if (!place.Taken()) {
        LOG_PLUGIN_TRAFFIC(ERROR) << command << ": " << kMostModalRequests
                                  << " dialogs already wait; answered as closed";
        return false;
    }
    bool shown = false;
    RunOnMainThread([&] {
        HWND frame = context.FrameWindow();
        if (!frame || !IsWindow(frame)) return;
        shown = true;
        show(frame);
    });
    if (!shown) LOG_PLUGIN_TRAFFIC(INFO) << command << ": the main window is closing; answered as closed";
    return shown;
}

// Runs the alert or confirm on the main thread, centred on and modal to the
// main frame; the end code, or 0 when it could not run.
INT_PTR RunAlert(PlatformContext& context, const BASObserveData& record, bool twoButtons) {
    // Laying out a million characters froze the window for most of a minute;
    // no dialog can show more than this anyway.
    std::wstring message = record.wideText ? record.wideText : L"";
    if (message.size() > kLongestAlertText) message.replace(kLongestAlertText - 1, std::wstring::npos, L"\x2026");
    int width = static_cast<int>(static_cast<int32_t>(record.value & 0xFFFFFFFF));
    if (width < kNarrowestAlert) width = kDefaultAlertWidth;
    INT_PTR code = 0;
    RunModalRequest(context, record.command, [&](HWND frame) {
        UiAlertDialog dialog(FindNamedImage("close-normal.png"), FindNamedImage("close-pressed.png"),
                             FindNamedImage("alert.png"), twoButtons, wxGetTranslation(L"Cancel"),
                             wxGetTranslation(L"OK"));
        dialog.SetContent(frame, width, 0, message, nullptr);
        code = dialog.DoModal(frame);
    });
    return code;
}

}  // namespace

void OpenAlertMessage(PlatformContext& context, BASObserveData* record) { RunAlert(context, *record, false); }

// A confirm always answers 0 or 1: a width carried in value never comes back.
void OpenConfirmMessage(PlatformContext& context, BASObserveData* record) {
    const BASObserveData asked = *record;
    record->value = 0;
    if (RunAlert(context, asked, true) == kConfirmButtonId) record->value = 1;
}

void OpenAbout(PlatformContext& context, BASObserveData* record) {
    RunModalRequest(context, record->command, [&](HWND frame) {
        UiAboutDialog dialog(FindNamedImage("close-normal.png"), FindNamedImage("close-pressed.png"));
        dialog.SetContent(frame, kAboutWidth, kAboutHeight, L"", nullptr);
        dialog.DoModal(frame);
    });
}

void OpenSetting(PlatformContext& context, BASObserveData* record) {
    RunModalRequest(context, record->command, [&](HWND frame) {
        UiSettingDialog dialog(FindNamedImage("close-normal.png"), FindNamedImage("close-pressed.png"),
                               wxGetTranslation(L"Cancel"), wxGetTranslation(L"OK"));
        dialog.SetTitle(wxGetTranslation(L"Settings"));
        dialog.SetLanguage(LanguageIndex());
        dialog.SetContent(frame, kSettingWidth, kSettingHeight, nullptr);
        if (dialog.DoModal(frame) != kConfirmButtonId) return;
        StoreLanguage(dialog.Language());
        if (UiSheetDialog* sheet = context.Dialogs().Sheet()) {
            sheet->SetNoticeText(
                FillInText(wxGetTranslation(L"Language setting will not take effect until %s is restarted."),
                           ProductIdentity::ProductTitle()));
            sheet->SetClickCallback(nullptr);
            sheet->Show(SW_SHOW);
        }
    });
}
