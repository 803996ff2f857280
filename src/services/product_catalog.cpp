#include "services/product_catalog.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstring>

#include "BASUtility.h"
#include "GdiplusInclude.h"
#include "I18n.h"
#include "common/command_bus.h"
#include "common/loaded_modules.h"
#include "dpi.h"
#include "product_identity.h"
#include "Utf8.h"
#include "settings_catalog.h"
#include "services/platform_command_handler.h"

namespace {

constexpr int kAppIconResource = 128;
constexpr int kAppIconSize = 32;

// The section's picture in the render nearest to the view's scale; one that
// fails to load is still a bitmap, in an error state, and the title module
// copes with it. Kept for the process.
// The preloaded render; read now when the preload did not finish in time,
// or when none ran (tests that build the catalog alone).
Gdiplus::Bitmap* SectionPicture(const std::wstring& installDir, const wchar_t* name, int dpi) {
    const std::string key = ToUtf8(name);
    if (Gdiplus::Bitmap* kept = FindNamedImageForDpi(key.c_str(), dpi)) return kept;
    return LoadPicture(installDir, ScaledPictureName(key, NearestPictureScale(dpi)));
}

BASObserveData ZeroedRecord() {
    BASObserveData record;
    std::memset(&record, 0, sizeof record);
    return record;
}

// Asks the module of one section for its pane and lists it. The recovery
// block carries the icon, the toolkit block does not.
class PaneSender {
public:
    PaneSender(HWND view, HICON icon) : view_(view), dpi_(DpiForWindow(view)), installDir_(InstallDir()) {
        RECT client{};
        GetClientRect(view, &client);
        recoveryBlock_ = RecoveryPlacement(client, icon, dpi_);
        toolkitBlock_ = ToolkitPlacement(client, dpi_);
    }

    void Send(const SectionPlan& plan, const ModuleRecord& module) {
        Gdiplus::Bitmap* picture = SectionPicture(installDir_, plan.picture, dpi_);
        if (!plan.reusesRecord) {
            record_ = ZeroedRecord();
            record_.command = module.createCommand.c_str();
            record_.data = plan.module == SectionModule::Recovery ? static_cast<void*>(&recoveryBlock_)
                                                                  : static_cast<void*>(&toolkitBlock_);
            record_.wideText = const_cast<wchar_t*>(title_.c_str());
        }
        record_.value = plan.value;
        record_.window = view_;
        HostSend(&record_);
        entries_.push_back({wxGetTranslation(plan.title), record_.window, picture});
    }

    BASPaneList List() { return {static_cast<uint32_t>(entries_.size()), entries_.data()}; }

private:
    HWND view_;
    int dpi_;
    std::wstring installDir_;
    std::wstring title_ = ProductIdentity::ProductTitle();
    BASIconPlacement recoveryBlock_{};
    BASPlacement toolkitBlock_{};
    BASObserveData record_ = ZeroedRecord();
    std::vector<BASPaneEntry> entries_;
};

void SendTitle(HWND view, HICON icon, const ModuleRecord& module, BASPaneList* panes) {
    RECT client{};
    GetClientRect(view, &client);
    BASIconPlacement block = TitlePlacement(client, icon, DpiForWindow(view));
    const std::string version = ProductIdentity::VersionUtf8();
    const std::wstring title = ProductIdentity::ProductTitle();
    BASObserveData record = ZeroedRecord();
    record.command = module.createCommand.c_str();
    record.window = view;
    record.data = &block;
    record.object = panes;
    record.arg = version.c_str();
    record.wideText = const_cast<wchar_t*>(title.c_str());
    HostSend(&record);
}

void SendIdentity(HWND view, const ModuleRecord& module) {
    const std::string identity = IdentityJson(ProductIdentity::ProductTitleUtf8(), ProductIdentity::VersionUtf8(),
                                              ProductIdentity::MakerNameUtf8());
    BASObserveData record = ZeroedRecord();
    record.command = module.createCommand.c_str();
    record.window = view;
    record.data = const_cast<char*>(identity.c_str());
    HostSend(&record);
}

}  // namespace

std::vector<SectionPlan> PlanSections(bool recoveryLoaded, bool toolkitLoaded, int completeVersion) {
    std::vector<SectionPlan> plans;
    if (recoveryLoaded) {
        plans.push_back({SectionModule::Recovery, L"Phone Rescue", L"phone-rescue.png", 0, false});
        // The card pane comes from the same module, asked a second time in
        // the same record with value 1.
        if (completeVersion != 0)
            plans.push_back({SectionModule::Recovery, L"Card Rescue", L"card-rescue.png", 1, true});
    }
    if (toolkitLoaded) plans.push_back({SectionModule::Toolkit, L"Multi Toolbox", L"multi-toolbox.png", 0, false});
    return plans;
}

BASIconPlacement RecoveryPlacement(const RECT& viewClient, HICON icon, int dpi) {
    return {icon, viewClient.left, ScaleToDpi(LUMAREST_PANE_TOP, dpi), viewClient.right, viewClient.bottom};
}

BASPlacement ToolkitPlacement(const RECT& viewClient, int dpi) {
    return {viewClient.left, ScaleToDpi(LUMAREST_PANE_TOP, dpi), viewClient.right, viewClient.bottom};
}

BASIconPlacement TitlePlacement(const RECT& viewClient, HICON icon, int dpi) {
    return {icon, viewClient.left, viewClient.top, viewClient.right, ScaleToDpi(LUMAREST_TITLE_BAND_BOTTOM, dpi)};
}

std::string IdentityJson(const std::string& alias, const std::string& version, const std::string& brand) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.StartObject();
    writer.Key("alias");
    writer.String(alias.c_str(), static_cast<rapidjson::SizeType>(alias.size()));
    writer.Key("version");
    writer.String(version.c_str(), static_cast<rapidjson::SizeType>(version.size()));
    writer.Key("brand");
    writer.String(brand.c_str(), static_cast<rapidjson::SizeType>(brand.size()));
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

CatalogModules FindCatalogModules(const LoadedModules& modules) {
    return {modules.FindModule(L"Recovery"), modules.FindModule(L"Toolkit"), modules.FindModule(L"Title"),
            modules.FindModule(L"Comm")};
}

void SendCatalog(HWND view, HICON icon, const CatalogModules& modules, int completeVersion) {
    PaneSender panes(view, icon);
    for (const SectionPlan& plan :
         PlanSections(modules.recovery != nullptr, modules.toolkit != nullptr, completeVersion))
        panes.Send(plan, *(plan.module == SectionModule::Recovery ? modules.recovery : modules.toolkit));
    if (modules.title) {
        // The list lives only during this send; the title module copies it.
        BASPaneList list = panes.List();
        SendTitle(view, icon, *modules.title, &list);
    }
    if (modules.comm) SendIdentity(view, *modules.comm);
}

HICON BuildProductCatalog(HWND view, const LoadedModules& modules) {
    HICON icon = static_cast<HICON>(LoadImageW(HostInstance(), MAKEINTRESOURCEW(kAppIconResource), IMAGE_ICON,
                                               kAppIconSize, kAppIconSize, LR_DEFAULTCOLOR));
    SendCatalog(view, icon, FindCatalogModules(modules), CompleteVersionNumber());
    return icon;
}
