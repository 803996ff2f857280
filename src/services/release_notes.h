// The text of the update list built from the release notes that the
// communication plug-in hands over: pure, so the rules can be tested without
// windows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct ReleaseNotes {
    std::wstring text;           // what the notes box shows, lines ended by "\r\n"
    std::wstring newestVersion;  // the first element's "version"
};

// Builds the notes from json, a JSON array of {"version", "descriptions"},
// newest first. Each element gives versionLabel + its version and one line
// per description string; a blank line follows element i while i + 1 is
// below count (the plug-in's number of newer versions). Nothing (nullopt)
// when the text is null, does not parse, is nested too deeply, is not an
// array, or no element is an object with a string "version"; a later element
// without one gives an empty version text.
std::optional<ReleaseNotes> BuildReleaseNotes(const char* json, int64_t count, const std::wstring& versionLabel);
