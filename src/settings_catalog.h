// Settings and the resource catalog: the standard store, the resource
// catalog "Option.json" with its URL table and product type, the host
// configuration with the device paths, the preloaded images and the
// language. Set up once during start-up on the main thread and read
// afterwards; only the language index changes later.
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <string>

class CommandLineArgs;

namespace Gdiplus {
class Bitmap;
class Image;
}  // namespace Gdiplus

// Start-up, before the log opens: creates the standard store and loads the
// resource catalog. The first command-line argument, when there is one,
// sets the host-file flag, becomes the host configuration path and is read
// as the host configuration (further arguments are ignored); with none and
// a product type of 1 the suite's preferences file becomes the path.
void InitSettings(const CommandLineArgs& args);

// Start-up, once GDI+ runs: preloads the images, chooses the language and
// installs its catalog, and logs what the settings decided.
void InitImagesAndLanguage();

// Process-wide values.
int LanguageIndex();
// Takes effect at the next start; the caller stores it as "language".
void SetLanguageIndex(int index);
// The catalog's "product:type"; 0 when the catalog is not loaded.
int ProductType();
// The catalog's "trace:bus" is a non-zero number: trace the bus as
// "--trace-bus" does. False when the catalog is not loaded.
bool BusTraceInCatalog();
// Accepted from the host configuration, else empty. The texts live for the
// process, so their pointers may be handed out.
const std::wstring& DeviceServerPath();
const std::wstring& DeviceServicePath();

// The URL and image tables that the host's handler answers look-ups from.
// The URLs are filled on the main thread during start-up, before the main
// frame and the plug-ins exist; the pictures by a worker of their own (see
// PreloadImagesInBackground), and every look-up waits until it is done.
// Only read afterwards, neither takes a lock. What they hand out stays valid
// until the process ends (unless the same key is set again, which only
// start-up and tests do).

// Keeps a private copy of text (an empty text for null) under key.
void SetNamedUrl(const char* key, const char* text);
// The kept text, or an empty text (never null) for a key never set.
const char* FindNamedUrl(const char* key);
// Keeps bitmap (owned by the table from then on) under key.
void SetNamedImage(const char* key, Gdiplus::Bitmap* bitmap);
// The kept bitmap, or null for a key never set (or while a preload that
// never ends keeps the table).
Gdiplus::Bitmap* FindNamedImage(const char* key);

// The kept render of key nearest to dpi's scale (see ScaledPictureName),
// or the plain one when that render is not kept; null as FindNamedImage.
Gdiplus::Bitmap* FindNamedImageForDpi(const char* key, int dpi);

// The render nearest to dpi's scale of a picture the table keeps (given as
// its plain render); the picture itself when it is not one of the table's.
Gdiplus::Image* RenderForDpi(Gdiplus::Image* picture, int dpi);

// The file of a picture's render at scalePercent (100, 150 or 200):
// "close-normal.png" at 150 is "close-normal@1.5x.png", at 200
// "close-normal@2x.png"; at 100 (or any other) the name itself.
std::string ScaledPictureName(const std::string& name, int scalePercent);

// The folder the product's files are installed in, ending in a backslash.
std::wstring InstallDir();

// The one place pictures are read: the raw pixels of installDir +
// "Resources\" + name (see raw_picture.h) when the build made them, else
// that file decoded by GDI+. A file that fails to load is logged and still
// gives a bitmap, in an error state that tells its users it failed. The
// caller owns it.
Gdiplus::Bitmap* LoadPicture(const std::wstring& installDir, const std::string& name);

// The catalog keys copied into the URL table, in this order.
extern const std::array<const char*, 21> kCatalogUrlKeys;
// The pictures of "Resources\" that start-up preloads into the image table.
extern const std::array<const char*, 8> kPreloadedImages;

// The steps behind the two start-up calls, with their folders passed in so
// that tests can give their own. installDir ends in a backslash.

// Loads installDir + "Option.json" as the store "url", copies the URL keys
// into the URL table and reads the product type. False when not loaded.
bool LoadResourceCatalog(const std::wstring& installDir);

enum class HostConfigOutcome { NotLoaded, NoServerPath, MissingFiles, Accepted };
// Reads the device paths from the host configuration file at path. They are
// kept only when both name existing files. The "HOST" store is disposed of.
HostConfigOutcome ReadHostConfiguration(const std::wstring& path);

// The suite's preferences file for an installation below appDataBase (the
// per-user data folder + maker + "\"): the first folder below the base +
// "Preferences-Recommend.json" when that exists, else + "Preferences.json";
// empty when installDir is not below the base.
using FileExists = std::function<bool(const std::wstring&)>;
std::wstring PreferencesPath(const std::wstring& appDataBase, const std::wstring& installDir,
                             const FileExists& fileExists);

// Enters a GDI+ bitmap for each of kPreloadedImages and its renders at 150
// and 200 percent, loaded with LoadPicture. The bitmaps live until the
// process ends.
void PreloadImages(const std::wstring& installDir);
// PreloadImages on a worker, so that the main window need not wait for the
// pictures; any look-up in the image table waits for it, the crash notice's
// too.
void PreloadImagesInBackground(const std::wstring& installDir);
// How long a look-up waits for the preload: a worker that faulted while it
// decoded must not keep the crash notice from showing.
inline constexpr std::chrono::milliseconds kImagePreloadWait{5000};
// True once a background preload is done (at once when none was started);
// false, logged once, when it is not done within kImagePreloadWait (after
// one such wait, the next calls do not wait). The
// close waits here, since the worker's bitmaps need GDI+ until it ends.
bool WaitForPreloadedImages();
