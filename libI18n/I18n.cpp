#include "I18n.h"

#ifndef GLOG_NO_ABBREVIATED_SEVERITIES
#define GLOG_NO_ABBREVIATED_SEVERITIES
#endif
#include <windows.h>
#include <glog/logging.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "MessageCatalog.h"

namespace {

// No catalog of this product comes near this; a larger file is not one.
constexpr long kMaxCatalogBytes = 16 * 1024 * 1024;

std::unique_ptr<I18nLocale>& CurrentLocale() {
    static std::unique_ptr<I18nLocale> locale;
    return locale;
}

std::string PathForLog(const wchar_t* path) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, path, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string out(size_t(size - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, path, -1, out.data(), size, nullptr, nullptr);
    return out;
}

// The whole file; false with a reason when it cannot be read or is
// implausibly large.
bool ReadFileBytes(const wchar_t* path, std::vector<uint8_t>* bytes, std::string* why) {
    const std::unique_ptr<FILE, int (*)(FILE*)> file(_wfopen(path, L"rb"), fclose);
    if (!file) {
        *why = "cannot be opened";
        return false;
    }
    const long size = fseek(file.get(), 0, SEEK_END) == 0 ? ftell(file.get()) : -1;
    if (size < 0 || size > kMaxCatalogBytes || fseek(file.get(), 0, SEEK_SET) != 0) {
        *why = "has an unreadable or implausible size";
        return false;
    }
    bytes->resize(size_t(size));
    if (fread(bytes->data(), 1, bytes->size(), file.get()) != bytes->size()) {
        *why = "cannot be read";
        return false;
    }
    return true;
}

// Strict UTF-8 to UTF-16: a malformed text yields nothing.
std::optional<std::wstring> WideFromUtf8(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), nullptr, 0);
    if (size <= 0) return std::nullopt;
    std::wstring out(size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), out.data(), size);
    return out;
}

}  // namespace

I18nLocale::I18nLocale(int language) : language_(language) {}

bool I18nLocale::LoadCatalog(const wchar_t* path) {
    if (!path) return false;
    std::vector<uint8_t> bytes;
    std::string why;
    if (!ReadFileBytes(path, &bytes, &why)) {
        LOG(INFO) << "Translation catalog " << PathForLog(path) << " " << why;
        return false;
    }
    const MessageCatalogParse parse = ParseMessageCatalog(bytes);
    if (!parse.ok) {
        LOG(ERROR) << "Translation catalog " << PathForLog(path) << " refused: " << parse.error;
        return false;
    }
    size_t malformed = 0;
    for (const auto& [english, translation] : parse.entries) {
        std::optional<std::wstring> key = WideFromUtf8(english);
        std::optional<std::wstring> value = WideFromUtf8(translation);
        if (key && value)
            translations_.insert_or_assign(std::move(*key), std::move(*value));
        else
            ++malformed;
    }
    if (malformed) LOG(ERROR) << "Translation catalog " << PathForLog(path) << ": " << malformed << " texts are not UTF-8";
    LOG(INFO) << "Translation catalog " << PathForLog(path) << " loaded: " << parse.entries.size() - malformed << " texts";
    return true;
}

const wchar_t* I18nLocale::FindTranslation(std::wstring_view english) const {
    auto it = translations_.find(english);
    return it == translations_.end() ? nullptr : it->second.c_str();
}

I18nLocale* CreateLocale(int language) {
    CurrentLocale() = std::make_unique<I18nLocale>(language);
    return CurrentLocale().get();
}

I18nLocale* wxGetLocale() { return CurrentLocale().get(); }

const wchar_t* wxGetTranslation(const wchar_t* english) {
    if (!english) return L"";
    const I18nLocale* locale = wxGetLocale();
    const wchar_t* translation = locale ? locale->FindTranslation(english) : nullptr;
    return translation ? translation : english;
}
