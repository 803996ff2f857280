#include "crash_report.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "BASDbgReport.h"
#include "BASUtility.h"
#include "FolderListing.h"
#include "Utf8.h"
#include "common/logging.h"
#include "I18n.h"
#include "host_state.h"
#include "safe_start.h"
#include "settings_catalog.h"
#include "ui/ui_alert_dialog.h"
#include "system_info.h"

namespace {

constexpr int kAlertWidth = 400;
constexpr int kAlertHeight = 180;

std::string Hex(uintptr_t value) {
    char text[16];
    snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

bool StartsWithIgnoringCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() &&
           CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

bool ContainsZipIgnoringCase(const wchar_t* name) {
    std::wstring lower = name;
    CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
    return lower.find(L".zip") != std::wstring::npos;
}

// The one-button alert that names the folder, with "Open" on its button. It
// runs on the reporting thread with no owner: the window that was active may
// belong to a thread that is frozen in the fault.
void ShowCrashAlert(const std::wstring& message, const wchar_t* linkText) {
    UiAlertDialog alert(FindNamedImage("close-normal.png"), FindNamedImage("close-pressed.png"),
                        FindNamedImage("alert.png"), false, wxGetTranslation(L"Cancel"), wxGetTranslation(L"OK"));
    alert.SetContent(nullptr, kAlertWidth, kAlertHeight, message, linkText);
    alert.DoModal(GetActiveWindow());
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

FaultingModule DescribeFaultingModule(const std::wstring& modulePath, const std::wstring& pluginsDir) {
    FaultingModule module;
    const size_t slash = modulePath.find_last_of(L'\\');
    module.file = ToUtf8(slash == std::wstring::npos ? modulePath : modulePath.substr(slash + 1));
    if (pluginsDir.empty() || !StartsWithIgnoringCase(modulePath, pluginsDir)) return module;
    const std::wstring inside = modulePath.substr(pluginsDir.size());
    const size_t first = inside.find(L'\\');
    const size_t second = first == std::wstring::npos ? first : inside.find(L'\\', first + 1);
    if (second == std::wstring::npos) return module;  // not <folder>\<version>\<file>
    module.plugin = ToUtf8(inside.substr(0, first));
    module.version = ToUtf8(inside.substr(first + 1, second - first - 1));
    return module;
}

std::vector<std::pair<std::string, std::string>> CrashMembers(const FaultingModule& module, uint32_t code,
                                                              uintptr_t address) {
    std::vector<std::pair<std::string, std::string>> members{{"Module", module.file}};
    if (!module.plugin.empty()) {
        members.emplace_back("Plugin", module.plugin);
        members.emplace_back("PluginVersion", module.version);
    }
    members.emplace_back("ExceptionCode", Hex(code));
    members.emplace_back("ExceptionAddress", Hex(address));
    return members;
}

void CleanReportFolder(const std::wstring& folder) {
    for (const FolderEntry& entry : ListFolder(folder + L"\\*.*")) {
        if (ContainsZipIgnoringCase(entry.name.c_str())) continue;
        const std::wstring path = folder + L"\\" + entry.name;
        if (entry.isFolder) RemoveDirectoryW(path.c_str());  // an empty one only; the log folder holds none of its own
        else DeleteFileW(path.c_str());
    }
}

void SettleReportFolder(const std::wstring& folder) {
    if (!Host().logShutFlag) {
        Host().logShutFlag = true;
        google::ShutdownGoogleLogging();
    }
    CleanReportFolder(folder);
}

void __cdecl CrashContent(const wchar_t* reportFolder, wchar_t** extraFile) {
    const std::wstring path = std::wstring(reportFolder) + L"Crash.json";
    const BASDbgReport::Fault& fault = BASDbgReport::LastFault();
    wchar_t* pluginsDir = BASUtilityApp::GetProductPluginsDir();
    const FaultingModule module = DescribeFaultingModule(fault.module, pluginsDir ? pluginsDir : L"");
    BASUtilityString::Free(pluginsDir);
    const std::string text = SystemInfoJson(CollectSystemInfo(), CrashMembers(module, fault.code, fault.address));
    // The next start offers to leave the plug-in out; not after the orderly
    // end, whose settings store is gone by now.
    if (!module.plugin.empty() && !Host().exitFlag)
        WriteStartMarker(StartMarkerPath(), {FromUtf8(module.plugin), true});
    // A file that cannot be written leaves the report without it; the path
    // is handed back all the same, and the packing skips what is not there.
    if (FILE* file = _wfopen(path.c_str(), L"wb")) {
        fwrite(text.data(), 1, text.size(), file);
        fclose(file);
    }
    *extraFile = _wcsdup(path.c_str());
}

void __cdecl CrashNotice(const wchar_t* reportPath) {
    if (Host().exitFlag) return;
    const std::wstring path = reportPath;
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    SettleReportFolder(folder);  // nothing is logged after this
    // Neither the zip nor the dump could be written (a full disk, a file where
    // the log folder should be): asking the user to mail it would send them
    // looking for nothing.
    if (!IsFile(path)) {
        ShowCrashAlert(wxGetTranslation(
                           L"Application has crashed due to some unknown reasons. No crash report could be saved."),
                       nullptr);
        return;
    }
    // One literal, so that the catalog check finds the text.
    // clang-format off
    ShowCrashAlert(std::wstring(wxGetTranslation(L"Application has crashed due to some unknown reasons. Please tell us the steps you did before crashing and email the zip crashing report file that is generated in following path to us:")) + L" " + folder,
                   wxGetTranslation(L"Open"));
    // clang-format on
    BASUtilityApp::OpenFolder(folder.c_str());
}
