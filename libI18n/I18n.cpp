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
#include "UniqueResource.h"
#include "Utf8.h"

namespace {

// No catalog of this product comes near this; a larger file is not one.
constexpr long kMaxCatalogBytes = 16 * 1024 * 1024;

std::unique_ptr<I18nLocale>& CurrentLocale() {
    static std::unique_ptr<I18nLocale> locale;
    return locale;
}

std::string PathForLog(const wchar_t* path) { return ToUtf8(path); }

// The whole file; false with a reason when it cannot be read or is
// implausibly large.
bool ReadFileBytes(const wchar_t* path, std::vector<uint8_t>* bytes, std::string* why) {
    const UniqueFile file(_wfopen(path, L"rb"));
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
        std::optional<std::wstring> key = FromUtf8Strict(english);
        std::optional<std::wstring> value = FromUtf8Strict(translation);
        if (key && value) translations_.insert_or_assign(std::move(*key), std::move(*value));
        else ++malformed;
    }
    if (malformed)
        LOG(ERROR) << "Translation catalog " << PathForLog(path) << ": " << malformed << " texts are not UTF-8";
    LOG(INFO) << "Translation catalog " << PathForLog(path) << " loaded: " << parse.entries.size() - malformed
              << " texts";
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
