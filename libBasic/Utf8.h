// The host's one conversion between UTF-8 (command names, manifests, JSON,
// logs) and UTF-16 (everything the host shows or passes to Windows).
#pragma once

#include <optional>
#include <string>
#include <string_view>

std::string ToUtf8(std::wstring_view text);
// Malformed input becomes U+FFFD, as Windows converts it.
std::wstring FromUtf8(std::string_view text);
// Nothing for malformed input: for texts that must be refused, not patched.
std::optional<std::wstring> FromUtf8Strict(std::string_view text);
