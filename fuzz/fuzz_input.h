// Turning a fuzzer's bytes into the kinds of input the parsers take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace fuzz {

// The bytes as a NUL-terminated text, as the host hands texts over.
inline std::string Text(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// Two texts, split at the first NUL (the second is empty when there is none).
inline std::pair<std::string, std::string> TwoTexts(const uint8_t* data, size_t size) {
    const std::string all = Text(data, size);
    const size_t split = all.find('\0');
    if (split == std::string::npos) return {all, {}};
    return {all.substr(0, split), all.substr(split + 1)};
}

// The bytes as UTF-16 units in wchar_t, two bytes each, as Windows holds
// wide text (on Linux wchar_t is wider, so any unit value can appear).
inline std::wstring Wide(std::string_view bytes) {
    std::wstring out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        out += static_cast<wchar_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8);
    return out;
}

// A finding of a broken rule, not of a sanitizer: the fuzzer reports a crash.
inline void Require(bool rule) {
    if (!rule) __builtin_trap();
}

}  // namespace fuzz
