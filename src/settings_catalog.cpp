#include "settings_catalog.h"

#include "BASUserDefaults.h"
#include "app_lifecycle.h"
#include "host_state.h"
#include "product_identity.h"

void InitSettings(const CommandLineArgs& args) {
    BASUserDefaults::InitStandardUserDefaults(ProductIdentity::MakerName().c_str(),
                                              ProductIdentity::ProductTitle().c_str());
    if (args.Count() >= 1) {
        Host().hostFileFlag = true;
        Host().hostConfigPath = args[0];
    }
}

namespace {
std::wstring deviceServerPath;
std::wstring deviceServicePath;
}  // namespace

const std::wstring& DeviceServerPath() { return deviceServerPath; }
const std::wstring& DeviceServicePath() { return deviceServicePath; }
