#include "language_choice.h"

#include "BASUserDefaults.h"
#include "I18n.h"

namespace {

constexpr const wchar_t* kCatalogs[kLanguageCount] = {
    L"I18n\\zh_CN\\Language.mo", L"I18n\\zh_TW\\Language.mo", L"I18n\\de\\Language.mo",
    L"I18n\\en\\Language.mo",    L"I18n\\fr\\Language.mo",    L"I18n\\it\\Language.mo",
    L"I18n\\es\\Language.mo",    L"I18n\\pt\\Language.mo",    L"I18n\\ja\\Language.mo",
};

}  // namespace

const wchar_t* LanguageCatalogPath(int index) {
    return index >= 0 && index < kLanguageCount ? kCatalogs[index] : nullptr;
}

int LanguageIndexForLangId(LANGID id) {
    switch (id & 0xFF) {
    case 0x04: return (id & 0x1FE) == 0x004 ? 0 : 1;
    case 0x07: return 2;
    case 0x0A: return 6;
    case 0x0C: return 4;
    case 0x10: return 5;
    case 0x11: return 8;
    case 0x16: return 7;
    default: return kDefaultLanguageIndex;
    }
}

LanguageChoice ChooseLanguage(const BASUserDefaults* standardStore, LANGID userLanguage) {
    if (standardStore && standardStore->HasMember("language")) return {standardStore->GetInt("language"), true};
    return {LanguageIndexForLangId(userLanguage), false};
}

bool InstallLanguage(int index, const std::wstring& installDir) {
    I18nLocale* locale = CreateLocale(index);
    const wchar_t* catalog = LanguageCatalogPath(index);
    return catalog && locale->LoadCatalog((installDir + catalog).c_str());
}
