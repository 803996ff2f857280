#include "services/window_commands.h"

#include "BASUserDefaults.h"
#include "I18n.h"
#include "Utf8.h"
#include "common/logging.h"
#include "common/log_rate_limit.h"
#include "common/main_thread_calls.h"
#include "services/platform_command_handler.h"
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
        LOG_PLUGIN_TRAFFIC(ERROR) << record->command << ": no work area (error " << GetLastError() << "); the frame stays";
        return;
    }
    MaximizeState& state = context.Maximize();
    const MaximizeStep step = ToggleMaximize(state, frameNow, workArea);
    state = step.next;
    Place(frame, step.frame);
    if (HWND view = context.ViewWindow()) Place(view, step.view);
}

namespace {

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
    if (store->WriteAll())
        LOG(INFO) << "Language index " << index << " stored";
    else
        LOG(ERROR) << "Language index " << index << " could not be written to " << ToUtf8(store->Path());
}

// Runs the alert or confirm on the main thread, centred on and modal to the
// main frame; the end code, or 0 when it could not run.
INT_PTR RunAlert(PlatformContext& context, const BASObserveData& record, bool twoButtons) {
    const std::wstring message = record.wideText ? record.wideText : L"";
    const int width = static_cast<int>(static_cast<int32_t>(record.value & 0xFFFFFFFF));
    INT_PTR code = 0;
    RunOnMainThread([&] {
        UiAlertDialog dialog(FindNamedImage("close-normal.png"), FindNamedImage("close-pressed.png"),
                             FindNamedImage("alert.png"), twoButtons, wxGetTranslation(L"Cancel"),
                             wxGetTranslation(L"OK"));
        HWND frame = context.FrameWindow();
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

void OpenAbout(PlatformContext& context, BASObserveData*) {
    RunOnMainThread([&] {
        UiAboutDialog dialog(FindNamedImage("close-normal.png"), FindNamedImage("close-pressed.png"));
        HWND frame = context.FrameWindow();
        dialog.SetContent(frame, kAboutWidth, kAboutHeight, L"", nullptr);
        dialog.DoModal(frame);
    });
}

void OpenSetting(PlatformContext& context, BASObserveData*) {
    RunOnMainThread([&] {
        UiSettingDialog dialog(FindNamedImage("close-normal.png"), FindNamedImage("close-pressed.png"),
                               wxGetTranslation(L"Cancel"), wxGetTranslation(L"OK"));
        dialog.SetTitle(wxGetTranslation(L"Settings"));
        dialog.SetLanguage(LanguageIndex());
        HWND frame = context.FrameWindow();
        dialog.SetContent(frame, kSettingWidth, kSettingHeight, nullptr);
        if (dialog.DoModal(frame) != kConfirmButtonId) return;
        StoreLanguage(dialog.Language());
        if (UiSheetDialog* sheet = context.Sheet()) {
            wchar_t note[256];
            wsprintfW(note, wxGetTranslation(L"Language setting will not take effect until %s is restarted."),
                      ProductIdentity::ProductTitle().c_str());
            sheet->SetNoticeText(note);
            sheet->SetClickCallback(nullptr);
            sheet->Show(SW_SHOW);
        }
    });
}
