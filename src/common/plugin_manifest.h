// Reading a plug-in's "plugin.load" manifest and ordering its version
// folders: pure functions with no file or registry access, so the loader's
// decisions can be tested on their own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "module_record.h"

// A manifest that the loader may act on.
struct PluginManifest {
    // "path": the library, relative to the version folder, as written.
    std::string libraryPath;
    // Everything of the module record but `libraryPath`, which the loader
    // fills with the full path of the library it loaded.
    ModuleRecord record;
};

// The outcome of reading one manifest: either a manifest, or the reason it
// was refused. `parseError` tells the reader's own message apart from the
// loader's refusals.
struct ManifestReading {
    bool ok = false;
    bool parseError = false;
    std::string refusal;
    PluginManifest manifest;
};

// Parses a NUL-terminated manifest text with the JSON reader's default
// options. Refuses a text that does not parse, a root that is not an object,
// an "id" or "version" that is missing or not a string, and a "path" that is
// missing, not a string or leads out of the version folder. Optional keys of
// the wrong type are treated as absent; non-string entries of the name lists
// are skipped.
ManifestReading ParsePluginManifest(const char* text);

// True when a manifest "path" names a file at or below the version folder:
// not empty, not absolute, no drive letter or other colon (which would also
// open an alternate data stream), no UNC or device prefix, and no ".." that
// climbs above the folder. Components made only of dots and blanks other
// than "." and ".." are refused too, because Windows trims trailing dots and
// blanks and such a name could turn into "..".
bool LibraryPathStaysInside(std::string_view path);

// Orders version folder names, as listed, into the order in which they are
// tried: the first becomes the highest; each later one that ranks below the
// highest goes to the back, one that ranks equal or above goes to the front
// and becomes the highest (BASUtilityString::CompareVersion).
std::vector<std::string> OrderVersionCandidates(const std::vector<std::string>& listed);
