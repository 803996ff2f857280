// The update feed that the "Comm" module reads over HTTP, and the release
// notes it hands the host. Window-free and network-free, so it is tested
// directly.
//
// Feed: {"versions": [{"version": "4.4.40", "descriptions": ["..."],
//        "installer": {"url": "...", "size": 1234, "sha256": "<64 hex>"}}, ...]}
// in any order. Settings: {"feed": "<address of the feed>"}.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace comm {

struct Installer {
    std::string url;
    uint64_t size = 0;
    std::string sha256;  // 64 lowercase hex digits, or empty when the feed gave none
};

struct Release {
    std::string version;
    std::vector<std::string> descriptions;
    Installer installer;
};

// Compares dotted versions number by number ("4.4.100" is newer than
// "4.4.39"); a missing number counts as 0, so "4.5" equals "4.5.0".
// Negative, zero or positive like strcmp.
int CompareVersions(const std::string& a, const std::string& b);

// The releases of feedText newer than current, newest first. False when the
// text is not a feed: not JSON, nested absurdly deep, or without a
// "versions" array. Elements without a string "version" are skipped.
bool ReadNewerReleases(const std::string& feedText, const std::string& current, std::vector<Release>& newer);

// The release notes for the host: a JSON array of {"version","descriptions"}
// in the order given.
std::string ReleaseNotesJson(const std::vector<Release>& releases);

// The "feed" member of the settings text; empty when the text does not
// parse or has no such string.
std::string ReadFeedAddress(const std::string& settingsText);

}  // namespace comm
