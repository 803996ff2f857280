// The update check, download and installation as far as the host takes
// part: requests from plug-ins, the plug-in's answers, and what the update
// list and the download dialog hand back.
#pragma once

#include <lumarest/plugin.h>

#include <string>

// "LIBPLATFORM_COMMAND_CHECK_FOR_UPDATE": a check that the user asked for.
void RequestUpdateCheck(BASObserveData* record);
// "LIBCOMM_COMMAND_CHECK_FOR_UPDATE" from a plug-in: the release notes,
// continued on the main thread by OnUpdateAnswer.
void ReceiveUpdateAnswer(BASObserveData* record);
// "LIBCOMM_COMMAND_DOWNLOAD_UPDATE" from a plug-in: progress at once on the
// sending thread; completion, failure and the rest on the main thread by
// OnDownloadAnswer, in posting order.
void ReceiveDownloadAnswer(BASObserveData* record);
// Frees a copy of an update answer (see CopyRecord) with the texts that the
// plug-in handed over in it: the release notes in `data` of a
// "LIBCOMM_COMMAND_CHECK_FOR_UPDATE" answer whose value and count are both
// non-zero, the installer path in `wideText` of a
// "LIBCOMM_COMMAND_DOWNLOAD_UPDATE" answer whose value is 1. The discard of
// an update answer posted to the main thread.
void DiscardUpdateAnswer(BASObserveData* copy);
// "LIBCOMM_COMMAND_EXIT_SERVER" from a plug-in: the device server has
// stopped, so the downloaded installer runs and the host closes. On the
// sending thread; a suite installation blocks it until the installer ends.
void InstallUpdate(BASObserveData* record);

// Main-thread continuations; each frees the copy and what it hands over.
void OnUpdateAnswer(BASObserveData* copy);
void OnDownloadAnswer(BASObserveData* copy);
// The update list's "Update Now": shows the download dialog and asks the
// plug-ins for the download.
void StartDownload();
// The download dialog was closed; finished false: the download still ran
// and is cancelled.
void CancelDownload(bool finished);

// Set by a user's request; the next update answer with a result reads and clears it.
bool ManualCheckRequested();
// Whether the update list holds release notes from an earlier answer.
bool UpdateListHoldsNotes();
// Shows the held release notes in the update list.
void ShowUpdateList();
// From any thread: shows the update list, on the main thread, when it holds
// release notes; whether it did.
bool ShowHeldUpdateList();

// The suite's name for this installation: the name of the folder that holds
// the host configuration file (the text between its last two backslashes).
std::wstring SuiteAlias(const std::wstring& hostConfigPath);
