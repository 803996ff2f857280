#include "services/progress_commands.h"

#include <string>

#include "common/main_thread_calls.h"
#include "services/platform_context.h"
#include "ui/ui_progress_dialog.h"

namespace {

// The 64-bit fields count only when not 0 as a whole; their low 32 bits are
// what the dialog takes.
int Low32(int64_t value) { return static_cast<int>(static_cast<uint32_t>(value)); }

void Notify(UiProgressDialog& dialog, const BASObserveData& record) {
    if (record.value3 != 0) dialog.SetDone(Low32(record.value3));
    if (record.value2 != 0) dialog.SetTotal(Low32(record.value2));
    if (record.value != 0) dialog.AddFailed(Low32(record.value));
    if (record.object) dialog.SetStatusText(static_cast<const wchar_t*>(record.object));
}

}  // namespace

// The dialog's window is made on the main thread, at the first start.
void StartProgress(PlatformContext& context, BASObserveData* record) {
    const std::wstring folder = record->wideText ? record->wideText : L"";
    const std::string owner = record->arg ? static_cast<const char*>(record->arg) : "";
    const auto callback = reinterpret_cast<ProgressEndCallback>(record->object);
    const int64_t datum = record->value;
    RunOnMainThread([&] {
        UiProgressDialog* dialog = context.Dialogs().Progress();
        if (!dialog) return;
        dialog->Reset();
        dialog->SetShowFolderButton(true);
        dialog->SetFolder(folder);
        dialog->SetTitle(L"Progress");  // not translated, as the plug-ins know it
        dialog->SetOwnerName(owner);
        dialog->Start();
        dialog->SetEndCallback(callback, datum);
    });
}

// From any thread: the counters live in the dialog's object, made or not.
void NotifyProgress(PlatformContext& context, BASObserveData* record) {
    Notify(context.Dialogs().ProgressObject(), *record);
}

// The end is only marked here; the dialog's next refresh shows it.
void NotifyProgressFinish(PlatformContext& context, BASObserveData* record) {
    UiProgressDialog& dialog = context.Dialogs().ProgressObject();
    Notify(dialog, *record);
    dialog.MarkFinished();
}

// A progress that never started (and has no window yet) is no one's to cancel.
void CancelProgress(PlatformContext& context, BASObserveData* record) {
    if (!record->arg) return;
    const std::string canceller = static_cast<const char*>(record->arg);
    RunOnMainThread([&] { context.Dialogs().ProgressObject().CancelBy(canceller.c_str()); });
}
