#include "services/window_commands.h"

#include "common/logging.h"
#include "main_frame.h"
#include "services/maximize_toggle.h"
#include "services/platform_command_handler.h"

namespace {

// The maximized flag and the saved frame rectangle, kept for the process.
MaximizeState maximizeState;

void Place(HWND window, const WindowPlacement& where) {
    SetWindowPos(window, HWND_TOP, where.x, where.y, where.width, where.height, SWP_SHOWWINDOW);
}

}  // namespace

void PressMaxOrReset(BASObserveData*) { ToggleFrameMaximized(MainFrameWindow()); }

void ToggleFrameMaximized(HWND frame) {
    RECT frameNow{};
    RECT workArea{};
    if (!frame || !GetWindowRect(frame, &frameNow)) {
        LOG(INFO) << "There is no main frame to maximise or restore";
        return;
    }
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0)) {
        LOG(ERROR) << "No work area (error " << GetLastError() << "); the frame stays";
        return;
    }
    const MaximizeStep step = ToggleMaximize(maximizeState, frameNow, workArea);
    maximizeState = step.next;
    Place(frame, step.frame);
    // The view is the frame's only child window.
    if (HWND view = GetWindow(frame, GW_CHILD)) Place(view, step.view);
}

void OpenAbout(BASObserveData* record) { LogCommandUnavailable(record); }

void OpenSetting(BASObserveData* record) { LogCommandUnavailable(record); }

void OpenAlertMessage(BASObserveData* record) { LogCommandUnavailable(record); }

void OpenConfirmMessage(BASObserveData* record) {
    // A confirm always answers 0 or 1; with no dialog nobody can confirm.
    record->value = 0;
    LOG(INFO) << record->command << ": no confirm dialog is available in this build; answered 0";
}
