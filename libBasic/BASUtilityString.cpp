#include "BASUtility.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string_view>

namespace {

wchar_t* MultiByteToNewWide(UINT codePage, const char* text) {
    if (!text) text = "";
    int units = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (units <= 0) units = 1;
    auto* out = static_cast<wchar_t*>(calloc(units, sizeof(wchar_t)));
    if (out && units > 1) MultiByteToWideChar(codePage, 0, text, -1, out, units);
    return out;
}

char* WideToNewMultiByte(UINT codePage, const wchar_t* text) {
    if (!text) text = L"";
    int bytes = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) bytes = 1;
    auto* out = static_cast<char*>(calloc(bytes, 1));
    if (out && bytes > 1) WideCharToMultiByte(codePage, 0, text, -1, out, bytes, nullptr, nullptr);
    return out;
}

// One dotted field split into its leading number (without leading zeros)
// and whatever follows it, so "10" > "9" by length and "2b" > "2a" by text.
struct VersionField {
    std::string_view digits;
    std::string_view rest;
};

VersionField TakeField(std::string_view& text) {
    size_t end = text.find('.');
    std::string_view field = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    size_t numberEnd = 0;
    while (numberEnd < field.size() && field[numberEnd] >= '0' && field[numberEnd] <= '9') ++numberEnd;
    std::string_view digits = field.substr(0, numberEnd);
    while (!digits.empty() && digits.front() == '0') digits.remove_prefix(1);
    return {digits, field.substr(numberEnd)};
}

int Sign(int v) { return (v > 0) - (v < 0); }

}  // namespace

wchar_t* BASUtilityString::ConvertUtf8ToUnicode(const char* text) { return MultiByteToNewWide(CP_UTF8, text); }

char* BASUtilityString::ConvertUnicodeToUtf8(const wchar_t* text) { return WideToNewMultiByte(CP_UTF8, text); }

char* BASUtilityString::ConvertUtf8ToAnsi(const char* text) {
    wchar_t* wide = ConvertUtf8ToUnicode(text);
    char* ansi = WideToNewMultiByte(CP_ACP, wide);
    free(wide);
    return ansi;
}

wchar_t* BASUtilityString::Format(const wchar_t* format, ...) {
    if (!format) format = L"";
    va_list args;
    va_start(args, format);
    va_list probe;
    va_copy(probe, args);
    int units = _vscwprintf(format, probe);
    va_end(probe);
    if (units < 0) units = 0;
    auto* out = static_cast<wchar_t*>(calloc(units + 1, sizeof(wchar_t)));
    if (out) _vsnwprintf(out, units + 1, format, args);
    va_end(args);
    return out;
}

int BASUtilityString::CompareVersion(const char* first, const char* second) {
    std::string_view a = first ? first : "";
    std::string_view b = second ? second : "";
    while (!a.empty() || !b.empty()) {
        VersionField x = TakeField(a);
        VersionField y = TakeField(b);
        if (x.digits.size() != y.digits.size()) return x.digits.size() < y.digits.size() ? -1 : 1;
        if (int c = x.digits.compare(y.digits)) return Sign(c);
        if (int c = x.rest.compare(y.rest)) return Sign(c);
    }
    return 0;
}

void BASUtilityString::Free(void* block) { free(block); }
