// The release notes a plug-in hands the host: any text and count give notes
// within the list's bounds or nothing, and every shown line keeps its limit.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_input.h"
#include "services/release_notes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int64_t count = static_cast<int8_t>(data[0]);
    const std::string json = fuzz::Text(data + 1, size - 1);
    if (const auto notes = BuildReleaseNotes(json.c_str(), count, L"Version ")) {
        // Each line and its "\r\n" fit, but the cut mark may follow the last one.
        fuzz::Require(notes->text.size() <= kMaxNotesLength + 3);
    }
    const size_t limit = data[0];
    fuzz::Require(ShownLine(fuzz::Wide(json), limit).size() <= limit);
    return 0;
}
