// The message catalog parser and the translation lookup built on it.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "I18n.h"
#include "MessageCatalog.h"
#include "test_files.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

void PutWord(std::string* out, size_t at, uint32_t value, bool bigEndian) {
    for (int i = 0; i < 4; ++i) {
        const int shift = bigEndian ? 24 - 8 * i : 8 * i;
        (*out)[at + i] = char((value >> shift) & 0xFF);
    }
}

// A catalog as msgfmt lays it out: header, the two string tables, then the
// NUL-terminated texts.
std::string BuildCatalog(const Entries& entries, bool bigEndian = false, uint32_t revision = 0) {
    const uint32_t count = uint32_t(entries.size());
    const size_t originals = 28, translations = originals + 8 * count;
    std::string out(translations + 8 * count, '\0');
    PutWord(&out, 0, 0x950412DE, bigEndian);
    PutWord(&out, 4, revision, bigEndian);
    PutWord(&out, 8, count, bigEndian);
    PutWord(&out, 12, uint32_t(originals), bigEndian);
    PutWord(&out, 16, uint32_t(translations), bigEndian);
    auto addText = [&](size_t table, size_t index, const std::string& text) {
        PutWord(&out, table + 8 * index, uint32_t(text.size()), bigEndian);
        PutWord(&out, table + 8 * index + 4, uint32_t(out.size()), bigEndian);
        out += text;
        out += '\0';
    };
    for (size_t i = 0; i < count; ++i) addText(originals, i, entries[i].first);
    for (size_t i = 0; i < count; ++i) addText(translations, i, entries[i].second);
    return out;
}

// Long enough that the later offsets need two bytes, so a word read with its
// bytes in the wrong order points elsewhere.
const Entries kGerman = {
    {"", "Content-Type: text/plain; charset=UTF-8\n"},
    {"Cancel", "Abbrechen"},
    {"Long", std::string(300, 'x')},
    {"Open",
     "\xC3\x96"
     "ffnen"},
    {std::string("file\0files", 10), std::string("Datei\0Dateien", 13)},
    {"Untranslated", ""},
};

// One entry with the texts first and the two tables last, the second
// ending at the file's last byte: a layout other writers than msgfmt use.
std::string TablesLast(const std::string& original, const std::string& translation) {
    std::string out(28, '\0');
    PutWord(&out, 0, 0x950412DE, false);
    PutWord(&out, 8, 1, false);
    out += original + '\0' + translation + '\0';
    const uint32_t originals = uint32_t(out.size());
    out.append(16, '\0');
    PutWord(&out, 12, originals, false);
    PutWord(&out, 16, originals + 8, false);
    PutWord(&out, originals, uint32_t(original.size()), false);
    PutWord(&out, originals + 4, 28, false);
    PutWord(&out, originals + 8, uint32_t(translation.size()), false);
    PutWord(&out, originals + 12, uint32_t(28 + original.size() + 1), false);
    return out;
}

MessageCatalogParse Parse(const std::string& bytes) {
    return ParseMessageCatalog({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
}

}  // namespace

TEST(MessageCatalogParser, ReadsBothByteOrdersKeepingSingularsAndSkippingEmptyTexts) {
    for (bool bigEndian : {false, true}) {
        const MessageCatalogParse parse = Parse(BuildCatalog(kGerman, bigEndian, 0x00010001));
        ASSERT_TRUE(parse.ok) << parse.error;
        EXPECT_EQ(parse.entries, (std::map<std::string, std::string>{{"Cancel", "Abbrechen"},
                                                                     {"Long", std::string(300, 'x')},
                                                                     {"Open",
                                                                      "\xC3\x96"
                                                                      "ffnen"},
                                                                     {"file", "Datei"}}))
            << (bigEndian ? "big-endian" : "little-endian");
    }
    const MessageCatalogParse last = Parse(TablesLast("Cancel", "Abbrechen"));
    ASSERT_TRUE(last.ok) << last.error;
    EXPECT_EQ(last.entries, (std::map<std::string, std::string>{{"Cancel", "Abbrechen"}}));
}

TEST(MessageCatalogParser, RefusesNewRevisionsOtherCharacterSetsAndBadMagic) {
    EXPECT_NE(Parse(BuildCatalog(kGerman, false, 0x00020000)).error.find("revision"), std::string::npos);
    Entries latin1 = kGerman;
    latin1[0].second = "Content-Type: text/plain; charset=ISO-8859-1\n";
    EXPECT_NE(Parse(BuildCatalog(latin1)).error.find("iso-8859-1"), std::string::npos);
    EXPECT_FALSE(Parse("msgid \"Cancel\"\nmsgstr \"Abbrechen\"\n").ok);
}

TEST(MessageCatalogParser, RefusesSizesAndOffsetsThatWrapOrPassTheEnd) {
    std::string bytes = BuildCatalog(kGerman);
    PutWord(&bytes, 8, 0x20000000, false);  // 8 * count wraps a 32-bit sum
    EXPECT_NE(Parse(bytes).error.find("string tables reach past the end"), std::string::npos);
    bytes = BuildCatalog(kGerman);
    const size_t translationTable = 28 + 8 * kGerman.size();
    PutWord(&bytes, translationTable + 8, 0x20, false);         // length of "Abbrechen"
    PutWord(&bytes, translationTable + 12, 0xFFFFFFF0, false);  // its offset
    EXPECT_FALSE(Parse(bytes).ok);
    const std::string whole = BuildCatalog(kGerman, true);
    // Only the final NUL may go: the format does not require reading it.
    for (size_t size = 0; size + 1 < whole.size(); ++size)
        ASSERT_FALSE(Parse(whole.substr(0, size)).ok) << "accepted a catalog cut to " << size << " bytes";
}

TEST(TranslationLookup, TranslatesFromTheLoadedCatalogOnlyFallingBackToEnglishAndSkippingTextsThatAreNotUtf8) {
    TempFolder folder;
    I18nLocale* locale = CreateLocale(2);
    ASSERT_TRUE(locale->LoadCatalog(folder.Write(L"de.mo", BuildCatalog(kGerman)).c_str()));
    EXPECT_EQ(wxGetLocale(), locale);
    EXPECT_STREQ(wxGetTranslation(L"Open"), L"\u00D6ffnen");
    const wchar_t* english = L"Remind Me Later";
    EXPECT_EQ(wxGetTranslation(english), english);

    std::string corrupt = BuildCatalog({{"OK", "Einverstanden"}});
    corrupt.resize(corrupt.size() - 5);
    EXPECT_FALSE(locale->LoadCatalog(folder.Write(L"bad.mo", corrupt).c_str()));
    EXPECT_FALSE(locale->LoadCatalog((folder.Path() + L"\\absent.mo").c_str()));
    EXPECT_STREQ(wxGetTranslation(L"OK"), L"OK");
    EXPECT_STREQ(wxGetTranslation(L"Cancel"), L"Abbrechen") << "a refused catalog dropped the earlier texts";

    CreateLocale(3);
    EXPECT_EQ(wxGetLocale()->GetLanguage(), 3);
    EXPECT_STREQ(wxGetTranslation(L"Cancel"), L"Cancel") << "a new language kept the old texts";

    // Texts that are not UTF-8 are skipped.
    locale = CreateLocale(4);
    ASSERT_TRUE(locale->LoadCatalog(
        folder.Write(L"fr.mo", BuildCatalog({{"Cancel", "Annuler"}, {"Open", "Ouvr\xFF"}})).c_str()));
    EXPECT_STREQ(wxGetTranslation(L"Cancel"), L"Annuler");
    EXPECT_STREQ(wxGetTranslation(L"Open"), L"Open");
}
