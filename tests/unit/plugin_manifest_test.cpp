// The loader's pure decisions: which version is tried first, what a manifest
// gives the module record and when it is refused, where a library may lie,
// and which files count as 32-bit DLLs.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/plugin_image_check.h"
#include "common/plugin_manifest.h"

namespace {

using Names = std::vector<std::string>;

TEST(VersionCandidates, HighestFirstThenTheOthersInTheOrderTheRuleLeavesThem) {
    // A full sort would give 3.0, 2.0, 1.0; listing order 1.0, 3.0, 2.0.
    EXPECT_EQ(OrderVersionCandidates({"1.0", "3.0", "2.0"}), (Names{"3.0", "1.0", "2.0"}));
}

TEST(VersionCandidates, EqualVersionsListedLaterGoFirst) {
    // A strict "above" test would keep the earlier folder in front.
    EXPECT_EQ(OrderVersionCandidates({"2.0", "2.0.0"}), (Names{"2.0.0", "2.0"}));
}

TEST(VersionCandidates, ComparesFieldsAsNumbersNotAsText) {
    EXPECT_EQ(OrderVersionCandidates({"9.1", "10.0"}), (Names{"10.0", "9.1"}));
    EXPECT_TRUE(OrderVersionCandidates({}).empty());
}

TEST(PluginManifest, FillsEveryFieldOfTheRecordFromItsOwnKey) {
    ManifestReading reading = ParsePluginManifest(R"({
        "id": "recovery", "version": "1.2.3", "path": "bin/Recovery.dll", "type": 4,
        "width": 640, "height": 480, "command-create": "RECOVERY_CREATE",
        "command-recv": ["A", "B"], "command-send": ["C"], "require": ["Comm"], "optional": ["Title", "Toolkit"],
        "unknown": {"ignored": true}})");
    ASSERT_TRUE(reading.ok) << reading.refusal;
    const ModuleRecord& record = reading.manifest.record;
    EXPECT_EQ(reading.manifest.libraryPath, "bin/Recovery.dll");
    EXPECT_EQ(record.id, "recovery");
    EXPECT_EQ(record.version, "1.2.3");
    EXPECT_EQ(record.type, 4);
    EXPECT_EQ(record.width, 640) << "width and height swapped or lost";
    EXPECT_EQ(record.height, 480);
    EXPECT_EQ(record.createCommand, "RECOVERY_CREATE");
    EXPECT_EQ(record.receives, (Names{"A", "B"}));
    EXPECT_EQ(record.sends, (Names{"C"}));
    EXPECT_EQ(record.requires_, (Names{"Comm"}));
    EXPECT_EQ(record.optionals, (Names{"Title", "Toolkit"}));
    EXPECT_TRUE(record.libraryPath.empty()) << "the loader, not the manifest, sets the full path";
}

TEST(PluginManifest, OptionalKeysMissingOrOfTheWrongTypeGiveDefaults) {
    ManifestReading reading = ParsePluginManifest(R"({"id": "m", "version": "1", "path": "m.dll",
        "type": "4", "width": 1.5, "command-create": 7, "command-send": "C", "command-recv": ["A", 3, null, "B"]})");
    ASSERT_TRUE(reading.ok) << reading.refusal;
    const ModuleRecord& record = reading.manifest.record;
    EXPECT_EQ(record.type, 0);
    EXPECT_EQ(record.width, 0);
    EXPECT_EQ(record.height, 0);
    EXPECT_TRUE(record.createCommand.empty());
    EXPECT_TRUE(record.sends.empty());
    EXPECT_EQ(record.receives, (Names{"A", "B"})) << "non-string entries must be skipped, not abort the list";
}

TEST(PluginManifest, WithoutCommandRecvTheModuleReceivesNothing) {
    ManifestReading reading = ParsePluginManifest(R"({"id": "m", "version": "1", "path": "m.dll"})");
    ASSERT_TRUE(reading.ok) << reading.refusal;
    EXPECT_TRUE(reading.manifest.record.receives.empty());
}

TEST(PluginManifest, TextThatDoesNotParseCarriesTheReadersMessage) {
    ManifestReading reading = ParsePluginManifest(R"({"id": "m", "version": })");
    EXPECT_FALSE(reading.ok);
    EXPECT_TRUE(reading.parseError);
    EXPECT_NE(reading.refusal.find("Invalid value."), std::string::npos) << reading.refusal;
    EXPECT_NE(reading.refusal.find("offset 23"), std::string::npos) << reading.refusal;
}

TEST(PluginManifest, RefusesManifestsTheRecordCannotBeMadeFrom) {
    struct Case {
        const char* text;
        const char* reason;
    };
    const Case cases[] = {
        {R"(["id", "version", "path"])", "root is not an object"},
        {R"("plugin")", "root is not an object"},
        {R"({"version": "1", "path": "m.dll"})", "\"id\""},
        {R"({"id": 5, "version": "1", "path": "m.dll"})", "\"id\""},
        {R"({"id": "m", "path": "m.dll"})", "\"version\""},
        {R"({"id": "m", "version": 1.0, "path": "m.dll"})", "\"version\""},
        {R"({"id": "m", "version": "1"})", "\"path\""},
        {R"({"id": "m", "version": "1", "path": ["m.dll"]})", "\"path\""},
        {R"({"id": "m", "version": "1", "path": "../x.dll"})", "leads out"},
    };
    for (const Case& c : cases) {
        ManifestReading reading = ParsePluginManifest(c.text);
        EXPECT_FALSE(reading.ok) << c.text;
        EXPECT_FALSE(reading.parseError) << c.text;
        EXPECT_NE(reading.refusal.find(c.reason), std::string::npos) << c.text << " -> " << reading.refusal;
    }
}

TEST(LibraryPath, AcceptsFilesAtOrBelowTheVersionFolder) {
    for (const char* path : {"m.dll", "bin/m.dll", "bin\\m.dll", "./m.dll", "bin/../m.dll", "a/b/../../m.dll", "my.module.dll"})
        EXPECT_TRUE(LibraryPathStaysInside(path)) << path;
}

TEST(LibraryPath, RefusesEveryWayOutOfTheVersionFolder) {
    for (const char* path : {"", "../m.dll", "..\\m.dll", "bin/../../m.dll", "a/./../../m.dll", "/m.dll", "\\m.dll",
                             "C:m.dll", "C:\\m.dll", "C:/m.dll", "\\\\server\\share\\m.dll", "//server/share/m.dll",
                             "\\\\?\\C:\\m.dll", "m.dll:stream", "...\\m.dll", ". .\\m.dll", "bin/.. /m.dll", ".",
                             "bin/.."})
        EXPECT_FALSE(LibraryPathStaysInside(path)) << path;
}

TEST(LibraryPath, RefusesAnEmbeddedNul) {
    EXPECT_FALSE(LibraryPathStaysInside(std::string_view("m.dll\0../../x.dll", 17)));
}

// ---- the image check ----

std::string ReadAll(const wchar_t* path) {
    std::string bytes;
    FILE* file = _wfopen(path, L"rb");
    if (!file) return bytes;
    char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
    fclose(file);
    return bytes;
}

std::string Check(const std::string& bytes) {
    return CheckPluginImage(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::string ProbeDllBytes() { return ReadAll(L"" LUMAREST_TEST_PROBE_DLL); }

uint32_t PeOffset(const std::string& image) { return *reinterpret_cast<const uint32_t*>(image.data() + 0x3c); }

TEST(PluginImage, AcceptsABuiltPluginDllFromItsFirstBytes) {
    std::string dll = ProbeDllBytes();
    ASSERT_GT(dll.size(), kPluginImageHeadSize) << "the probe DLL was not found";
    EXPECT_EQ(Check(dll.substr(0, kPluginImageHeadSize)), "");
}

TEST(PluginImage, RefusesAProgramThatIsNotADll) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(Check(ReadAll(self).substr(0, kPluginImageHeadSize)), "not a DLL");
}

TEST(PluginImage, RefusesTextAndTruncatedHeaders) {
    EXPECT_NE(Check("This is not a library.\r\n"), "");
    EXPECT_NE(Check(""), "");
    std::string dll = ProbeDllBytes();
    ASSERT_GT(dll.size(), 0x100u);
    EXPECT_NE(Check(dll.substr(0, 0x40)), "") << "a header cut before the PE signature";
    EXPECT_NE(Check(dll.substr(0, PeOffset(dll) + 10)), "") << "a header cut inside the file header";
    std::string farAway = dll.substr(0, 0x100);
    *reinterpret_cast<uint32_t*>(farAway.data() + 0x3c) = 0xfffffff0;  // must not wrap around
    EXPECT_NE(Check(farAway), "");
}

TEST(PluginImage, RefusesOtherMachinesAndImagesWithoutTheDllFlag) {
    std::string dll = ProbeDllBytes().substr(0, kPluginImageHeadSize);
    ASSERT_EQ(dll.size(), kPluginImageHeadSize);
    const uint32_t fileHeader = PeOffset(dll) + 4;

    std::string x64 = dll;
    x64[fileHeader] = '\x64';
    x64[fileHeader + 1] = '\x86';
    EXPECT_EQ(Check(x64), "not built for 32-bit x86");

    std::string noDllFlag = dll;
    noDllFlag[fileHeader + 19] &= ~0x20;  // IMAGE_FILE_DLL is bit 13 of the characteristics
    EXPECT_EQ(Check(noDllFlag), "not a DLL");

    std::string noSignature = dll;
    noSignature[PeOffset(dll)] = 'X';
    EXPECT_EQ(Check(noSignature), "no PE signature");
}

}  // namespace
