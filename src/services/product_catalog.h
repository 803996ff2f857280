// The product catalog: right after the main frame has made its view, the
// host asks the recovery and toolkit modules for their panes, hands the
// resulting sections to the title module and tells the communication module
// who the product is. Modules are found by their fixed folder names; a
// module that is not loaded is skipped with its section.
#pragma once

#include <windows.h>

#include <lumarest/plugin.h>

#include <cstdint>
#include <string>
#include <vector>

class LoadedModules;
struct ModuleRecord;

// Loads the application icon (resource 128, 32 x 32) and sends the catalog
// modules their create commands; returns the icon, which the caller keeps
// for as long as the process runs (the panes may draw with it until the
// end). Called once, on the main thread, from the main frame's creation.
HICON BuildProductCatalog(HWND view, const LoadedModules& modules);

// ---- the steps behind it, free of the registry so that tests can drive them ----

enum class SectionModule { Recovery, Toolkit };

// One section of the catalog, before its module is asked for a pane.
struct SectionPlan {
    SectionModule module;
    const wchar_t* title;    // English name, translated when the pane is listed
    const wchar_t* picture;  // file name below the installation's "Resources\"
    int64_t value;           // `value` of the create record
    bool reusesRecord;       // sent in the previous section's record, not a fresh one
};

// The sections in list order: "Phone Rescue" when the recovery module is
// loaded, "Card Rescue" too when the complete-version number is not 0,
// then "Multi Toolbox" when the toolkit is loaded.
std::vector<SectionPlan> PlanSections(bool recoveryLoaded, bool toolkitLoaded, int completeVersion);

// The rows of plugin.h are at 96 DPI and scale with the view's dpi.
BASIconPlacement RecoveryPlacement(const RECT& viewClient, HICON icon, int dpi = 96);
BASPlacement ToolkitPlacement(const RECT& viewClient, int dpi = 96);
BASIconPlacement TitlePlacement(const RECT& viewClient, HICON icon, int dpi = 96);

// The compact JSON text {"alias":..,"version":..,"brand":..} (UTF-8 members).
std::string IdentityJson(const std::string& alias, const std::string& version, const std::string& brand);

// The four catalog modules; null where one is not loaded.
struct CatalogModules {
    const ModuleRecord* recovery = nullptr;
    const ModuleRecord* toolkit = nullptr;
    const ModuleRecord* title = nullptr;
    const ModuleRecord* comm = nullptr;
};
CatalogModules FindCatalogModules(const LoadedModules& modules);

// Steps 2 to 6 of the catalog for the given modules: the panes' create
// commands, then the title's with the pane list, then the identity.
void SendCatalog(HWND view, HICON icon, const CatalogModules& modules, int completeVersion);
