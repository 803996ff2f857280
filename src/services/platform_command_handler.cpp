#include "services/platform_command_handler.h"

#include <cstdlib>
#include <exception>
#include <string>
#include <tuple>
#include <type_traits>

#include "app_lifecycle.h"
#include "common/command_bus.h"
#include "common/logging.h"
#include "common/log_rate_limit.h"
#include "product_identity.h"
#include "services/device_server.h"
#include "services/platform_context.h"
#include "services/progress_commands.h"
#include "services/update_flow.h"
#include "services/window_commands.h"
#include "settings_catalog.h"
#include "dpi.h"
#include "ui/font_factory.h"

namespace {

// The complete-version number is a build constant kept as text.
constexpr wchar_t kCompleteVersionText[] = L"0";

// What the table's entries act on, set once by RegisterPlatformCommands
// before any command can arrive: the bus's receive functions take no
// context of their own. Nothing outside this file reaches them here.
std::tuple<PlatformContext*, UpdateFlow*, DeviceServer*> handlers;

// The object whose member function Handler is.
template <class Handler>
struct OwnerOf;
template <class Owner>
struct OwnerOf<void (Owner::*)(BASObserveData*)> {
    using type = Owner;
};

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

// The main window's display; the system's before the frame exists.
void AnswerDpi(PlatformContext& host, BASObserveData* record) { record->value = DpiForWindow(host.FrameWindow()); }

// One of the host's fonts, kept for the process; a request without a family
// gets none.
void FindFont(BASObserveData* record) {
    const auto* request = static_cast<const BASFontRequest*>(record->data);
    record->object = nullptr;
    if (!request || !request->family || !(request->pixelSize > 0)) return;
    const Gdiplus::Font* font =
        SharedFont({.family = request->family, .size = request->pixelSize, .bold = request->bold != 0});
    record->object = const_cast<Gdiplus::Font*>(font);
}

// Accepted so that plug-ins may send it; the host has nothing to do.
void Ignore(BASObserveData*) {}

// The receive function of one table entry: runs its command on the sending
// thread, a plug-in's, so nothing may escape into the plug-in. A command is
// a member function of the object that keeps its flow's state, a function
// of the host's context, or a function that needs neither.
template <auto Command>
void __cdecl Serve(BASObserveData* record) noexcept {
    using Handler = decltype(Command);
    try {
        if constexpr (std::is_member_function_pointer_v<Handler>)
            (std::get<typename OwnerOf<Handler>::type*>(handlers)->*Command)(record);
        else if constexpr (std::is_invocable_v<Handler, PlatformContext&, BASObserveData*>)
            Command(*std::get<PlatformContext*>(handlers), record);
        else Command(record);
    } catch (const std::exception& e) {
        LOG_PLUGIN_TRAFFIC(ERROR) << record->command << " failed: " << e.what();
    } catch (...) {
        LOG_PLUGIN_TRAFFIC(ERROR) << record->command << " failed";
    }
}

struct CommandEntry {
    const char* name;
    BASCommandFunction receive;
};

// Every command the host serves, in the order it registers them; the bus has
// found the entry by name before the function runs.
constexpr CommandEntry kCommands[] = {
    {LIBPLATFORM_COMMAND_PRESS_MAX_OR_RESET, Serve<PressMaxOrReset>},
    {LIBPLATFORM_COMMAND_OPEN_ABOUT, Serve<OpenAbout>},
    {LIBPLATFORM_COMMAND_FIND_URL, Serve<FindUrl>},
    {LIBPLATFORM_COMMAND_FIND_IMAGE, Serve<FindImage>},
    {LIBPLATFORM_COMMAND_CHECK_FOR_UPDATE, Serve<&UpdateFlow::RequestCheck>},
    {LIBPLATFORM_COMMAND_OPEN_SETTING, Serve<OpenSetting>},
    {LIBCOMM_COMMAND_CHECK_FOR_UPDATE, Serve<&UpdateFlow::ReceiveUpdateAnswer>},
    {LIBCOMM_COMMAND_DOWNLOAD_UPDATE, Serve<&UpdateFlow::ReceiveDownloadAnswer>},
    {LIBCOMM_COMMAND_DOWNLOAD_UPDATE_CANCEL, Serve<Ignore>},
    {LIBCOMM_COMMAND_EXIT_SERVER, Serve<&UpdateFlow::InstallUpdate>},
    {LIBCOMM_COMMAND_READY_START_SERVER, Serve<RelayServerStart>},
    {LIBCOMM_COMMAND_SERVER_CRASH, Serve<&DeviceServer::ReportCrash>},
    {LIBCOMM_COMMAND_START_SERVICE_FAIL, Serve<Ignore>},
    {LIBCOMM_COMMAND_ANDROID_STATUS_RECV, Serve<&DeviceServer::ReceiveStatus>},
    {LIBCOMM_COMMAND_START_SERVER_FINISH, Serve<&DeviceServer::StartFinished>},
    {LIBPLATFORM_COMMAND_GET_PRODUCT_ALIAS, Serve<AnswerProductAlias>},
    {LIBPLATFORM_COMMAND_GET_APP_NAME, Serve<AnswerAppName>},
    {LIBCOMM_COMMAND_GET_ANDROID_SERVICE_PATH, Serve<AnswerServicePath>},
    {LIBCOMM_COMMAND_GET_ANDROID_SERVER_PATH, Serve<AnswerServerPath>},
    {LIBPLATFORM_COMMAND_NOTIFY_PROGRESS, Serve<NotifyProgress>},
    {LIBPLATFORM_COMMAND_NOTIFY_PROGRESS_FINISH, Serve<NotifyProgressFinish>},
    {LIBPLATFORM_COMMAND_START_PROGRESS, Serve<StartProgress>},
    {LIBPLATFORM_COMMAND_CANCEL_PROGRESS, Serve<CancelProgress>},
    {LIBPLATFORM_COMMAND_GET_TEMP_DIR, Serve<AnswerTempDir>},
    {LIBPLATFORM_COMMAND_GET_COMPLETE_VERSION, Serve<AnswerCompleteVersion>},
    {LIBPLATFORM_COMMAND_OPEN_ALERT_MESSAGE, Serve<OpenAlertMessage>},
    {LIBPLATFORM_COMMAND_OPEN_CONFIRM_MESSAGE, Serve<OpenConfirmMessage>},
    {LIBPLATFORM_COMMAND_GET_DPI, Serve<AnswerDpi>},
    {LIBPLATFORM_COMMAND_FIND_FONT, Serve<FindFont>},
};

}  // namespace

void RegisterPlatformCommands(PlatformContext& context, UpdateFlow& updates, DeviceServer& server) {
    handlers = {&context, &updates, &server};
    for (const CommandEntry& command : kCommands) RegisterHandler(command.name, command.receive);
}

int CompleteVersionNumber() { return _wtoi(kCompleteVersionText); }
