#include "services/device_server.h"

#include <cstdlib>

#include <rapidjson/document.h>
#include "JsonText.h"

#include "common/command_bus.h"
#include "common/logging.h"
#include "common/log_rate_limit.h"
#include "common/main_thread_calls.h"
#include "host_state.h"
#include "I18n.h"
#include "Utf8.h"
#include "services/platform_context.h"
#include "services/update_flow.h"
#include "settings_catalog.h"
#include "ui/ui_sheet_dialog.h"

namespace {

// The paths never change after start-up, so plug-ins may keep the pointer.
wchar_t* HostKept(const std::wstring& text) { return const_cast<wchar_t*>(text.c_str()); }

void OpenLogFolder() { BASUtilityApp::OpenFolder(Host().logFolder.c_str()); }

}  // namespace

void AnswerServerPath(BASObserveData* record) { record->wideText = HostKept(DeviceServerPath()); }

void AnswerServicePath(BASObserveData* record) { record->wideText = HostKept(DeviceServicePath()); }

void RelayServerStart(BASObserveData* record) {
    if (BASObserveData* copy = CopyRecord(record)) {
        PostToMainThread(ForwardToPlugins, copy);
    } else {
        LOG_PLUGIN_TRAFFIC(ERROR) << record->command << ": no memory to hand the record to the main thread";
    }
}

void DeviceServer::ReportCrash(BASObserveData* record) {
    BASObserveData* copy = CopyRecord(record);
    if (!copy) {
        LOG_PLUGIN_TRAFFIC(ERROR) << record->command << ": no memory to hand the record to the main thread";
        return;
    }
    PostToMainThread([this, copy] { RestartAfterCrash(copy); }, [copy] { free(copy); }, record->command);
}

// On the main thread: the notice, then exactly one restart request, whether
// or not the user looks at the notice.
void DeviceServer::RestartAfterCrash(BASObserveData* crash) {
    LOG_PLUGIN_TRAFFIC(INFO) << "The device server crashed; asking for a new start";
    // The day's log folder holds the zipped reports.
    ShowNotice(wxGetTranslation(L"The application has an error due to unknown reasons, please email us the "
                                L"crash report in zip format. Click here to enter the folder."),
               OpenLogFolder);
    BASObserveData restart{};
    restart.command = LIBCOMM_COMMAND_READY_START_SERVER;
    restart.value = crash->value;
    HostSend(&restart);
    free(crash);
}

void DeviceServer::ShowNotice(const std::wstring& text, void (*onClick)()) {
    UiSheetDialog* sheet = context_.Dialogs().Sheet();
    if (!sheet) return;
    sheet->SetNoticeText(text);
    sheet->SetClickCallback(onClick);
    sheet->Show(SW_SHOW);
}

void DeviceServer::StartFinished(BASObserveData*) { updates_.ShowHeldUpdateList(); }

void DeviceServer::ReceiveStatus(BASObserveData* record) {
    const char* word = DeviceStatusWord(record->value);
    if (!word) return;
    const DeviceStatusReading reading = ReadDeviceStatus(static_cast<const char*>(record->arg), word);
    if (!reading.parsed) {
        LOG_PLUGIN_TRAFFIC(INFO) << record->command << " " << record->value
                                 << ": the device status does not parse: " << reading.error;
    } else if (reading.notice.empty()) {
        LOG_PLUGIN_TRAFFIC(INFO) << record->command << " " << record->value << ": no removal reported";
    } else {
        LOG_PLUGIN_TRAFFIC(INFO) << record->command << " " << record->value << ": " << reading.notice;
        const std::wstring text = DeviceStatusNotice(record->value, FromUtf8(reading.deviceName));
        // The sheet belongs to the main thread; the plug-in's thread waits
        // there briefly, since the device name is its own text.
        RunOnMainThread([this, text] { ShowNotice(text, nullptr); });
    }
}

std::wstring DeviceStatusNotice(int64_t value, const std::wstring& deviceName) {
    const wchar_t* format = value == 0 ? wxGetTranslation(L"%s is removed.") : wxGetTranslation(L"%s is disconnected.");
    wchar_t* text = BASUtilityString::Format(format, deviceName.c_str());
    std::wstring notice = text ? text : L"";
    BASUtilityString::Free(text);
    return notice;
}

const char* DeviceStatusWord(int64_t value) {
    switch (value) {
    case 0: return "removed";
    case 20: return "disconnected";
    default: return nullptr;
    }
}

DeviceStatusReading ReadDeviceStatus(const char* json, const char* statusWord) {
    DeviceStatusReading reading;
    if (!json) {
        reading.error = "no status text";
        return reading;
    }
    rapidjson::Document document;
    if (!json_text::Parse(document, json, reading.error)) return reading;
    if (!document.IsObject()) {
        reading.error = "the status is not a JSON object";
        return reading;
    }
    reading.parsed = true;
    auto removed = document.FindMember("had_removed");
    if (removed == document.MemberEnd() || !removed->value.IsNumber() || removed->value.GetDouble() == 0) {
        return reading;
    }
    auto name = document.FindMember("device_name");
    if (name != document.MemberEnd() && name->value.IsString()) reading.deviceName = name->value.GetString();
    reading.notice = reading.deviceName + " is " + statusWord + ".";
    return reading;
}
