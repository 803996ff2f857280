// The module's client of the update feed: where the feed is (the settings
// file "UpdateFeed.json" beside Comm.dll) and what it offers.
#pragma once

#include <string>
#include <vector>

#include "update_feed.h"

namespace comm {

// The releases newer than current, newest first. False when there is no
// feed setting, or the feed could not be fetched (refused, timed out, not
// status 200) or did not parse. Failures go to the debugger's output.
bool FetchNewerReleases(const std::string& current, std::vector<Release>& newer);

}  // namespace comm
