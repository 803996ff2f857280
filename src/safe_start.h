// The safe start: when a plug-in crashed the last run, or a start never
// finished inside a plug-in's "RegisterModule", the next start asks once
// whether to start without that plug-in this time. A marker file of its own,
// beside the user's settings store (not in that store, and not in the report
// folder, which a crash report cleans), remembers the plug-in's folder name.
#pragma once

#include <optional>
#include <string>

#include "UniqueResource.h"

struct StartMarker {
    std::wstring plugin;   // the module folder's name
    bool crashed = false;  // true: a crash in the plug-in; false: a start it never let finish
};

// The marker's text, and reading it back; nullopt for anything else.
std::string StartMarkerText(const StartMarker& marker);
std::optional<StartMarker> ParseStartMarker(const std::string& text);

// The marker file of this user and product: beside the settings store.
std::wstring StartMarkerPath();
// Writes, replacing what was there; false when the file cannot be written.
bool WriteStartMarker(const std::wstring& path, const StartMarker& marker);
// Reads and removes the marker: it is asked about once.
std::optional<StartMarker> TakeStartMarker(const std::wstring& path);

// The marker through the plug-ins' loading: one open file whose text each
// plug-in's name replaces in place before its "RegisterModule", instead of a
// new file per plug-in. What is written is in the system's file cache, so a
// start that dies or hangs still leaves it. The file is open for others to
// write and delete: the crash report writes its own marker over it.
class StartMarkerWriter {
public:
    explicit StartMarkerWriter(std::wstring path) : path_(std::move(path)) {}
    StartMarkerWriter(const StartMarkerWriter&) = delete;
    StartMarkerWriter& operator=(const StartMarkerWriter&) = delete;

    // Replaces the file's text with marker's, opening the file the first
    // time; false when it cannot be written.
    bool Write(const StartMarker& marker);
    // Closes and removes the file: every plug-in's start got through.
    void Finish();

private:
    std::wstring path_;
    UniqueHandle file_;
};
