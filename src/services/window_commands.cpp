#include "services/window_commands.h"

#include "common/logging.h"
#include "services/platform_command_handler.h"
#include "services/platform_context.h"

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

void OpenAlertMessage(BASObserveData* record) { LogCommandUnavailable(record); }

// A confirm always answers 0 or 1; with no dialog nobody can confirm.
void OpenConfirmMessage(BASObserveData* record) {
    record->value = 0;
    LogCommandUnavailable(record);
}
