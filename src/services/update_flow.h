// The update check, download and installation as far as the command handler
// takes part: requests from plug-ins and the plug-in's answers.
#pragma once

#include <lumarest/plugin.h>

// "LIBPLATFORM_COMMAND_CHECK_FOR_UPDATE": a check that the user asked for.
void RequestUpdateCheck(BASObserveData* record);
// "LIBCOMM_COMMAND_CHECK_FOR_UPDATE" from a plug-in: the release notes.
void ReceiveUpdateAnswer(BASObserveData* record);
// "LIBCOMM_COMMAND_DOWNLOAD_UPDATE" from a plug-in: progress, completion or failure.
void ReceiveDownloadAnswer(BASObserveData* record);
// Frees a copy of an update answer (see CopyRecord) with the texts that the
// plug-in handed over in it: the release notes in `data` of a
// "LIBCOMM_COMMAND_CHECK_FOR_UPDATE" answer whose value and count are both
// non-zero, the installer path in `wideText` of a
// "LIBCOMM_COMMAND_DOWNLOAD_UPDATE" answer whose value is 1. The discard of
// an update answer posted to the main thread.
void DiscardUpdateAnswer(BASObserveData* copy);
// "LIBCOMM_COMMAND_EXIT_SERVER" from a plug-in: the device server has stopped.
void InstallUpdate(BASObserveData* record);

// Set by a user's request; the next update answer reads and clears it.
bool ManualCheckRequested();
// Whether the update list holds release notes from an earlier answer.
bool UpdateListHoldsNotes();
// Shows the held release notes in the update list.
void ShowUpdateList();
