// Commands that drive the shared progress dialog. They may come from any
// plug-in thread: the dialog's counters are interlocked.
#pragma once

#include <lumarest/plugin.h>

// "LIBPLATFORM_COMMAND_START_PROGRESS"
void StartProgress(BASObserveData* record);
// "LIBPLATFORM_COMMAND_NOTIFY_PROGRESS"
void NotifyProgress(BASObserveData* record);
// "LIBPLATFORM_COMMAND_NOTIFY_PROGRESS_FINISH"
void NotifyProgressFinish(BASObserveData* record);
// "LIBPLATFORM_COMMAND_CANCEL_PROGRESS"
void CancelProgress(BASObserveData* record);
