// The product's fixed identity. Each getter returns a new string.
#pragma once

#include <string>

namespace ProductIdentity {

std::wstring MakerName();
std::string MakerNameUtf8();
// The display title with every '|' shown as a blank.
std::wstring ProductTitle();
std::string ProductTitleUtf8();
std::wstring SecondTitle();
// The version text, fixed per program at build time (product_version.cpp).
std::wstring Version();
std::string VersionUtf8();
// The last blank-separated word of the build date.
std::wstring BuildYear();

// Helpers behind the getters, kept apart so they can be tested.
std::wstring DisplayTitle(const std::wstring& raw);
std::wstring LastWord(const std::wstring& text);

}  // namespace ProductIdentity
