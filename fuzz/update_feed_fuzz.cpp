// The update feed and its envelope as any text: the releases a feed gives are
// plain versions newer than the current one, newest first, and the notes
// made from them are JSON that the host's reader takes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "JsonText.h"
#include "fuzz_input.h"
#include "update_feed.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = fuzz::Text(data, size);
    comm::SignedFeed envelope;
    comm::ReadSignedFeed(text, envelope);

    std::vector<comm::Release> newer;
    if (comm::ReadNewerReleases(text, "4.4.39", newer) == comm::FeedReading::Read) {
        for (size_t i = 0; i < newer.size(); ++i) {
            fuzz::Require(comm::IsPlainVersion(newer[i].version));
            fuzz::Require(comm::CompareVersions(newer[i].version, "4.4.39") > 0);
            if (i > 0) fuzz::Require(comm::CompareVersions(newer[i - 1].version, newer[i].version) >= 0);
        }
        rapidjson::Document notes;
        std::string error;
        fuzz::Require(json_text::Parse(notes, comm::ReleaseNotesJson(newer), error));
    }

    comm::ReadFeedAddress(text);
    const auto [base, url] = fuzz::TwoTexts(data, size);
    comm::ResolveAddress(base, url);
    return 0;
}
