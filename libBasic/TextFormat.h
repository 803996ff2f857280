// Fills a translated message's "%s" with a text the host did not write
// itself (a plug-in's folder name, the product title), without printf: the
// result grows with the text, however long, and a catalog whose translation
// carries other conversions cannot make the formatting read past its
// arguments.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Replaces the first "%s" of format with value and each "%%" with "%"; any
// other '%' is kept as it stands. A value longer than maxValue characters is
// cut there and ends in an ellipsis, so one field cannot swamp its message.
std::wstring FillInText(std::wstring_view format, std::wstring_view value, size_t maxValue = 260);
