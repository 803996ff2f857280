// The update feed that the "Comm" module reads over HTTP, and the release
// notes it hands the host. Window-free and network-free, so it is tested
// directly.
//
// The feed file is an envelope signed as a whole:
//   {"key": "<64 hex: public key>", "signature": "<128 hex: Ed25519 over the
//    UTF-8 bytes of text>", "text": "<the feed text>"}
// and its text lists the releases in any order:
//   {"versions": [{"version": "4.4.40", "descriptions": ["..."],
//     "installer": {"url": "...", "size": 1234, "sha256": "<64 hex>",
//                   "signature": "<128 hex: Ed25519ph over the installer>"}}]}
// An installer "url" without a scheme is relative to the feed's address.
// Settings: {"feed": "<address of the feed>"}.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace comm {

struct Installer {
    std::string url;
    uint64_t size = 0;
    std::string sha256;     // 64 lowercase hex digits, or empty when the feed gave none
    std::string signature;  // 128 hex digits, or empty
};

struct Release {
    std::string version;
    std::vector<std::string> descriptions;
    Installer installer;
};

// What a feed text came to.
enum class FeedReading {
    Read,      // a feed; its releases are in the list
    NotAFeed,  // not JSON, nested absurdly deep, or without a "versions" array
    BadEntry,  // a feed with an element that is refused (see IsPlainVersion)
};

// A signed feed file taken apart; nothing is checked here but its shape.
struct SignedFeed {
    std::string key;        // hex, as written
    std::string signature;  // hex, as written
    std::string text;
};

// The longest version text a feed may give; longer is not a version.
constexpr size_t kMaxVersionLength = 24;

// A version is 1 to kMaxVersionLength characters of dot-separated numbers
// ("4.4.40"): no other character, no empty number, at most 9 digits each.
// Only such a text becomes part of a file name or reaches a window.
bool IsPlainVersion(const std::string& version);

// Compares dotted versions number by number ("4.4.100" is newer than
// "4.4.39"); a missing number counts as 0, so "4.5" equals "4.5.0".
// Negative, zero or positive like strcmp.
int CompareVersions(const std::string& a, const std::string& b);

// The envelope of a feed file; false when the file is not one (no string
// "key", "signature" or "text").
bool ReadSignedFeed(const std::string& fileText, SignedFeed& feed);

// The releases of feedText newer than current, newest first. Any element
// that is not an object with a plain version refuses the whole feed: a feed
// that lies about one version is trusted for none.
FeedReading ReadNewerReleases(const std::string& feedText, const std::string& current, std::vector<Release>& newer);

// The release notes for the host: a JSON array of {"version","descriptions"}
// in the order given.
std::string ReleaseNotesJson(const std::vector<Release>& releases);

// The "feed" member of the settings text; empty when the text does not
// parse or has no such string.
std::string ReadFeedAddress(const std::string& settingsText);

// url as an absolute address: as it is when it names a scheme ("http:" or
// "https:"), else taken relative to the folder of base (the feed's address).
std::string ResolveAddress(const std::string& base, const std::string& url);

}  // namespace comm
