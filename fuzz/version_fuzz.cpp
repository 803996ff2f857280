// Version texts: both comparisons are orders (reflexive and antisymmetric)
// on any two texts, and ordering version folders keeps every name.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "BASUtility.h"
#include "fuzz_input.h"
#include "plugin_manifest.h"
#include "update_feed.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto [a, b] = fuzz::TwoTexts(data, size);
    const int folders = BASUtilityString::CompareVersion(a.c_str(), b.c_str());
    fuzz::Require(folders == -BASUtilityString::CompareVersion(b.c_str(), a.c_str()));
    fuzz::Require(BASUtilityString::CompareVersion(a.c_str(), a.c_str()) == 0);

    const int feed = comm::CompareVersions(a, b);
    fuzz::Require((feed > 0) == (comm::CompareVersions(b, a) < 0));
    fuzz::Require(comm::CompareVersions(a, a) == 0);
    comm::IsPlainVersion(a);

    std::vector<std::string> listed;
    const std::string all = fuzz::Text(data, size);
    for (size_t begin = 0; begin <= all.size();) {
        const size_t end = std::min(all.find('\n', begin), all.size());
        listed.push_back(all.substr(begin, end - begin));
        begin = end + 1;
    }
    fuzz::Require(OrderVersionCandidates(listed).size() == listed.size());
    return 0;
}
