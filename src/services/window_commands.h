// Commands that show or move windows: the main frame's maximise toggle and
// the modal about, settings, alert and confirm dialogs. Window work runs on
// the main thread, whichever thread sent the command.
#pragma once

#include <lumarest/plugin.h>

class PlatformContext;

// "LIBPLATFORM_COMMAND_PRESS_MAX_OR_RESET"
void PressMaxOrReset(PlatformContext& context, BASObserveData* record);
// "LIBPLATFORM_COMMAND_OPEN_ABOUT": the about dialog, modal to the main frame.
void OpenAbout(PlatformContext& context, BASObserveData* record);
// "LIBPLATFORM_COMMAND_OPEN_SETTING": the settings dialog, modal to the main
// frame; a confirmed choice is stored and written to disk at once, and the
// sheet says that it applies at the next start.
void OpenSetting(PlatformContext& context, BASObserveData* record);
// "LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE": a one-button alert, modal to
// the main frame, run on the main thread; the sender waits for its end.
void OpenAlertMessage(PlatformContext& context, BASObserveData* record);
// "LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE": as the alert with two buttons;
// value answers 1 when confirmed, else 0.
void OpenConfirmMessage(PlatformContext& context, BASObserveData* record);
