#include "services/update_flow.h"

#include <atomic>

#include "common/command_bus.h"
#include "common/logging.h"
#include "services/platform_command_handler.h"

namespace {

// Written on a plug-in's thread, read on the main thread.
std::atomic<bool> manualCheck{false};

}  // namespace

void RequestUpdateCheck(BASObserveData* record) {
    manualCheck = true;
    if (UpdateListHoldsNotes()) {
        ShowUpdateList();
        return;
    }
    // The plug-in's record travels on unchanged but for its name; the host
    // becomes the sender so that every plug-in, the asking one included, gets it.
    BASObserveData request = *record;
    request.command = LIBCOMM_COMMAND_CHECK_FOR_UPDATE;
    HostSend(&request);
}

bool ManualCheckRequested() { return manualCheck; }

// The update list does not exist in this build yet, so no notes are ever held
// and the answers that would fill it are only noted.
bool UpdateListHoldsNotes() { return false; }

void ShowUpdateList() { LOG(INFO) << "The update list is not available in this build"; }

void ReceiveUpdateAnswer(BASObserveData* record) { LogCommandUnavailable(record); }

void ReceiveDownloadAnswer(BASObserveData* record) { LogCommandUnavailable(record); }

void InstallUpdate(BASObserveData* record) { LogCommandUnavailable(record); }
