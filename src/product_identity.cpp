#include "product_identity.h"

#include <algorithm>

#include "Utf8.h"

namespace ProductIdentity {
namespace {
constexpr wchar_t kMaker[] = L"Zentrovia";
constexpr wchar_t kRawTitle[] = L"Zentrovia|Handset|Message|+|Contact|Rescue";
constexpr wchar_t kRawSecondTitle[] = L"Zentrovia|Handset|Companion";
constexpr wchar_t kBuildDate[] = L"Apr  2 2020";
}  // namespace

std::wstring DisplayTitle(const std::wstring& raw) {
    std::wstring title = raw;
    std::replace(title.begin(), title.end(), L'|', L' ');
    return title;
}

std::wstring LastWord(const std::wstring& text) {
    size_t end = text.find_last_not_of(L' ');
    if (end == std::wstring::npos) return {};
    size_t start = text.find_last_of(L' ', end);
    return text.substr(start == std::wstring::npos ? 0 : start + 1,
                       end - (start == std::wstring::npos ? 0 : start + 1) + 1);
}

std::wstring MakerName() { return kMaker; }
std::string MakerNameUtf8() { return ToUtf8(kMaker); }
std::wstring ProductTitle() { return DisplayTitle(kRawTitle); }
std::string ProductTitleUtf8() { return ToUtf8(ProductTitle()); }
std::wstring SecondTitle() { return DisplayTitle(kRawSecondTitle); }
std::wstring BuildYear() { return LastWord(kBuildDate); }

}  // namespace ProductIdentity
