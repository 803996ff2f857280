#include "Utf8.h"

#include <windows.h>

namespace {
std::optional<std::wstring> Widen(std::string_view text, DWORD flags) {
    if (text.empty()) return std::wstring();
    const int size = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(CP_UTF8, flags, text.data(), size, nullptr, 0);
    if (units <= 0) return std::nullopt;
    std::wstring out(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, flags, text.data(), size, out.data(), units);
    return out;
}
}  // namespace

std::string ToUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(std::string_view text) { return Widen(text, 0).value_or(std::wstring()); }

std::optional<std::wstring> FromUtf8Strict(std::string_view text) { return Widen(text, MB_ERR_INVALID_CHARS); }
