#include "scan.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>

#include "plugin_bus.h"

namespace recovery {
namespace {

// The owner name the host's progress dialog keeps for this module's runs.
constexpr char kOwnerName[] = "Recovery";
// How long one item takes; also how often a cancel is looked at.
constexpr DWORD kItemMs = 400;

// What the scan thread and the host's end callback share. It lives as long
// as the module, because the callback may come from the dialog after the
// thread ended; the generation tells a late callback of an earlier scan
// from one of the scan that runs now.
struct ScanControl {
    std::atomic<bool> running{false};
    std::atomic<int64_t> generation{0};
    HANDLE cancelled = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // manual reset; held for the process
};

ScanControl& Control() {
    static ScanControl control;
    return control;
}

struct ScanJob {
    const ScanItem* items;
    int count;
    int64_t generation;
};

// Called by the host's progress dialog when the user ends the run before it
// finished: the scan thread sees the event at its next wait, at once.
void __cdecl OnProgressEnded(uint32_t, int64_t generation) {
    ScanControl& control = Control();
    if (generation == control.generation.load()) SetEvent(control.cancelled);
}

// The host's dated temporary folder, offered by the dialog's folder button.
std::wstring ResultFolder() {
    BASObserveData record = plugin::NewRecord(LIBPLATFORM_COMMAND_GET_TEMP_DIR);
    plugin::Send(record);
    std::wstring folder = record.wideText ? record.wideText : L"";
    free(record.wideText);  // a C-heap copy handed over to the module
    return folder;
}

void StartProgress(const std::wstring& folder, int64_t generation) {
    BASObserveData record = plugin::NewRecord(LIBPLATFORM_COMMAND_START_PROGRESS);
    record.arg = kOwnerName;
    record.wideText = const_cast<wchar_t*>(folder.c_str());
    record.object = reinterpret_cast<void*>(&OnProgressEnded);
    record.value = generation;
    plugin::Send(record);
}

void NotifyItem(const ScanJob& job, int index) {
    const ScanItem& item = job.items[index];
    const bool last = index + 1 == job.count;
    const std::wstring status = (item.readable ? L"Scanned " : L"Could not read ") + std::wstring(item.name) + L" (" +
                                std::to_wstring(index + 1) + L" of " + std::to_wstring(job.count) + L")";
    BASObserveData record =
        plugin::NewRecord(last ? LIBPLATFORM_COMMAND_NOTIFY_PROGRESS_FINISH : LIBPLATFORM_COMMAND_NOTIFY_PROGRESS);
    record.value3 = index + 1;
    record.value2 = job.count;
    record.value = item.readable ? 0 : 1;
    record.object = const_cast<wchar_t*>(status.c_str());  // the host copies it during the send
    plugin::Send(record);
}

DWORD WINAPI RunScan(void* parameter) {
    const ScanJob job = *static_cast<ScanJob*>(parameter);
    delete static_cast<ScanJob*>(parameter);
    ScanControl& control = Control();
    StartProgress(ResultFolder(), job.generation);
    for (int index = 0; index < job.count; ++index) {
        // A cancelled scan sends nothing more: the dialog has ended its run.
        if (WaitForSingleObject(control.cancelled, kItemMs) == WAIT_OBJECT_0) break;
        NotifyItem(job, index);
    }
    control.running.store(false);
    return 0;
}

}  // namespace

bool StartScan(const ScanItem* items, int count) {
    ScanControl& control = Control();
    if (!control.cancelled || control.running.exchange(true)) return false;
    ResetEvent(control.cancelled);
    auto* job = new ScanJob{items, count, control.generation.fetch_add(1) + 1};
    HANDLE thread = CreateThread(nullptr, 0, &RunScan, job, 0, nullptr);
    if (!thread) {
        delete job;
        control.running.store(false);
        return false;
    }
    CloseHandle(thread);  // the thread ends by itself; nothing waits for it
    return true;
}

}  // namespace recovery
