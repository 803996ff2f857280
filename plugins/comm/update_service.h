// The module's client of the update feed: where the feed is (the settings
// file "UpdateFeed.json" beside Comm.dll), whether it is the product's
// (signed by a trusted key), and what it offers.
#pragma once

#include <string>
#include <vector>

#include "signature.h"
#include "update_feed.h"

namespace comm {

// How a fetch of the feed ended.
enum class FeedOutcome {
    Fetched,      // a verified feed; its newer releases are listed
    Unreachable,  // no feed setting, or no answer 200 within the deadlines
    Unverified,   // an answer that is not a feed signed by a trusted key, or one with a refused entry
    Untrusted,    // the feed's server had a certificate that the system refused
};

struct FeedReleases {
    std::vector<Release> newer;  // newer than the current version, newest first, addresses resolved
    PublicKey key{};             // the key that signed the feed; its installers must carry its signature
};

// Fetches and checks the feed. Failures go to the debugger's output.
FeedOutcome FetchNewerReleases(const std::string& current, FeedReleases& releases);

}  // namespace comm
