// A plug-in's "plugin.load" manifest as any text: the reader refuses or fills
// a record, and a path it accepts never leads out of the version folder.
#include <cstddef>
#include <cstdint>

#include "fuzz_input.h"
#include "plugin_manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = fuzz::Text(data, size);
    const ManifestReading reading = ParsePluginManifest(text.c_str());
    if (reading.ok) fuzz::Require(LibraryPathStaysInside(reading.manifest.libraryPath));
    fuzz::Require(reading.ok || !reading.refusal.empty());
    LibraryPathStaysInside(text);
    return 0;
}
