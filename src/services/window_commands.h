// Commands that show or move windows: the main frame's maximise toggle and
// the modal about, settings, alert and confirm dialogs.
#pragma once

#include <lumarest/plugin.h>

class PlatformContext;

// "LIBPLATFORM_COMMAND_PRESS_MAX_OR_RESET"
void PressMaxOrReset(PlatformContext& context, BASObserveData* record);
// "LIBPLATFORM_COMMAND_OPEN_ABOUT"
void OpenAbout(BASObserveData* record);
// "LIBPLATFORM_COMMAND_OPEN_SETTING"
void OpenSetting(BASObserveData* record);
// "LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE"
void OpenAlertMessage(BASObserveData* record);
// "LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE": value answers 1 when confirmed, else 0.
void OpenConfirmMessage(BASObserveData* record);
