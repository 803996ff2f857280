// The user-interface language: the index of the language table, chosen at
// start-up from the stored setting or the user's language, and the
// translation catalog installed for it.
#pragma once

#include <windows.h>

#include <string>

class BASUserDefaults;

// Index: 0 zh_CN, 1 zh_TW, 2 de, 3 en, 4 fr, 5 it, 6 es, 7 pt, 8 ja.
constexpr int kDefaultLanguageIndex = 3;
constexpr int kLanguageCount = 9;

// The catalog below the installation folder for index ("I18n\de\Language.mo"),
// or null for an index outside the table.
const wchar_t* LanguageCatalogPath(int index);

// Maps a Windows language identifier by its primary-language byte. Chinese
// is told apart by (identifier AND 0x1FE) == 0x004, so that 0x0804 and
// 0x0404 both give index 0; languages outside the table give English.
int LanguageIndexForLangId(LANGID id);

struct LanguageChoice {
    int index = kDefaultLanguageIndex;
    bool stored = false;  // taken from the standard store's "language"
};

// The stored "language", unchanged, when standardStore has one (it may be
// null); otherwise the mapping of userLanguage.
LanguageChoice ChooseLanguage(const BASUserDefaults* standardStore, LANGID userLanguage);

// Makes the process's locale for index and loads its catalog from
// installDir (ending in a backslash). An index outside the table loads no
// catalog, leaving every text in English. True when a catalog was loaded.
bool InstallLanguage(int index, const std::wstring& installDir);
