// libI18n: the user interface's translations. One process-wide locale,
// made by CreateLocale at start-up, holds the texts of one language's
// message catalog; wxGetTranslation looks an English source text up in it.
//
// The locale is made on the main thread before any other thread runs and
// only read afterwards, so lookups from any thread need no lock.
#pragma once

#include <map>
#include <string>
#include <string_view>

class I18nLocale {
public:
    // language is the interface's language number; the locale only keeps it.
    explicit I18nLocale(int language);
    I18nLocale(const I18nLocale&) = delete;
    I18nLocale& operator=(const I18nLocale&) = delete;

    int GetLanguage() const { return language_; }

    // Adds the texts of the GNU message catalog (.mo) at path. A file that
    // cannot be read or is damaged is refused as a whole and logged; the
    // texts loaded before stay.
    bool LoadCatalog(const wchar_t* path);

    // The translation of english, or null when the catalogs lack it.
    const wchar_t* FindTranslation(std::wstring_view english) const;

private:
    int language_;
    std::map<std::wstring, std::wstring, std::less<>> translations_;
};

// Replaces the current locale with an empty one for language and returns
// it. Texts returned by the previous locale are no longer valid.
I18nLocale* CreateLocale(int language);

// The current locale, or null before CreateLocale.
I18nLocale* wxGetLocale();

// The UTF-16 translation of english in the current locale, or english
// itself when there is no locale or no translation. The result lives as
// long as the locale (or, untranslated, as the argument).
const wchar_t* wxGetTranslation(const wchar_t* english);
