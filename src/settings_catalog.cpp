#include "settings_catalog.h"

#include <atomic>
#include <future>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "BASUserDefaults.h"
#include "BASUtility.h"
#include "GdiplusInclude.h"
#include "Utf8.h"
#include "app_lifecycle.h"
#include "dpi_scale.h"
#include "common/logging.h"
#include "host_state.h"
#include "language_choice.h"
#include "product_identity.h"
#include "raw_picture.h"

const std::array<const char*, 21> kCatalogUrlKeys = {
    "url:help",
    "url:support",
    "url:feedback",
    "url:question",
    "url:brand",
    "url:product",
    "url:facebook",
    "url:twitter",
    "url:google",
    "url:root",
    "url:driver",
    "url:history",
    "url:apk_url",
    "url:android:not:recognize:support",
    "url:itunes",
    "email:support",
    "url:android:usb:debug:faq",
    "url:android:usb:connect:fail",
    "url:android:factory:reset",
    "url:root:grant",
    "url:what_is_sdcard",
};

const std::array<const char*, 8> kPreloadedImages = {
    "close-normal.png", "close-pressed.png", "alert.png",       "preview-edit.png",
    "application.png",  "phone-rescue.png",  "card-rescue.png", "multi-toolbox.png",
};

namespace {

struct SettingsState {
    int languageIndex = kDefaultLanguageIndex;
    int productType = 0;
    bool busTrace = false;
    std::wstring deviceServerPath;
    std::wstring deviceServicePath;
    // What start-up decided before glog was running; written to the log by
    // InitImagesAndLanguage.
    std::vector<std::string> pendingNotes;
};

SettingsState& Settings() {
    static SettingsState state;
    return state;
}

// Never destroyed: plug-ins may hold a URL or a bitmap until the process
// ends, also while static objects are being torn down.
struct NamedTables {
    std::map<std::string, std::string, std::less<>> urls;
    std::map<std::string, Gdiplus::Bitmap*, std::less<>> images;
    // Valid from the start of a background preload: the image table is read
    // only once it is ready.
    std::shared_future<void> imagesPreloading;
};

NamedTables& Tables() {
    static NamedTables* const tables = new NamedTables;
    return *tables;
}

void Note(std::string text) { Settings().pendingNotes.push_back(std::move(text)); }

std::wstring TakeWide(wchar_t* block) {
    std::wstring out = block ? block : L"";
    BASUtilityString::Free(block);
    return out;
}

// A store's text, which is null for a missing key.
std::wstring Wide(const char* utf8) { return FromUtf8(utf8 ? utf8 : ""); }

bool FileExistsOnDisk(const std::wstring& path) { return BASUtilityFile::IsFileExist(path.c_str()); }

// The per-user data folder + maker + "\": where a suite keeps its products.
std::wstring AppDataBase() { return TakeWide(BASUtilitySys::GetAppDataDir()) + ProductIdentity::MakerName() + L"\\"; }

// Steps 2 to 4 of reading the host configuration, on its loaded store.
HostConfigOutcome AcceptDevicePaths(const BASUserDefaults& store, const std::wstring& path) {
    if (!store.HasMember("ANDROID_SERVER_PATH")) {
        Note("Host configuration " + ToUtf8(path) + " has no ANDROID_SERVER_PATH; no device paths");
        return HostConfigOutcome::NoServerPath;
    }
    const std::wstring server = Wide(store.GetString("ANDROID_SERVER_PATH"));
    const std::wstring service = Wide(store.GetString("ANDROID_SERVICE_PATH"));
    const bool serverExists = FileExistsOnDisk(server);
    const bool serviceExists = FileExistsOnDisk(service);
    if (!serverExists || !serviceExists) {
        Note("Host configuration " + ToUtf8(path) + " refused: server file \"" + ToUtf8(server) + "\" " +
             (serverExists ? "exists" : "is missing") + ", service file \"" + ToUtf8(service) + "\" " +
             (serviceExists ? "exists" : "is missing"));
        return HostConfigOutcome::MissingFiles;
    }
    Settings().deviceServerPath = server;
    Settings().deviceServicePath = service;
    Note("Host configuration " + ToUtf8(path) + " accepted: server " + ToUtf8(server) + ", service " + ToUtf8(service));
    return HostConfigOutcome::Accepted;
}

}  // namespace

std::wstring InstallDir() { return TakeWide(BASUtilityApp::GetProductInstallDir()); }

void SetNamedUrl(const char* key, const char* text) {
    if (key) Tables().urls.insert_or_assign(key, text ? text : "");
}

const char* FindNamedUrl(const char* key) {
    if (!key) return "";
    const auto& urls = Tables().urls;
    const auto it = urls.find(std::string_view(key));
    return it == urls.end() ? "" : it->second.c_str();
}

void SetNamedImage(const char* key, Gdiplus::Bitmap* bitmap) {
    if (key) Tables().images.insert_or_assign(key, bitmap);
}

bool WaitForPreloadedImages() {
    const std::shared_future<void>& preload = Tables().imagesPreloading;
    // Once a look-up has waited in vain, the others only look: a stuck
    // worker costs the user one wait, not one per dialog.
    static std::atomic_flag waitedInVain;
    const auto wait = waitedInVain.test() ? std::chrono::milliseconds(0) : kImagePreloadWait;
    if (!preload.valid() || preload.wait_for(wait) == std::future_status::ready) return true;
    if (!waitedInVain.test_and_set())
        LOG(ERROR) << "The pictures were not decoded within " << kImagePreloadWait.count()
                   << " ms; dialogs go without them";
    return false;
}

Gdiplus::Bitmap* FindNamedImage(const char* key) {
    if (!key || !WaitForPreloadedImages()) return nullptr;
    const auto& images = Tables().images;
    const auto it = images.find(std::string_view(key));
    return it == images.end() ? nullptr : it->second;
}

int LanguageIndex() { return Settings().languageIndex; }
void SetLanguageIndex(int index) { Settings().languageIndex = index; }
int ProductType() { return Settings().productType; }
bool BusTraceInCatalog() { return Settings().busTrace; }
const std::wstring& DeviceServerPath() { return Settings().deviceServerPath; }
const std::wstring& DeviceServicePath() { return Settings().deviceServicePath; }

bool LoadResourceCatalog(const std::wstring& installDir) {
    const std::wstring path = installDir + L"Option.json";
    Settings().productType = 0;
    Settings().busTrace = false;
    BASUserDefaults* store =
        BASUserDefaults::InitUserDefaults("url", path.c_str()) ? BASUserDefaults::GetUserDefaults("url") : nullptr;
    if (!store) {
        Note("Resource catalog " + ToUtf8(path) + " not loaded (" + BASUserDefaults::LastInitError() +
             "): no URLs, product type 0, fallback colours");
        return false;
    }
    for (const char* key : kCatalogUrlKeys) SetNamedUrl(key, store->GetString(key));
    Settings().productType = store->GetInt("product:type");
    Settings().busTrace = store->GetInt("trace:bus") != 0;
    Note("Resource catalog " + ToUtf8(path) + " loaded, product type " + std::to_string(Settings().productType));
    return true;
}

HostConfigOutcome ReadHostConfiguration(const std::wstring& path) {
    Settings().deviceServerPath.clear();
    Settings().deviceServicePath.clear();
    if (!BASUserDefaults::InitUserDefaults("HOST", path.c_str())) {
        Note("Host configuration " + ToUtf8(path) + " could not be loaded (" + BASUserDefaults::LastInitError() +
             "); no device paths");
        return HostConfigOutcome::NotLoaded;
    }
    const HostConfigOutcome outcome = AcceptDevicePaths(*BASUserDefaults::GetUserDefaults("HOST"), path);
    // The two paths are all the host needs from this file.
    BASUserDefaults::DisposeUserDefaults("HOST");
    return outcome;
}

std::wstring PreferencesPath(const std::wstring& appDataBase, const std::wstring& installDir,
                             const FileExists& fileExists) {
    if (installDir.find(appDataBase) == std::wstring::npos) return {};
    // The first folder below the base: up to the backslash that ends it.
    const size_t end = installDir.find(L'\\', appDataBase.size() + 1);
    if (end == std::wstring::npos) return {};
    const std::wstring prefix = installDir.substr(0, end + 1);
    const std::wstring recommended = prefix + L"Preferences-Recommend.json";
    return fileExists(recommended) ? recommended : prefix + L"Preferences.json";
}

std::string ScaledPictureName(const std::string& name, int scalePercent) {
    const char* suffix = scalePercent == 150 ? "@1.5x" : scalePercent == 200 ? "@2x" : "";
    const size_t dot = name.rfind('.');
    if (!*suffix) return name;
    if (dot == std::string::npos) return name + suffix;
    return name.substr(0, dot) + suffix + name.substr(dot);
}

// The raw pixels the build made of the picture when they are there: decoding
// the PNG would load the system's image codecs.
Gdiplus::Bitmap* LoadPicture(const std::wstring& installDir, const std::string& name) {
    const std::wstring folder = installDir + L"Resources\\";
    if (Gdiplus::Bitmap* raw = LoadRawPicture(folder + Wide(RawPictureName(name).c_str()))) return raw;
    const std::wstring path = folder + Wide(name.c_str());
    auto* bitmap = new Gdiplus::Bitmap(path.c_str());
    if (const Gdiplus::Status status = bitmap->GetLastStatus(); status != Gdiplus::Ok) {
        LOG(ERROR) << "Image " << ToUtf8(path) << (FileExistsOnDisk(path) ? " cannot be decoded" : " is missing")
                   << " (GDI+ status " << status << ")";
        // Asking for the status cleared it; a bitmap made again from the
        // same file keeps the error state that tells its users it failed.
        delete bitmap;
        bitmap = new Gdiplus::Bitmap(path.c_str());
    }
    return bitmap;
}

Gdiplus::Bitmap* FindNamedImageForDpi(const char* key, int dpi) {
    if (!key) return nullptr;
    if (Gdiplus::Bitmap* render = FindNamedImage(ScaledPictureName(key, NearestPictureScale(dpi)).c_str()))
        return render;
    return FindNamedImage(key);
}

Gdiplus::Image* RenderForDpi(Gdiplus::Image* picture, int dpi) {
    if (!picture || NearestPictureScale(dpi) == 100 || !WaitForPreloadedImages()) return picture;
    for (const auto& [key, bitmap] : Tables().images)
        if (bitmap == picture) return FindNamedImageForDpi(key.c_str(), dpi);
    return picture;
}

void PreloadImages(const std::wstring& installDir) {
    for (const char* name : kPreloadedImages)
        for (int scale : {100, 150, 200}) {
            const std::string file = ScaledPictureName(name, scale);
            SetNamedImage(file.c_str(), LoadPicture(installDir, file));
        }
}

void InitSettings(const CommandLineArgs& args) {
    BASUserDefaults::InitStandardUserDefaults(ProductIdentity::MakerName().c_str(),
                                              ProductIdentity::ProductTitle().c_str());
    const BASUserDefaults* store = BASUserDefaults::StandardUserDefaults();
    if (store && !store->ReadError().empty())
        Note("Settings " + ToUtf8(store->Path()) + " refused (" + store->ReadError() + "); starting from defaults");
    const std::wstring installDir = InstallDir();
    LoadResourceCatalog(installDir);
    if (args.Count() >= 1) {
        Host().hostFileFlag = true;
        Host().hostConfigPath = args[0];
        ReadHostConfiguration(Host().hostConfigPath);
    } else if (ProductType() == 1) {
        Host().hostConfigPath = PreferencesPath(AppDataBase(), installDir, FileExistsOnDisk);
        Note("Host configuration path from the suite's preferences: \"" + ToUtf8(Host().hostConfigPath) + "\"");
    }
}

void PreloadImagesInBackground(const std::wstring& installDir) {
    Tables().imagesPreloading = std::async(std::launch::async, PreloadImages, installDir).share();
}

void InitImagesAndLanguage() {
    for (const std::string& note : Settings().pendingNotes) LOG(INFO) << note;
    Settings().pendingNotes.clear();

    const std::wstring installDir = InstallDir();
    PreloadImagesInBackground(installDir);

    const LANGID userLanguage = GetUserDefaultLangID();
    const LanguageChoice choice = ChooseLanguage(BASUserDefaults::StandardUserDefaults(), userLanguage);
    SetLanguageIndex(choice.index);
    const bool loaded = InstallLanguage(choice.index, installDir);
    if (choice.stored) LOG(INFO) << "Language index " << choice.index << " from the stored setting";
    else LOG(INFO) << "Language index " << choice.index << " from the user language 0x" << std::hex << userLanguage;
    LOG(INFO) << "Translation catalog for index " << choice.index << (loaded ? " installed" : " not installed");
}
