// Reading JSON text that comes from outside the program: files a user or an
// editor wrote (settings, the resource catalog, manifests) and texts that
// plug-ins hand over. Such text may be hostile: nesting 60,000 levels deep
// fits in 60 KB and would overflow a recursive reader's stack, so depth is
// bounded before the reader runs, and the reader itself is iterative.
#pragma once

#include <rapidjson/document.h>

#include <string>
#include <string_view>

namespace json_text {

// Deeper nesting than any file or message of the product needs.
constexpr int kMaxDepth = 64;

// Parses text into document. A leading UTF-8 byte-order mark (which some
// editors write) is skipped. False, with the reason in error, for text that
// is nested deeper than kMaxDepth or does not parse.
bool Parse(rapidjson::Document& document, std::string_view text, std::string& error);

}  // namespace json_text
