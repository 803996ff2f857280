#include "JsonText.h"

#include <rapidjson/error/en.h>

namespace json_text {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The deepest nesting of arrays and objects, counted without parsing;
// brackets inside strings do not count. Stops once past limit.
int NestingDepth(std::string_view text, int limit) {
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    bool escaped = false;
    for (char c : text) {
        if (inString) {
            if (escaped) escaped = false;
            else if (c == '\\') escaped = true;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > deepest && (deepest = depth) > limit) return deepest;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return deepest;
}

}  // namespace

bool Parse(rapidjson::Document& document, std::string_view text, std::string& error) {
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
    if (NestingDepth(text, kMaxDepth) > kMaxDepth) {
        error = "nested deeper than " + std::to_string(kMaxDepth) + " levels";
        document.SetNull();
        return false;
    }
    document.Parse<rapidjson::kParseIterativeFlag>(text.data(), text.size());
    if (!document.HasParseError()) return true;
    error = std::string(rapidjson::GetParseError_En(document.GetParseError())) + " (offset " +
            std::to_string(document.GetErrorOffset()) + ")";
    return false;
}

}  // namespace json_text
