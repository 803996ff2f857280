#include "services/update_flow.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "BASUtility.h"
#include "I18n.h"
#include "common/command_bus.h"
#include "common/logging.h"
#include "common/log_rate_limit.h"
#include "common/main_thread_calls.h"
#include "host_state.h"
#include "product_identity.h"
#include "services/platform_context.h"
#include "services/process_helpers.h"
#include "services/release_notes.h"
#include "settings_catalog.h"
#include "ui/ui_alert_dialog.h"
#include "ui/ui_sheet_dialog.h"
#include "ui/ui_update_download_dialog.h"
#include "ui/ui_update_list_dialog.h"

namespace {

constexpr int kAlertWidth = 440;
constexpr int kAlertHeight = 100;
constexpr int kSuiteProductType = 1;

bool IsCommand(const BASObserveData* record, const char* name) {
    return record->command && std::strcmp(record->command, name) == 0;
}

void SendFromHost(const char* command) {
    BASObserveData record{};
    record.command = command;
    HostSend(&record);
}

// A formatted text of the library, as a string; the block is freed here.
std::wstring Formatted(const wchar_t* format, const std::wstring& argument) {
    wchar_t* text = BASUtilityString::Format(format, argument.c_str());
    std::wstring result = text ? text : L"";
    BASUtilityString::Free(text);
    return result;
}

// A failed check or download says why, as the plug-in reported it; the
// reason is logged whether or not the user is told.
std::wstring CheckFailureText(int64_t reason) {
    if (reason == LIBCOMM_UPDATE_FAILED_UNVERIFIED)
        return wxGetTranslation(L"The update could not be verified. Nothing was installed.");
    return wxGetTranslation(L"Update failed! Please check if the network is available.");
}

std::wstring DownloadFailureText(int64_t reason) {
    if (reason == LIBCOMM_UPDATE_FAILED_UNVERIFIED)
        return wxGetTranslation(L"The update could not be verified. Nothing was installed.");
    if (reason == LIBCOMM_UPDATE_FAILED_MISMATCH)
        return wxGetTranslation(L"The downloaded file is damaged. Please try again.");
    return wxGetTranslation(L"Download failed! Please check if the network is available.");
}

const char* ReasonName(int64_t reason) {
    if (reason == LIBCOMM_UPDATE_FAILED_UNVERIFIED) return "not verified";
    if (reason == LIBCOMM_UPDATE_FAILED_MISMATCH) return "size or SHA-256 not the feed's";
    if (reason == LIBCOMM_UPDATE_FAILED_UNTRUSTED_SERVER)
        return "the server's certificate or secure connection was refused";
    return "network";
}

// A refused or failed update is written to the log at once: it may be the
// trace of an attack, and the buffered INFO file would hold it back.
void LogUpdateFailure(const char* what, int64_t reason) {
    LOG(WARNING) << what << ReasonName(reason);
    google::FlushLogFiles(google::GLOG_INFO);
}

// The path that the installer's handle names, which is what the handle
// keeps unchanged; empty when the system cannot tell it.
std::wstring LockedPath(HANDLE lock) {
    std::wstring path(MAX_PATH, L'\0');
    DWORD size = GetFinalPathNameByHandleW(lock, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
    if (size >= path.size()) {
        path.resize(size + 1);
        size = GetFinalPathNameByHandleW(lock, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
    }
    if (size == 0 || size >= path.size()) return {};
    path.resize(size);
    // "\\?\C:\..." as a plain path: installers and the shell take that form.
    if (path.rfind(L"\\\\?\\", 0) == 0 && path.size() > 6 && path[5] == L':') path.erase(0, 4);
    return path;
}

void InstallIntoSuite(const std::wstring& installer, UniqueHandle lock, const std::wstring& title) {
    const std::wstring& config = Host().hostConfigPath;
    RunAndWait(installer, L"/S /PRODUCT_ALIAS=\"" + SuiteAlias(config) + L"\"");
    lock.reset();  // the installer has run; the file may go
    const std::wstring newest = FindNewestAddin(title);
    DeleteFileW(installer.c_str());
    if (!newest.empty())
        ShellLaunch(newest + L"\\Bin\\" + title + L".exe", Host().hostFileFlag ? L"\"" + config + L"\"" : L"", false);
}

void InstallStandalone(const std::wstring& installer, const std::wstring& title) {
    wchar_t* binFolder = BASUtilityApp::GetProductBinDir();
    const std::wstring program = (binFolder ? binFolder : L"") + title + L".exe";
    BASUtilityString::Free(binFolder);
    EndRunningCopies(program);
    if (BASUtilityFile::IsFileExist(installer.c_str()))
        ShellLaunch(installer, L"/TAG=" + ProductIdentity::Version(), false);  // a per-user setup: no elevation
}

// The installer that runs is the file the plug-in checked: started from the
// path of the handle that has kept it unchanged since, and only then let go.
// Without such a handle nothing is started.
std::wstring CheckedInstaller(const UniqueHandle& lock, const std::wstring& reported) {
    if (!lock) {
        if (!reported.empty()) LOG(WARNING) << "The installer came without the handle that guards it; not started";
        return {};
    }
    const std::wstring path = LockedPath(lock.get());
    if (path.empty()) LOG(WARNING) << "The guarded installer's path is unknown; not started";
    return path;
}

}  // namespace

std::wstring SuiteAlias(const std::wstring& hostConfigPath) {
    const size_t last = hostConfigPath.find_last_of(L'\\');
    if (last == std::wstring::npos || last == 0) return {};
    const size_t before = hostConfigPath.find_last_of(L'\\', last - 1);
    const size_t start = before == std::wstring::npos ? 0 : before + 1;
    return hostConfigPath.substr(start, last - start);
}

void UpdateFlow::PostToMain(void (UpdateFlow::*run)(BASObserveData*), const BASObserveData* record) {
    BASObserveData* copy = CopyRecord(record);
    if (!copy) {
        LOG_PLUGIN_TRAFFIC(ERROR) << record->command << ": no memory to hand the answer to the main thread";
        return;
    }
    PostToMainThread([this, run, copy] { (this->*run)(copy); }, [copy] { DiscardUpdateAnswer(copy); }, record->command);
}

void UpdateFlow::ShowUpdateAlert(const std::wstring& text) {
    HWND view = context_.ViewWindow();
    UiAlertDialog alert(FindNamedImage("close-normal.png"), FindNamedImage("close-pressed.png"),
                        FindNamedImage("alert.png"), false, wxGetTranslation(L"Cancel"), wxGetTranslation(L"OK"));
    alert.SetContent(view, kAlertWidth, kAlertHeight, text, nullptr);
    alert.DoModal(view);
}

// An automatic check tells of new notes on the sheet, unless the sheet
// already shows something else; the notes stay held either way.
void UpdateFlow::OfferOnSheet(const std::wstring& newestVersion) {
    UiSheetDialog* sheet = context_.Dialogs().Sheet();
    if (!sheet || !sheet->Handle() || IsWindowVisible(sheet->Handle())) return;
    sheet->SetNoticeText(Formatted(wxGetTranslation(L"A new version of (%s) is available."), newestVersion));
    sheet->SetClickCallback([this] { ShowUpdateList(); });
    sheet->Show(SW_SHOW);
}

// The notes of an answer with versions. The manual-check flag is left alone
// when they do not parse: the user's check then shows nothing, and the list
// is not made for them. Notes are held only in a list that was made to hold
// them.
void UpdateFlow::HoldReleaseNotes(const BASObserveData& answer) {
    const auto notes =
        BuildReleaseNotes(static_cast<const char*>(answer.data), answer.count, wxGetTranslation(L"Version: "));
    if (!notes) {
        LOG_PLUGIN_TRAFFIC(INFO) << "The release notes do not parse; nothing is offered";
        return;
    }
    UiUpdateListDialog* list = context_.Dialogs().UpdateList();
    if (list) {
        list->SetUpdateCallback([this] { StartDownload(); });
        list->ClearNotes();
        list->AppendNotes(notes->text);
        notesHeld_ = true;
    }
    if (manualCheck_.exchange(false)) {
        if (list) {
            list->Reset();
            list->Show(SW_SHOW);
        }
    } else {
        OfferOnSheet(notes->newestVersion);
    }
}

void UpdateFlow::RequestCheck(BASObserveData* record) {
    // Raised on the main thread after the answers posted before the request,
    // so that an earlier automatic check's answer cannot take the user's flag.
    bool shown = false;
    if (!RunOnMainThread([this, &shown] {
            manualCheck_ = true;
            shown = ShowUpdateListIfHeld();
        }))
        manualCheck_ = true;
    if (shown) return;
    // The plug-in's record travels on unchanged but for its name; the host
    // becomes the sender so that every plug-in, the asking one included, gets it.
    BASObserveData request = *record;
    request.command = LIBCOMM_COMMAND_CHECK_FOR_UPDATE;
    HostSend(&request);
}

bool UpdateFlow::ShowUpdateListIfHeld() {
    if (!notesHeld_) return false;
    ShowUpdateList();
    return true;
}

// The list is a window of the main thread, and so is what it holds.
bool UpdateFlow::ShowHeldUpdateList() {
    bool shown = false;
    RunOnMainThread([this, &shown] { shown = ShowUpdateListIfHeld(); });
    return shown;
}

void UpdateFlow::ShowUpdateList() {
    UiUpdateListDialog* list = context_.Dialogs().UpdateList();
    if (!list) return;
    list->Reset();
    list->SetUpdateCallback([this] { StartDownload(); });
    list->Show(SW_SHOW);
}

void UpdateFlow::ReceiveUpdateAnswer(BASObserveData* record) { PostToMain(&UpdateFlow::OnUpdateAnswer, record); }

// A failed check and a current version are told only to a user who asked.
void UpdateFlow::OnUpdateAnswer(BASObserveData* copy) {
    if (copy->value == 0) {
        const bool manual = manualCheck_.exchange(false);  // first, as before the log's write
        LogUpdateFailure("The update check failed: ", copy->value2);
        if (manual) ShowUpdateAlert(CheckFailureText(copy->value2));
    } else if (copy->count == 0) {
        if (manualCheck_.exchange(false))
            ShowUpdateAlert(Formatted(wxGetTranslation(L"This version of (%s) is the latest version."),
                                      ProductIdentity::Version()));
    } else {
        HoldReleaseNotes(*copy);
    }
    DiscardUpdateAnswer(copy);
}

// Progress only moves the counters, which any thread may set; the other
// answers touch windows.
void UpdateFlow::ReceiveDownloadAnswer(BASObserveData* record) {
    if (record->value != 2) {
        PostToMain(&UpdateFlow::OnDownloadAnswer, record);
        return;
    }
    UiUpdateDownloadDialog& dialog = context_.Dialogs().DownloadObject();
    dialog.SetDone(static_cast<int>(record->value3));
    dialog.SetTotal(static_cast<int>(record->value2));
}

void UpdateFlow::OnDownloadAnswer(BASObserveData* copy) {
    UiUpdateDownloadDialog* dialog = context_.Dialogs().Download();
    if (copy->value == 1) {
        {
            std::lock_guard<std::mutex> hold(installerLock_);
            installerPath_ = copy->wideText ? copy->wideText : L"";
            installerGuard_.reset(static_cast<HANDLE>(std::exchange(copy->object, nullptr)));
        }
        if (dialog) dialog->ShowClosingNotice();
        DiscardUpdateAnswer(copy);
        SendFromHost(LIBCOMM_COMMAND_EXIT_SERVER);  // the plug-in stops the server, then confirms
        return;
    }
    if (copy->value == 6) {
        LogUpdateFailure("The update's download failed: ", copy->value2);
        if (dialog) dialog->ShowFailure(DownloadFailureText(copy->value2));
    }
    DiscardUpdateAnswer(copy);
}

void UpdateFlow::StartDownload() {
    if (UiUpdateDownloadDialog* dialog = context_.Dialogs().Download()) {
        dialog->Reset();
        dialog->SetShowFolderButton(false);  // Reset brings the progress dialog's folder button back
        dialog->SetCancelNotification([this](bool finished) { CancelDownload(finished); });
        dialog->SetStatusText(wxGetTranslation(L"Downloading update file, please wait..."));
        dialog->Start();
    }
    SendFromHost(LIBCOMM_COMMAND_DOWNLOAD_UPDATE);
}

void UpdateFlow::CancelDownload(bool finished) {
    if (!finished) SendFromHost(LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL);
}

void DiscardUpdateAnswer(BASObserveData* copy) {
    if (!copy) return;
    if (IsCommand(copy, LIBCOMM_COMMAND_CHECK_FOR_UPDATE) && copy->value != 0 && copy->count != 0) {
        free(copy->data);
    } else if (IsCommand(copy, LIBCOMM_COMMAND_DOWNLOAD_UPDATE) && copy->value == 1) {
        free(copy->wideText);
        UniqueHandle unclaimed(static_cast<HANDLE>(copy->object));  // the installer's guard, when never taken
    }
    free(copy);
}

// A failed installer start, a missing add-in or a failed launch is not
// reported: the host closes all the same, as the user asked for the update.
void UpdateFlow::InstallUpdate(BASObserveData*) {
    UniqueHandle lock;
    std::wstring reported;
    {
        std::lock_guard<std::mutex> hold(installerLock_);
        lock = std::move(installerGuard_);
        reported = installerPath_;
    }
    const std::wstring installer = CheckedInstaller(lock, reported);
    const std::wstring title = ProductIdentity::ProductTitle();
    LOG(INFO) << "The device server stopped; installing the update";
    if (ProductType() == kSuiteProductType && !Host().hostConfigPath.empty())
        InstallIntoSuite(installer, std::move(lock), title);
    else InstallStandalone(installer, title);  // the handle stays until the installer has started
    if (HWND frame = context_.FrameWindow()) PostMessageW(frame, WM_CLOSE, 0, 0);
}
