// Commands that show or move windows on the sending thread: the main frame's
// maximise toggle and the modal about, settings, alert and confirm dialogs.
#pragma once

#include <windows.h>

#include <lumarest/plugin.h>

// "LIBPLATFORM_COMMAND_PRESS_MAX_OR_RESET": ToggleFrameMaximized of the main frame.
void PressMaxOrReset(BASObserveData* record);
// Puts frame and its view (its only child) on the work area, or back where
// the frame was before; logs and leaves them when frame is null.
void ToggleFrameMaximized(HWND frame);
// "LIBPLATFORM_COMMAND_OPEN_ABOUT"
void OpenAbout(BASObserveData* record);
// "LIBPLATFORM_COMMAND_OPEN_SETTING"
void OpenSetting(BASObserveData* record);
// "LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE"
void OpenAlertMessage(BASObserveData* record);
// "LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE": value answers 1 when confirmed, else 0.
void OpenConfirmMessage(BASObserveData* record);
