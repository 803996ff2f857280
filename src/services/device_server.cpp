#include "services/device_server.h"

#include <cstdlib>

#include <rapidjson/document.h>
#include "JsonText.h"

#include "common/command_bus.h"
#include "common/logging.h"
#include "common/log_rate_limit.h"
#include "common/main_thread_calls.h"
#include "services/update_flow.h"
#include "settings_catalog.h"

namespace {

// The paths never change after start-up, so plug-ins may keep the pointer.
wchar_t* HostKept(const std::wstring& text) { return const_cast<wchar_t*>(text.c_str()); }

// On the main thread: the notice, then exactly one restart request.
void RestartAfterCrash(BASObserveData* crash) {
    LOG_PLUGIN_TRAFFIC(INFO) << "The device server crashed; the crash notice is not available in this build";
    BASObserveData restart{};
    restart.command = LIBCOMM_COMMAND_READY_START_SERVER;
    restart.value = crash->value;
    HostSend(&restart);
    free(crash);
}

void PostCopy(void (*continuation)(BASObserveData*), const BASObserveData* record) {
    if (BASObserveData* copy = CopyRecord(record)) {
        PostToMainThread(continuation, copy);
    } else {
        LOG_PLUGIN_TRAFFIC(ERROR) << record->command << ": no memory to hand the record to the main thread";
    }
}

}  // namespace

void AnswerServerPath(BASObserveData* record) { record->wideText = HostKept(DeviceServerPath()); }

void AnswerServicePath(BASObserveData* record) { record->wideText = HostKept(DeviceServicePath()); }

void RelayServerStart(BASObserveData* record) { PostCopy(ForwardToPlugins, record); }

void ReportServerCrash(BASObserveData* record) { PostCopy(RestartAfterCrash, record); }

void ServerStartFinished(BASObserveData*) {
    if (UpdateListHoldsNotes()) ShowUpdateList();
}

void ReceiveDeviceStatus(BASObserveData* record) {
    const char* word = DeviceStatusWord(record->value);
    if (!word) return;
    const DeviceStatusReading reading = ReadDeviceStatus(static_cast<const char*>(record->arg), word);
    // Where to show the notice is still open; the log keeps it meanwhile.
    if (!reading.parsed) {
        LOG_PLUGIN_TRAFFIC(INFO) << record->command << " " << record->value << ": the device status does not parse: " << reading.error;
    } else if (reading.notice.empty()) {
        LOG_PLUGIN_TRAFFIC(INFO) << record->command << " " << record->value << ": no removal reported";
    } else {
        LOG_PLUGIN_TRAFFIC(INFO) << record->command << " " << record->value << ": " << reading.notice;
    }
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
    if (name != document.MemberEnd() && name->value.IsString()) reading.notice = name->value.GetString();
    reading.notice += std::string(" is ") + statusWord + ".";
    return reading;
}
