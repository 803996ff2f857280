#include "services/progress_commands.h"

#include "services/platform_command_handler.h"

// The progress dialog does not exist in this build yet: each command is noted
// and changes nothing.

void StartProgress(BASObserveData* record) { LogCommandUnavailable(record); }

void NotifyProgress(BASObserveData* record) { LogCommandUnavailable(record); }

void NotifyProgressFinish(BASObserveData* record) { LogCommandUnavailable(record); }

void CancelProgress(BASObserveData* record) { LogCommandUnavailable(record); }
