// What is wrong with a plug-in folder, told as findings: the host's loader
// logs the reason it skipped a version from here, and LumarestCheck reports
// the same findings to the plug-in's author, so a user's log and an author's
// check tell the same story. No windows, no loading: the checks read files.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "plugin_manifest.h"

// How much a finding matters, from what makes the host skip a plug-in (1) to
// what only a pedantic author wants to know (5).
enum class FindingLevel {
    Skipped = 1,   // the host does not load this version
    Harmful = 2,   // loaded, but it crashes or hangs the host
    Suffers = 3,   // loaded, but the host or the plug-in loses something
    Notice = 4,    // ignored by the host, probably not what the author meant
    Pedantic = 5,  // how the host will treat it, for the record
};

// "error", "fault", "warning", "notice", "remark".
const char* LevelName(FindingLevel level);

struct Finding {
    FindingLevel level = FindingLevel::Skipped;
    std::string code;     // stable, for machines: "manifest-parse", "import-missing", ...
    std::string message;  // what is wrong, naming the file, member or library
    std::string fix;      // what the author does about it
};

// Line and column (both from 1) of a byte offset into text.
struct TextPosition {
    size_t line = 1;
    size_t column = 1;
};
TextPosition PositionOfOffset(std::string_view text, size_t offset);

// Reads a manifest as the loader does, adding to findings what is wrong with
// it: a parse error with its line and column, a root that is not an object,
// required members that are missing or mistyped, a path that leaves the
// folder (all level 1), optional members of the wrong type (3) and unknown
// members (4). text is the manifest as read in text mode.
ManifestReading ReviewManifest(std::string_view text, std::vector<Finding>& findings);

// What the headers of an image file say, read from its bytes.
struct ImageFacts {
    std::string refusal;  // empty for a 32-bit x86 DLL; else why the host refuses the file
    std::string refusalCode;
    std::vector<std::string> exports;       // exported names
    std::vector<std::string> imports;       // DLLs loaded with the image
    std::vector<std::string> delayImports;  // DLLs loaded on first use
};
ImageFacts ReadImageFacts(const unsigned char* data, size_t size);

// Findings of the image's own: refused file (1), no or a decorated
// "RegisterModule" (1), a C runtime other than msvcrt.dll (3). file is the
// name shown in messages.
std::vector<Finding> ReviewImageFacts(const ImageFacts& facts, const std::string& file);

// Where the loader finds a plug-in library's dependencies: its own folder,
// the host's folder, the system folder. Each ends in a backslash.
struct LibrarySearch {
    std::wstring pluginFolder;
    std::wstring hostFolder;
    std::wstring systemFolder;
};
// The system folder filled in, the others as given.
LibrarySearch MakeLibrarySearch(const std::wstring& pluginFolder, const std::wstring& hostFolder);

// All static findings for one library file: whether it can be read, its
// image facts, and every imported DLL that cannot be found (1; 2 for one
// loaded on first use), following the DLLs found in the plug-in's or the
// host's folder to their own imports.
std::vector<Finding> ReviewLibrary(const std::wstring& path, const LibrarySearch& search);

// One version folder, reviewed.
struct VersionReview {
    std::string version;       // the folder's name, UTF-8
    bool hasManifest = false;  // a candidate for the loader
    ManifestReading reading;
    std::vector<Finding> findings;
    bool Loadable() const;  // no level-1 finding
};

// A whole module folder (ending in a backslash): its version folders in the
// order the loader tries them (folders without a manifest last), and the
// module's own findings (no version folder, none with a manifest, the order
// of versions).
struct ModuleReview {
    std::string module;
    std::vector<VersionReview> versions;
    std::vector<Finding> findings;
    // The version the host would load, or null.
    const VersionReview* Chosen() const;
};
ModuleReview ReviewModuleFolder(const std::wstring& folder, const std::wstring& hostFolder);

// A version folder's manifest, by name.
inline constexpr wchar_t kManifestName[] = L"plugin.load";
// A module's name: its folder's last component (trailing separators dropped).
std::wstring ModuleFolderName(std::wstring folder);
// The full path of the library that a manifest's "path" names inside
// versionFolder (which ends in a backslash).
std::wstring ManifestLibraryPath(const std::wstring& versionFolder, const std::string& path);

// The manifest file's text in text mode, as the loader reads it. Fails with
// found = false when there is no such file, with found = true when it exists
// but cannot be read.
struct ManifestFile {
    bool read = false;
    bool found = false;
    std::string text;
    unsigned long error = 0;
};
ManifestFile ReadManifestFile(const std::wstring& path);

// The finding the host logs for a version whose manifest it could not read.
Finding UnreadableManifest(const std::string& file, unsigned long error);
// The finding for a module folder without any version folder holding a manifest.
Finding NoCandidate(const std::string& module, bool anyVersionFolder);
// The finding for a library that exists and passed the checks but did not load.
Finding LoadFailed(const std::string& file, unsigned long error);
// One line for a log: "[code] message Fix: fix".
std::string DescribeFinding(const Finding& finding);
