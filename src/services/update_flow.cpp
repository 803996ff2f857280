#include "services/update_flow.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "common/command_bus.h"
#include "common/logging.h"
#include "common/log_rate_limit.h"
#include "common/main_thread_calls.h"
#include "services/platform_command_handler.h"

namespace {

// Written on a plug-in's thread, read on the main thread.
std::atomic<bool> manualCheck{false};

bool IsCommand(const BASObserveData* record, const char* name) {
    return record->command && std::strcmp(record->command, name) == 0;
}

// On the main thread. The update list and the download dialog do not exist
// in this build yet, so the answer is only noted; its texts are the host's
// to free all the same.
void ContinueUpdateAnswer(BASObserveData* copy) {
    LogCommandUnavailable(copy);
    DiscardUpdateAnswer(copy);
}

// The answer and what it hands over go to the main thread together; they are
// freed there, or at shut-down when they never run.
void PostUpdateAnswer(const BASObserveData* record) {
    if (BASObserveData* copy = CopyRecord(record)) {
        PostToMainThread(ContinueUpdateAnswer, copy, DiscardUpdateAnswer);
    } else {
        LOG_PLUGIN_TRAFFIC(ERROR) << record->command << ": no memory to hand the answer to the main thread";
    }
}

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

void ShowUpdateList() { LOG_PLUGIN_TRAFFIC(INFO) << "The update list is not available in this build"; }

void ReceiveUpdateAnswer(BASObserveData* record) { PostUpdateAnswer(record); }

// Progress (value 2) is handled on the plug-in's thread; the other answers
// touch windows, so they continue on the main thread.
void ReceiveDownloadAnswer(BASObserveData* record) {
    if (record->value == 2) {
        LogCommandUnavailable(record);
    } else {
        PostUpdateAnswer(record);
    }
}

void DiscardUpdateAnswer(BASObserveData* copy) {
    if (!copy) return;
    if (IsCommand(copy, LIBCOMM_COMMAND_CHECK_FOR_UPDATE) && copy->value != 0 && copy->count != 0) {
        free(copy->data);
    } else if (IsCommand(copy, LIBCOMM_COMMAND_DOWNLOAD_UPDATE) && copy->value == 1) {
        free(copy->wideText);
    }
    free(copy);
}

void InstallUpdate(BASObserveData* record) { LogCommandUnavailable(record); }
