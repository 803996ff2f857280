// Commands that drive the shared progress dialog. They may come from any
// plug-in thread: starting, ending and cancelling a run touch the window and
// run on the main thread while the sender waits; the counters and the status
// text are set from the sending thread, since they are interlocked.
#pragma once

#include <lumarest/plugin.h>

class PlatformContext;

// "LIBPLATFORM_COMMAND_START_PROGRESS"
void StartProgress(PlatformContext& context, BASObserveData* record);
// "LIBPLATFORM_COMMAND_NOTIFY_PROGRESS"
void NotifyProgress(PlatformContext& context, BASObserveData* record);
// "LIBPLATFORM_COMMAND_NOTIFY_PROGRESS_FINISH"
void NotifyProgressFinish(PlatformContext& context, BASObserveData* record);
// "LIBPLATFORM_COMMAND_CANCEL_PROGRESS"
void CancelProgress(PlatformContext& context, BASObserveData* record);
