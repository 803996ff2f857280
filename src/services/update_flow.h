// The update check, download and installation as far as the host takes
// part: requests from plug-ins, the plug-in's answers, and what the update
// list and the download dialog report back. One object of the host's keeps
// what the road needs between its steps: whether the user asked, whether
// release notes are held, and the checked installer until it runs.
#pragma once

#include <lumarest/plugin.h>

#include <atomic>
#include <mutex>
#include <string>

#include "UniqueResource.h"

class PlatformContext;

class UpdateFlow {
public:
    // The windows it shows come from context, which outlives it.
    explicit UpdateFlow(PlatformContext& context) : context_(context) {}
    UpdateFlow(const UpdateFlow&) = delete;
    UpdateFlow& operator=(const UpdateFlow&) = delete;

    // "LIBPLATFORM_COMMAND_CHECK_FOR_UPDATE": a check that the user asked for.
    void RequestCheck(BASObserveData* record);
    // "LIBCOMM_COMMAND_CHECK_FOR_UPDATE" from a plug-in: the release notes,
    // continued on the main thread.
    void ReceiveUpdateAnswer(BASObserveData* record);
    // "LIBCOMM_COMMAND_DOWNLOAD_UPDATE" from a plug-in: progress at once on
    // the sending thread; completion, failure and the rest on the main
    // thread, in posting order.
    void ReceiveDownloadAnswer(BASObserveData* record);
    // "LIBCOMM_COMMAND_EXIT_SERVER" from a plug-in: the device server has
    // stopped, so the downloaded installer runs and the host closes. On the
    // sending thread; a suite installation blocks it until the installer ends.
    void InstallUpdate(BASObserveData* record);

    // From any thread: shows the update list, on the main thread, when it
    // holds release notes; whether it did.
    bool ShowHeldUpdateList();
    // Set by a user's request; the next update answer with a result reads and clears it.
    bool ManualCheckRequested() const { return manualCheck_; }

private:
    // Main-thread continuations of the answers; each frees its copy.
    void OnUpdateAnswer(BASObserveData* copy);
    void OnDownloadAnswer(BASObserveData* copy);
    void PostToMain(void (UpdateFlow::*run)(BASObserveData*), const BASObserveData* record);
    void HoldReleaseNotes(const BASObserveData& answer);
    void OfferOnSheet(const std::wstring& newestVersion);
    void ShowUpdateAlert(const std::wstring& text);
    // Main thread: the held notes in the update list, when there are any.
    bool ShowUpdateListIfHeld();
    void ShowUpdateList();
    // The update list's "Update Now": shows the download dialog and asks
    // the plug-ins for the download.
    void StartDownload();
    // The download dialog was closed; finished false: the download still
    // ran and is cancelled.
    void CancelDownload(bool finished);

    PlatformContext& context_;
    std::atomic<bool> manualCheck_{false};  // written on a plug-in's thread, read on the main thread
    bool notesHeld_ = false;                // main thread: the update list holds an answer's notes
    // The installer that the plug-in checked, and the handle that keeps it
    // unchanged: set on the main thread when the download completes, taken
    // on the thread that confirms the server's stop.
    std::mutex installerLock_;
    std::wstring installerPath_;   // guarded by installerLock_
    UniqueHandle installerGuard_;  // guarded by installerLock_
};

// Frees a copy of an update answer (see CopyRecord) with the texts that the
// plug-in handed over in it: the release notes in `data` of a
// "LIBCOMM_COMMAND_CHECK_FOR_UPDATE" answer whose value and count are both
// non-zero, the installer path in `wideText` and its guard in `object` of a
// "LIBCOMM_COMMAND_DOWNLOAD_UPDATE" answer whose value is 1. The discard of
// an update answer posted to the main thread.
void DiscardUpdateAnswer(BASObserveData* copy);

// The suite's name for this installation: the name of the folder that holds
// the host configuration file (the text between its last two backslashes).
std::wstring SuiteAlias(const std::wstring& hostConfigPath);
