// The loader's pure decisions: which version is tried first, what a manifest
// gives the module record and when it is refused, where a library may lie,
// and which files count as 32-bit DLLs.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/plugin_image_check.h"
#include "common/plugin_manifest.h"
#include "common/plugin_review.h"
#include "test_files.h"

namespace {

using Names = std::vector<std::string>;

TEST(VersionCandidates, HighestFirstThenTheOthersAsTheRuleLeavesThemWithLaterTiesFirst) {
    // A full sort would give 3.0, 2.0, 1.0.
    EXPECT_EQ(OrderVersionCandidates({"1.0", "3.0", "2.0"}), (Names{"3.0", "1.0", "2.0"}));
    EXPECT_EQ(OrderVersionCandidates({"2.0", "2.0.0"}), (Names{"2.0.0", "2.0"})) << "a strict test keeps the earlier";
    EXPECT_EQ(OrderVersionCandidates({"9.1", "10.0"}), (Names{"10.0", "9.1"}));
}

TEST(PluginManifest, FillsTheRecordFromItsKeysGivesDefaultsForOptionalKeysOfTheWrongTypeAndRefusesBadRequiredOnes) {
    ManifestReading reading = ParsePluginManifest(R"({
        "id": "recovery", "version": "1.2.3", "path": "bin/Recovery.dll", "type": 4, "width": 640, "height": 480,
        "command-create": "RECOVERY_CREATE", "command-recv": ["A", 3, null, "B"], "command-send": ["C"],
        "require": ["Comm"], "optional": ["Title", "Toolkit"], "unknown": {"ignored": true}})");
    ASSERT_TRUE(reading.ok) << reading.refusal;
    const ModuleRecord& record = reading.manifest.record;
    EXPECT_EQ(reading.manifest.libraryPath, "bin/Recovery.dll");
    EXPECT_EQ(record.id + " " + record.version + " " + record.createCommand, "recovery 1.2.3 RECOVERY_CREATE");
    EXPECT_EQ(record.type, 4);
    EXPECT_EQ(record.width, 640) << "width and height swapped or lost";
    EXPECT_EQ(record.height, 480);
    EXPECT_EQ(record.receives, (Names{"A", "B"})) << "non-strings must be skipped, not end the list";
    EXPECT_EQ(record.sends, (Names{"C"}));
    EXPECT_EQ(record.requires_, (Names{"Comm"}));
    EXPECT_EQ(record.optionals, (Names{"Title", "Toolkit"}));

    reading = ParsePluginManifest(R"({"id": "m", "version": "1", "path": "m.dll", "type": "4", "width": 1.5,
        "command-create": 7, "command-send": "C"})");
    ASSERT_TRUE(reading.ok) << reading.refusal;
    EXPECT_EQ(reading.manifest.record.type + reading.manifest.record.width, 0);
    EXPECT_TRUE(reading.manifest.record.createCommand.empty());
    EXPECT_TRUE(reading.manifest.record.sends.empty());
    for (const char* text : {R"(["id", "version", "path"])", R"({"id": 5, "version": "1", "path": "m.dll"})",
                             R"({"id": "m", "version": 1.0, "path": "m.dll"})", R"({"id": "m", "version": "1"})",
                             R"({"id": "m", "version": "1", "path": "../x.dll"})"}) {
        reading = ParsePluginManifest(text);
        EXPECT_FALSE(reading.ok || reading.parseError || reading.refusal.empty()) << text;
    }
    reading = ParsePluginManifest(R"({"id": "m", "version": })");
    EXPECT_TRUE(reading.parseError);
    EXPECT_NE(reading.refusal.find("(offset 23)"), std::string::npos) << reading.refusal;
}

// A minimal 32-bit DLL's headers with one section that maps RVA 0x1000 to
// file offset 0x200, where two delay-load descriptors name their DLLs: the
// first by RVA, the second in the old form by full address.
TEST(ImageFacts, ReadsDelayLoadNamesInBothFormsAndRefusesArm64As64Bit) {
    std::vector<unsigned char> image(0x400);
    const auto put16 = [&](size_t at, unsigned v) {
        image[at] = v & 0xFF;
        image[at + 1] = (v >> 8) & 0xFF;
    };
    const auto put32 = [&](size_t at, unsigned v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    constexpr size_t kOptional = 0x98, kOptionalSize = 224;
    image[0] = 'M';
    image[1] = 'Z';
    put32(0x3c, 0x80);
    std::memcpy(&image[0x80], "PE\0\0", 4);
    for (auto [at, value] : {std::pair{0x84u, 0x14cu}, {0x86u, 1u}, {0x94u, 224u}, {0x96u, 0x2000u}}) put16(at, value);
    put16(kOptional, 0x10b);
    put32(kOptional + 28, 0x10000000);  // the image base
    put32(kOptional + 92, 16);
    put32(kOptional + 96 + 8 * 13, 0x1000);
    for (size_t field = 8; field <= 20; field += 4)
        put32(kOptional + kOptionalSize + field, field == 12 ? 0x1000 : 0x200);
    put32(0x200, 1);
    put32(0x204, 0x1100);
    put32(0x224, 0x10001110);
    std::memcpy(&image[0x300], "new.dll", 8);
    std::memcpy(&image[0x310], "old.dll", 8);
    EXPECT_EQ(ReadImageFacts(image.data(), image.size()).delayImports,
              (std::vector<std::string>{"new.dll", "old.dll"}));
    put16(0x84, 0xaa64);
    EXPECT_EQ(ReadImageFacts(image.data(), image.size()).refusalCode, "library-64-bit");
}

TEST(LibraryPath, AcceptsFilesAtOrBelowTheVersionFolderOnly) {
    for (const char* path : {"m.dll", "bin\\m.dll", "./m.dll", "a/b/../../m.dll", "my.module.dll"})
        EXPECT_TRUE(LibraryPathStaysInside(path)) << path;
    for (const char* path :
         {"", "..\\m.dll", "../1.0/m.dll", "a/./../../b/m.dll", "/m.dll", "\\m.dll", "C:m.dll", "C:/m.dll",
          "\\\\server\\share\\m.dll", "m.dll:stream", "...\\m.dll", ". .\\m.dll", "bin/.. /m.dll", ".", "bin/.."})
        EXPECT_FALSE(LibraryPathStaysInside(path)) << path;
    EXPECT_FALSE(LibraryPathStaysInside(std::string_view("m.dll\0../../x.dll", 17))) << "an embedded NUL";
}

// ---- the image check ----

std::string Check(const std::string& bytes) {
    return CheckPluginImage(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

uint32_t PeOffset(const std::string& image) { return *reinterpret_cast<const uint32_t*>(image.data() + 0x3c); }

TEST(PluginImage, AcceptsAnX86DllFromItsFirstBytesAndRefusesAnyOtherHead) {
    const std::string dll = ReadTextFile(L"" LUMAREST_TEST_PROBE_DLL).substr(0, kPluginImageHeadSize);
    ASSERT_EQ(dll.size(), kPluginImageHeadSize) << "the probe DLL was not found";
    EXPECT_EQ(Check(dll), "");
    EXPECT_NE(Check("This is not a library.\r\n"), "");
    EXPECT_NE(Check(dll.substr(0, 0x40)), "") << "a header cut before the PE signature";
    // The bytes past the cut are the real header: reading them would pass.
    const auto* head = reinterpret_cast<const unsigned char*>(dll.data());
    for (size_t cut = PeOffset(dll) - 8; cut < PeOffset(dll) + 24; ++cut)
        EXPECT_NE(CheckPluginImage(head, cut), "") << "read past a header cut at " << cut;
    std::string farAway = dll;
    *reinterpret_cast<uint32_t*>(farAway.data() + 0x3c) = 0xfffffff0;  // must not wrap around
    EXPECT_NE(Check(farAway), "");

    const uint32_t fileHeader = PeOffset(dll) + 4;
    std::string x64 = dll;
    x64[fileHeader] = '\x64';
    x64[fileHeader + 1] = '\x86';
    EXPECT_EQ(Check(x64), "not built for 32-bit x86");
    std::string noDllFlag = dll;
    noDllFlag[fileHeader + 19] &= ~0x20;  // IMAGE_FILE_DLL is bit 13 of the characteristics
    EXPECT_EQ(Check(noDllFlag), "not a DLL");
}

}  // namespace
