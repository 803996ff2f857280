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

// What the update list shows of a feed at most: the version cut to a
// version's length, and notes that the list can hold and draw at once.
constexpr size_t kMaxShownVersion = 24;
constexpr size_t kMaxNoteLines = 60;
constexpr size_t kMaxNotesLength = 8000;

// text as one line fit to be shown: control characters (line breaks, the
// direction overrides and isolates, marks and other invisible formatting
// that could make "exe.live" read "evil.exe") removed, tabs made blanks, cut
// to at most limit UTF-16 units without splitting a character.
std::wstring ShownLine(const std::wstring& text, size_t limit);

// Builds the notes from json, a JSON array of {"version", "descriptions"},
// newest first. Each element gives versionLabel + its version and one line
// per description string; a blank line follows element i while i + 1 is
// below count (the plug-in's number of newer versions). Nothing (nullopt)
// when the text is null, does not parse, is nested too deeply, is not an
// array, or no element is an object with a string "version"; a later element
// without one gives an empty version text. Every text is made a ShownLine,
// the notes are cut after kMaxNoteLines lines or kMaxNotesLength units with
// a last line "…".
std::optional<ReleaseNotes> BuildReleaseNotes(const char* json, int64_t count, const std::wstring& versionLabel);
