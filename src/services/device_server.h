// The host's side of the device server's life: the paths of its files, the
// start relayed to the main thread, the restart after a crash and the
// device's status reports.
#pragma once

#include <lumarest/plugin.h>

#include <cstdint>
#include <string>

class PlatformContext;
class UpdateFlow;

// "LIBCOMM_COMMAND_GET_ANDROID_SERVER_PATH": wideText is host-kept, possibly empty.
void AnswerServerPath(BASObserveData* record);
// "LIBCOMM_COMMAND_GET_ANDROID_SERVICE_PATH": wideText is host-kept, possibly empty.
void AnswerServicePath(BASObserveData* record);
// "LIBCOMM_COMMAND_READY_START_SERVER" from a plug-in: sent again from the
// main thread, as the host, to every plug-in registered for it.
void RelayServerStart(BASObserveData* record);

// What the host does when the server reports: notices on the sheet that
// context gives, and the held release notes that updates show once the
// server is up. The host keeps no state of the server itself.
class DeviceServer {
public:
    DeviceServer(PlatformContext& context, UpdateFlow& updates) : context_(context), updates_(updates) {}
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

    // "LIBCOMM_COMMAND_SERVER_CRASH": a notice, then a new start request, on the main thread.
    void ReportCrash(BASObserveData* record);
    // "LIBCOMM_COMMAND_START_SERVER_FINISH": releases release notes that wait for the server.
    void StartFinished(BASObserveData* record);
    // "LIBCOMM_COMMAND_ANDROID_STATUS_RECV"
    void ReceiveStatus(BASObserveData* record);

private:
    void RestartAfterCrash(BASObserveData* crash);
    // Main thread: text on the sheet; a click on it calls onClick, when set.
    void ShowNotice(const std::wstring& text, void (*onClick)());

    PlatformContext& context_;
    UpdateFlow& updates_;
};

// "removed" for status value 0, "disconnected" for 20, null for values the
// host ignores.
const char* DeviceStatusWord(int64_t value);

// What a status report's JSON says.
struct DeviceStatusReading {
    bool parsed = false;
    std::string error;       // the reader's message when the text is not a JSON object
    std::string deviceName;  // "device_name", empty when it is missing
    std::string notice;      // "<device_name> is <status word>." when "had_removed" is a non-zero number
};
DeviceStatusReading ReadDeviceStatus(const char* json, const char* statusWord);
// The sheet's text for status value (0 removed, otherwise disconnected),
// translated, with the device's name.
std::wstring DeviceStatusNotice(int64_t value, const std::wstring& deviceName);
