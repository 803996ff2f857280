#include "services/platform_command_handler.h"

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string_view>

#include "app_lifecycle.h"
#include "common/command_bus.h"
#include "common/logging.h"
#include "product_identity.h"
#include "services/device_server.h"
#include "services/progress_commands.h"
#include "services/update_flow.h"
#include "services/window_commands.h"
#include "settings_catalog.h"

namespace {

// The complete-version number is a build constant kept as text.
constexpr wchar_t kCompleteVersionText[] = L"0";

void FindUrl(BASObserveData* record) {
    record->object = const_cast<char*>(FindNamedUrl(static_cast<const char*>(record->arg)));
}

void FindImage(BASObserveData* record) { record->object = FindNamedImage(static_cast<const char*>(record->arg)); }

// Copies on the C heap: the receiving plug-in frees them with free().
void AnswerProductAlias(BASObserveData* record) { record->wideText = _wcsdup(ProductIdentity::ProductTitle().c_str()); }

void AnswerAppName(BASObserveData* record) { record->wideText = _wcsdup(ProductIdentity::SecondTitle().c_str()); }

// The day's log folder, made again when it was removed or a new day began.
void AnswerTempDir(BASObserveData* record) {
    const std::wstring folder = CreateTodaysLogFolder() + L"\\";
    record->wideText = _wcsdup(folder.c_str());
}

void AnswerCompleteVersion(BASObserveData* record) { record->value = CompleteVersionNumber(); }

// Accepted so that plug-ins may send it; the host has nothing to do.
void Ignore(BASObserveData*) {}

using CommandHandler = void (*)(BASObserveData*);

struct CommandRoute {
    const char* name;
    CommandHandler handler;
};

// Every served command and the one function that serves it, grouped by the
// part of the host that does the work.
constexpr CommandRoute kRoutes[] = {
    // Answered at once from what the host keeps.
    {LIBPLATFORM_COMMAND_FIND_URL, FindUrl},
    {LIBPLATFORM_COMMAND_FIND_IMAGE, FindImage},
    {LIBPLATFORM_COMMAND_GET_PRODUCT_ALIAS, AnswerProductAlias},
    {LIBPLATFORM_COMMAND_GET_APP_NAME, AnswerAppName},
    {LIBPLATFORM_COMMAND_GET_TEMP_DIR, AnswerTempDir},
    {LIBPLATFORM_COMMAND_GET_COMPLETE_VERSION, AnswerCompleteVersion},
    // Windows and modal dialogs, on the sending thread.
    {LIBPLATFORM_COMMAND_PRESS_MAX_OR_RESET, PressMaxOrReset},
    {LIBPLATFORM_COMMAND_OPEN_ABOUT, OpenAbout},
    {LIBPLATFORM_COMMAND_OPEN_SETTING, OpenSetting},
    {LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE, OpenAlertMessage},
    {LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE, OpenConfirmMessage},
    // The shared progress dialog.
    {LIBPLATFORM_COMMAND_START_PROGRESS, StartProgress},
    {LIBPLATFORM_COMMAND_NOTIFY_PROGRESS, NotifyProgress},
    {LIBPLATFORM_COMMAND_NOTIFY_PROGRESS_FINISH, NotifyProgressFinish},
    {LIBPLATFORM_COMMAND_CANCEL_PROGRESS, CancelProgress},
    // Update check, download and installation.
    {LIBPLATFORM_COMMAND_CHECK_FOR_UPDATE, RequestUpdateCheck},
    {LIBCOMM_COMMAND_CHECK_FOR_UPDATE, ReceiveUpdateAnswer},
    {LIBCOMM_COMMAND_DOWNLOAD_UPDATE, ReceiveDownloadAnswer},
    {LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL, Ignore},
    {LIBCOMM_COMMAND_EXIT_SERVER, InstallUpdate},
    // The device server.
    {LIBCOMM_COMMAND_GET_ANDROID_SERVER_PATH, AnswerServerPath},
    {LIBCOMM_COMMAND_GET_ANDROID_SERVICE_PATH, AnswerServicePath},
    {LIBCOMM_COMMAND_READY_START_SERVER, RelayServerStart},
    {LIBCOMM_COMMAND_SERVER_CRASH, ReportServerCrash},
    {LIBCOMM_COMMAND_START_SERVER_FINISH, ServerStartFinished},
    {LIBCOMM_COMMAND_START_SERVICE_FAIL, Ignore},
    {LIBCOMM_COMMAND_ANDROID_STATUS_RECV, ReceiveDeviceStatus},
};

CommandHandler FindHandler(const char* command) {
    for (const CommandRoute& route : kRoutes) {
        if (std::strcmp(route.name, command) == 0) return route.handler;
    }
    return nullptr;
}

}  // namespace

// The order in which the bootstrap registers the handler.
constexpr const char* const kHostCommandNames[] = {
    LIBPLATFORM_COMMAND_PRESS_MAX_OR_RESET,
    LIBPLATFORM_COMMAND_OPEN_ABOUT,
    LIBPLATFORM_COMMAND_FIND_URL,
    LIBPLATFORM_COMMAND_FIND_IMAGE,
    LIBPLATFORM_COMMAND_CHECK_FOR_UPDATE,
    LIBPLATFORM_COMMAND_OPEN_SETTING,
    LIBCOMM_COMMAND_CHECK_FOR_UPDATE,
    LIBCOMM_COMMAND_DOWNLOAD_UPDATE,
    LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL,
    LIBCOMM_COMMAND_EXIT_SERVER,
    LIBCOMM_COMMAND_READY_START_SERVER,
    LIBCOMM_COMMAND_SERVER_CRASH,
    LIBCOMM_COMMAND_START_SERVICE_FAIL,
    LIBCOMM_COMMAND_ANDROID_STATUS_RECV,
    LIBCOMM_COMMAND_START_SERVER_FINISH,
    LIBPLATFORM_COMMAND_GET_PRODUCT_ALIAS,
    LIBPLATFORM_COMMAND_GET_APP_NAME,
    LIBCOMM_COMMAND_GET_ANDROID_SERVICE_PATH,
    LIBCOMM_COMMAND_GET_ANDROID_SERVER_PATH,
    LIBPLATFORM_COMMAND_NOTIFY_PROGRESS,
    LIBPLATFORM_COMMAND_NOTIFY_PROGRESS_FINISH,
    LIBPLATFORM_COMMAND_START_PROGRESS,
    LIBPLATFORM_COMMAND_CANCEL_PROGRESS,
    LIBPLATFORM_COMMAND_GET_TEMP_DIR,
    LIBPLATFORM_COMMAND_GET_COMPLETE_VERSION,
    LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE,
    LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE,
};
const size_t kHostCommandNameCount = std::size(kHostCommandNames);

namespace {

constexpr size_t RoutesFor(std::string_view name) {
    size_t found = 0;
    for (const CommandRoute& route : kRoutes) found += name == route.name;
    return found;
}

// Every registered name reaches exactly one handler, and no handler waits for
// a name that is never registered.
constexpr bool RoutesMatchRegistration() {
    if (std::size(kRoutes) != std::size(kHostCommandNames)) return false;
    for (const char* name : kHostCommandNames) {
        if (RoutesFor(name) != 1) return false;
    }
    return true;
}
static_assert(RoutesMatchRegistration(), "kRoutes must route each name of kHostCommandNames once");

}  // namespace

void RegisterPlatformCommands() {
    for (const char* name : kHostCommandNames) RegisterHandler(name, PlatformCommandHandler);
}

int CompleteVersionNumber() { return _wtoi(kCompleteVersionText); }

void __cdecl PlatformCommandHandler(BASObserveData* record) {
    if (!record || !record->command) return;
    CommandHandler handler = FindHandler(record->command);
    if (!handler) return;
    // Runs on a plug-in's thread: nothing may escape into the plug-in.
    try {
        handler(record);
    } catch (const std::exception& e) {
        LOG(ERROR) << record->command << " failed: " << e.what();
    } catch (...) {
        LOG(ERROR) << record->command << " failed";
    }
}

void LogCommandUnavailable(const BASObserveData* record) {
    LOG(INFO) << record->command << " is not available in this build";
}
