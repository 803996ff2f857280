// The product identity that the host hands the communication module: a
// compact JSON object {"alias":..,"version":..,"brand":..} of UTF-8 strings.
#pragma once

#include <string>

namespace comm {

struct Identity {
    std::string alias;
    std::string version;
    std::string brand;
};

// Reads the three members (escapes decoded, UTF-8 kept); false when the text
// is not such an object or a member is missing or not a string.
bool ParseIdentity(const std::string& text, Identity& identity);

}  // namespace comm
