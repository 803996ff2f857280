#include "services/window_commands.h"

#include "I18n.h"
#include "common/logging.h"
#include "common/main_thread_calls.h"
#include "services/platform_command_handler.h"
#include "services/platform_context.h"
#include "settings_catalog.h"
#include "ui/ui_alert_dialog.h"

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
        LOG(INFO) << record->command << ": there is no main frame to maximise or restore";
        return;
    }
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0)) {
        LOG(ERROR) << record->command << ": no work area (error " << GetLastError() << "); the frame stays";
        return;
    }
    MaximizeState& state = context.Maximize();
    const MaximizeStep step = ToggleMaximize(state, frameNow, workArea);
    state = step.next;
    Place(frame, step.frame);
    if (HWND view = context.ViewWindow()) Place(view, step.view);
}

void OpenAbout(BASObserveData* record) { LogCommandUnavailable(record); }

void OpenSetting(BASObserveData* record) { LogCommandUnavailable(record); }

namespace {

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
