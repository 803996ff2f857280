// A translated message filled with a text the host did not write: the
// result never grows by more than the cut value, whatever the format holds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "TextFormat.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte bounds the value, the second is the format's length in
    // UTF-16 units; the value follows the format.
    if (size < 2) return 0;
    const size_t maxValue = data[0];
    const std::string rest = fuzz::Text(data + 2, size - 2);
    const size_t formatBytes = std::min<size_t>(2 * data[1], rest.size());
    const std::wstring wideFormat = fuzz::Wide(rest.substr(0, formatBytes));
    const std::wstring wideValue = fuzz::Wide(rest.substr(formatBytes));
    const std::wstring out = FillInText(wideFormat, wideValue, maxValue);
    fuzz::Require(out.size() <= wideFormat.size() + std::min(wideValue.size(), maxValue) + 1);
    return 0;
}
