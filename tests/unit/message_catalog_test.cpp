// The message catalog parser and the translation lookup built on it.
#include <gtest/gtest.h>

#include <cstdint>
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

const Entries kGerman = {
    {"", "Content-Type: text/plain; charset=UTF-8\n"},
    {"Cancel", "Abbrechen"},
    {"Open", "\xC3\x96" "ffnen"},
    {"Settings", "Einstellungen"},
};

MessageCatalogParse Parse(const std::string& bytes) {
    return ParseMessageCatalog({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
}

}  // namespace

TEST(MessageCatalogParser, ReadsLittleEndianCatalogWithoutTheHeaderEntry) {
    const MessageCatalogParse parse = Parse(BuildCatalog(kGerman));
    ASSERT_TRUE(parse.ok) << parse.error;
    EXPECT_EQ(parse.entries.size(), 3u);
    EXPECT_EQ(parse.entries.at("Cancel"), "Abbrechen");
    EXPECT_EQ(parse.entries.at("Open"), "\xC3\x96" "ffnen");
    EXPECT_EQ(parse.entries.count(""), 0u);
}

TEST(MessageCatalogParser, ReadsBigEndianCatalog) {
    const MessageCatalogParse parse = Parse(BuildCatalog(kGerman, true));
    ASSERT_TRUE(parse.ok) << parse.error;
    EXPECT_EQ(parse.entries.at("Settings"), "Einstellungen");
}

TEST(MessageCatalogParser, KeepsTheSingularOfAPluralEntry) {
    const MessageCatalogParse parse = Parse(BuildCatalog({{std::string("file\0files", 10), std::string("Datei\0Dateien", 13)}}));
    ASSERT_TRUE(parse.ok) << parse.error;
    EXPECT_EQ(parse.entries.at("file"), "Datei");
}

TEST(MessageCatalogParser, LeavesOutEntriesWithoutTranslation) {
    const MessageCatalogParse parse = Parse(BuildCatalog({{"Cancel", ""}, {"OK", "Aceptar"}}));
    ASSERT_TRUE(parse.ok) << parse.error;
    EXPECT_EQ(parse.entries.count("Cancel"), 0u);
    EXPECT_EQ(parse.entries.at("OK"), "Aceptar");
}

TEST(MessageCatalogParser, AcceptsMinorRevisionsAndRefusesNewMajorOnes) {
    EXPECT_TRUE(Parse(BuildCatalog(kGerman, false, 0x00010001)).ok);
    const MessageCatalogParse parse = Parse(BuildCatalog(kGerman, false, 0x00020000));
    EXPECT_FALSE(parse.ok);
    EXPECT_NE(parse.error.find("revision"), std::string::npos);
}

TEST(MessageCatalogParser, RefusesABadMagicNumber) {
    std::string bytes = BuildCatalog(kGerman);
    bytes[0] = 'X';
    EXPECT_FALSE(Parse(bytes).ok);
    EXPECT_FALSE(Parse("msgid \"Cancel\"\nmsgstr \"Abbrechen\"\n").ok);
}

TEST(MessageCatalogParser, RefusesACountWhoseTablesPassTheEnd) {
    std::string bytes = BuildCatalog(kGerman);
    PutWord(&bytes, 8, 0x20000000, false);  // 8 * count wraps a 32-bit sum
    EXPECT_FALSE(Parse(bytes).ok);
}

TEST(MessageCatalogParser, RefusesATextWhoseOffsetPlusLengthWrapsAround) {
    std::string bytes = BuildCatalog(kGerman);
    const size_t translationTable = 28 + 8 * kGerman.size();
    PutWord(&bytes, translationTable + 8, 0x20, false);          // length of "Abbrechen"
    PutWord(&bytes, translationTable + 12, 0xFFFFFFF0, false);   // its offset
    EXPECT_FALSE(Parse(bytes).ok);
}

TEST(MessageCatalogParser, RefusesACatalogInAnotherCharacterSet) {
    Entries latin1 = kGerman;
    latin1[0].second = "Content-Type: text/plain; charset=ISO-8859-1\n";
    const MessageCatalogParse parse = Parse(BuildCatalog(latin1));
    EXPECT_FALSE(parse.ok);
    EXPECT_NE(parse.error.find("iso-8859-1"), std::string::npos);
}

TEST(MessageCatalogParser, RefusesEveryTruncationThatCutsIntoTheTexts) {
    const std::string bytes = BuildCatalog(kGerman);
    // Only the final NUL may go: the format does not require reading it.
    for (size_t size = 0; size + 1 < bytes.size(); ++size)
        EXPECT_FALSE(Parse(bytes.substr(0, size)).ok) << "accepted a catalog cut to " << size << " bytes";
}

TEST(MessageCatalogParser, SurvivesRandomlyCorruptedCatalogs) {
    const std::string good = BuildCatalog(kGerman);
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = good;
        const int flips = 1 + int(next() % 4);
        for (int i = 0; i < flips; ++i) bytes[next() % bytes.size()] = char(next() >> 24);
        const MessageCatalogParse parse = Parse(bytes);
        if (!parse.ok) {
            EXPECT_FALSE(parse.error.empty()) << "round " << round << " refused without a reason";
            continue;
        }
        // Whatever is accepted must have been read from inside the buffer.
        for (const auto& [original, translation] : parse.entries) {
            EXPECT_NE(bytes.find(original), std::string::npos) << "round " << round;
            EXPECT_NE(bytes.find(translation), std::string::npos) << "round " << round;
        }
    }
}

class TranslationLookup : public ::testing::Test {
protected:
    std::wstring WriteCatalog(const std::wstring& name, const std::string& bytes) { return folder_.Write(name, bytes); }
    TempFolder folder_;
};

TEST_F(TranslationLookup, TranslatesFromALoadedCatalogAndFallsBackToEnglish) {
    I18nLocale* locale = CreateLocale(2);
    ASSERT_TRUE(locale->LoadCatalog(WriteCatalog(L"de.mo", BuildCatalog(kGerman)).c_str()));
    EXPECT_EQ(wxGetLocale(), locale);
    EXPECT_EQ(wxGetLocale()->GetLanguage(), 2);
    EXPECT_STREQ(wxGetTranslation(L"Cancel"), L"Abbrechen");
    EXPECT_STREQ(wxGetTranslation(L"Open"), L"\u00D6ffnen");
    const wchar_t* english = L"Remind Me Later";
    EXPECT_EQ(wxGetTranslation(english), english);
}

TEST_F(TranslationLookup, ACorruptCatalogIsRefusedAndKeepsEarlierTexts) {
    I18nLocale* locale = CreateLocale(2);
    ASSERT_TRUE(locale->LoadCatalog(WriteCatalog(L"de.mo", BuildCatalog(kGerman)).c_str()));
    std::string corrupt = BuildCatalog({{"OK", "Einverstanden"}});
    corrupt.resize(corrupt.size() - 5);
    EXPECT_FALSE(locale->LoadCatalog(WriteCatalog(L"bad.mo", corrupt).c_str()));
    EXPECT_STREQ(wxGetTranslation(L"OK"), L"OK");
    EXPECT_STREQ(wxGetTranslation(L"Cancel"), L"Abbrechen");
}

TEST_F(TranslationLookup, AMissingCatalogLeavesEnglish) {
    I18nLocale* locale = CreateLocale(4);
    EXPECT_FALSE(locale->LoadCatalog((folder_.Path() + L"\\absent.mo").c_str()));
    EXPECT_EQ(locale->TranslationCount(), 0u);
    EXPECT_STREQ(wxGetTranslation(L"Cancel"), L"Cancel");
}

TEST_F(TranslationLookup, ANewLocaleStartsEmpty) {
    CreateLocale(2)->LoadCatalog(WriteCatalog(L"de.mo", BuildCatalog(kGerman)).c_str());
    CreateLocale(3);
    EXPECT_EQ(wxGetLocale()->GetLanguage(), 3);
    EXPECT_STREQ(wxGetTranslation(L"Cancel"), L"Cancel");
}

TEST_F(TranslationLookup, SkipsTextsThatAreNotUtf8) {
    I18nLocale* locale = CreateLocale(4);
    ASSERT_TRUE(locale->LoadCatalog(
        WriteCatalog(L"fr.mo", BuildCatalog({{"Cancel", "Annuler"}, {"Open", "Ouvr\xFF"}})).c_str()));
    EXPECT_STREQ(wxGetTranslation(L"Cancel"), L"Annuler");
    EXPECT_STREQ(wxGetTranslation(L"Open"), L"Open");
}
