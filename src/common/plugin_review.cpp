#include "plugin_review.h"

#include <windows.h>

#include <lumarest/plugin.h>

#include <rapidjson/document.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>

#include "BASUtility.h"
#include "FolderListing.h"
#include "JsonText.h"
#include "UniqueResource.h"
#include "Utf8.h"

namespace {

// Larger libraries are not plug-ins anyone ships; reading them whole would
// only cost memory.
constexpr DWORD kLargestLibrary = 256u << 20;
// Dependencies of dependencies are followed this deep.
constexpr int kDeepestImportChain = 6;

Finding Make(FindingLevel level, std::string code, std::string message, std::string fix) {
    return Finding{level, std::move(code), std::move(message), std::move(fix)};
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// --- Manifest members -------------------------------------------------------

enum class MemberKind { String, Integer, StringList };

struct KnownMember {
    const char* name;
    MemberKind kind;
    bool required;
};

constexpr KnownMember kMembers[] = {
    {"path", MemberKind::String, true},
    {"id", MemberKind::String, true},
    {"version", MemberKind::String, true},
    {"type", MemberKind::Integer, false},
    {"command-recv", MemberKind::StringList, false},
    {"command-send", MemberKind::StringList, false},
    {"require", MemberKind::StringList, false},
    {"optional", MemberKind::StringList, false},
    {"width", MemberKind::Integer, false},
    {"height", MemberKind::Integer, false},
    {"command-create", MemberKind::String, false},
};

const char* KindName(MemberKind kind) {
    switch (kind) {
    case MemberKind::String: return "a string";
    case MemberKind::Integer: return "an integer";
    case MemberKind::StringList: return "an array of strings";
    }
    return "";
}

bool HasKind(const rapidjson::Value& value, MemberKind kind) {
    switch (kind) {
    case MemberKind::String: return value.IsString();
    case MemberKind::Integer: return value.IsInt();
    case MemberKind::StringList: return value.IsArray();
    }
    return false;
}

// Edits (insertions, deletions, substitutions) that turn a into b.
size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The known member an unknown name was probably meant to be, or null.
const char* LikelyMeant(const std::string& name) {
    const char* best = nullptr;
    size_t bestDistance = 4;  // more edits than this is another word
    for (const KnownMember& member : kMembers) {
        const size_t distance = EditDistance(Lower(name), member.name);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = member.name;
        }
    }
    return best;
}

void ReviewMember(const std::string& name, const rapidjson::Value& value, const KnownMember& member,
                  std::vector<Finding>& findings) {
    if (!HasKind(value, member.kind)) {
        const std::string what = "plugin.load: \"" + name + "\" is not " + KindName(member.kind);
        if (member.required)
            findings.push_back(Make(FindingLevel::Skipped, "manifest-mistyped-member", what,
                                    std::string("write \"") + name + "\" as " + KindName(member.kind)));
        else
            findings.push_back(Make(FindingLevel::Suffers, "manifest-mistyped-member", what + "; the host ignores it",
                                    std::string("write \"") + name + "\" as " + KindName(member.kind)));
        return;
    }
    if (member.kind != MemberKind::StringList) return;
    size_t index = 0;
    for (const rapidjson::Value& entry : value.GetArray()) {
        if (!entry.IsString())
            findings.push_back(Make(FindingLevel::Suffers, "manifest-mistyped-member",
                                    "plugin.load: entry " + std::to_string(index) + " of \"" + name +
                                        "\" is not a string; the host skips it",
                                    "list only command or module names, as strings"));
        ++index;
    }
}

void ReviewMembers(const rapidjson::Value& root, std::vector<Finding>& findings) {
    for (const auto& member : root.GetObject()) {
        const std::string name(member.name.GetString(), member.name.GetStringLength());
        const auto known = std::find_if(std::begin(kMembers), std::end(kMembers),
                                        [&](const KnownMember& k) { return name == k.name; });
        if (known != std::end(kMembers)) {
            ReviewMember(name, member.value, *known, findings);
            continue;
        }
        const char* meant = LikelyMeant(name);
        findings.push_back(Make(FindingLevel::Notice, "manifest-unknown-member",
                                "plugin.load: unknown member \"" + name + "\"; the host ignores it",
                                meant ? std::string("did you mean \"") + meant + "\"?" : "remove it"));
    }
    for (const KnownMember& member : kMembers) {
        if (member.required && !root.HasMember(member.name))
            findings.push_back(Make(FindingLevel::Skipped, "manifest-missing-member",
                                    std::string("plugin.load has no \"") + member.name + "\"",
                                    std::string("add \"") + member.name + "\" as " + KindName(member.kind)));
    }
    const auto path = root.FindMember("path");
    if (path != root.MemberEnd() && path->value.IsString()) {
        const std::string text(path->value.GetString(), path->value.GetStringLength());
        if (!LibraryPathStaysInside(text))
            findings.push_back(
                Make(FindingLevel::Skipped, "manifest-path-outside",
                     "plugin.load: \"path\" (" + text + ") does not name a file inside the version folder",
                     "give the library's name relative to the version folder, without \"..\" or a drive"));
    }
}

// The reader's complaint with where it is, as an editor counts.
Finding ParseFinding(std::string_view text, const std::string& readerMessage) {
    std::string message = "plugin.load does not parse: " + readerMessage;
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    const size_t skipped = text.substr(0, 3) == kByteOrderMark ? 3 : 0;
    rapidjson::Document document;
    document.Parse<rapidjson::kParseIterativeFlag>(text.data() + skipped, text.size() - skipped);
    if (document.HasParseError()) {
        const TextPosition at = PositionOfOffset(text, skipped + document.GetErrorOffset());
        message += " at line " + std::to_string(at.line) + ", column " + std::to_string(at.column);
    }
    return Make(FindingLevel::Skipped, "manifest-parse", message,
                "make plugin.load valid JSON (an object of strings, numbers and arrays)");
}

// --- PE images ------------------------------------------------------------

uint16_t Read16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Read32(const unsigned char* p) { return Read16(p) | static_cast<uint32_t>(Read16(p + 2)) << 16; }

constexpr uint16_t kMachineI386 = 0x14c;
constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kMachineArm64 = 0xaa64;
constexpr uint16_t kFlagDll = 0x2000;
constexpr uint16_t kMagicPe32 = 0x10b;
constexpr uint16_t kMagicPe32Plus = 0x20b;

// The bytes of one image, with its sections to turn addresses into offsets.
class ImageReader {
public:
    ImageReader(const unsigned char* data, size_t size) : data_(data), size_(size) {}

    bool Has(size_t offset, size_t length) const { return offset <= size_ && length <= size_ - offset; }
    const unsigned char* At(size_t offset) const { return data_ + offset; }

    void AddSection(uint32_t address, uint32_t virtualSize, uint32_t rawSize, uint32_t rawOffset) {
        sections_.push_back({address, std::max(virtualSize, rawSize), rawSize, rawOffset});
    }
    // The file offset of an address relative to the image base, or npos.
    size_t OffsetOf(uint32_t rva) const {
        for (const Section& s : sections_) {
            if (rva >= s.address && rva - s.address < s.span) {
                const uint32_t into = rva - s.address;
                if (into >= s.rawSize) return npos;  // in memory only, never in the file
                return static_cast<size_t>(s.rawOffset) + into;
            }
        }
        return npos;
    }
    // A NUL-terminated name at an address, bounded; empty when out of the file.
    std::string NameAt(uint32_t rva) const {
        const size_t offset = OffsetOf(rva);
        if (offset == npos || offset >= size_) return {};
        const size_t most = std::min<size_t>(size_ - offset, 512);
        const auto* start = reinterpret_cast<const char*>(data_ + offset);
        return std::string(start, strnlen(start, most));
    }
    static constexpr size_t npos = static_cast<size_t>(-1);

private:
    struct Section {
        uint32_t address, span, rawSize, rawOffset;
    };
    const unsigned char* data_;
    size_t size_;
    std::vector<Section> sections_;
};

void ReadExports(const ImageReader& image, uint32_t rva, ImageFacts& facts) {
    const size_t at = image.OffsetOf(rva);
    if (at == ImageReader::npos || !image.Has(at, 40)) return;
    const uint32_t count = Read32(image.At(at + 24));
    const size_t names = image.OffsetOf(Read32(image.At(at + 32)));
    if (names == ImageReader::npos) return;
    for (uint32_t i = 0; i < count && i < 65536 && image.Has(names + 4 * i, 4); ++i)
        facts.exports.push_back(image.NameAt(Read32(image.At(names + 4 * i))));
}

void ReadImports(const ImageReader& image, uint32_t rva, std::vector<std::string>& into) {
    size_t at = image.OffsetOf(rva);
    if (at == ImageReader::npos) return;
    for (int i = 0; i < 4096 && image.Has(at, 20); ++i, at += 20) {
        const uint32_t name = Read32(image.At(at + 12));
        if (name == 0) return;
        into.push_back(image.NameAt(name));
    }
}

// Delay-load descriptors name their DLL by address relative to the image,
// or, in the old form (attribute bit 0 clear), by full address.
void ReadDelayImports(const ImageReader& image, uint32_t rva, uint32_t imageBase, std::vector<std::string>& into) {
    size_t at = image.OffsetOf(rva);
    if (at == ImageReader::npos) return;
    for (int i = 0; i < 4096 && image.Has(at, 32); ++i, at += 32) {
        const uint32_t attributes = Read32(image.At(at));
        uint32_t name = Read32(image.At(at + 4));
        if (name == 0) return;
        if (!(attributes & 1)) name -= imageBase;
        into.push_back(image.NameAt(name));
    }
}

bool IsApiSet(const std::string& lowerName) {
    return lowerName.rfind("api-ms-win-", 0) == 0 || lowerName.rfind("ext-ms-", 0) == 0;
}

// A C runtime whose heap is not msvcrt.dll's: blocks that cross the bus
// would be freed by the wrong heap.
bool IsOtherCRuntime(const std::string& lowerName) {
    if (lowerName == "ucrtbase.dll" || lowerName == "ucrtbased.dll") return true;
    if (lowerName.rfind("api-ms-win-crt-", 0) == 0 || lowerName.rfind("vcruntime", 0) == 0) return true;
    // msvcr70.dll ... msvcr120.dll, and their debug builds.
    if (lowerName.rfind("msvcr", 0) == 0 && lowerName.size() > 9 &&
        std::isdigit(static_cast<unsigned char>(lowerName[5])))
        return true;
    return false;
}

void CRuntimeFindings(const ImageFacts& facts, const std::string& file, std::vector<Finding>& findings) {
    bool named = false;  // one finding per file, naming the first runtime DLL
    for (const auto* list : {&facts.imports, &facts.delayImports}) {
        for (const std::string& dll : *list) {
            if (named || !IsOtherCRuntime(Lower(dll))) continue;
            named = true;
            findings.push_back(
                Make(FindingLevel::Suffers, "c-runtime",
                     file + " uses the C runtime " + dll +
                         ", not msvcrt.dll: texts the host hands over on the C heap would be freed by "
                         "the wrong heap",
                     "link against msvcrt.dll (mingw-w64's default; no -mcrtdll=ucrt, no MSVC runtime)"));
        }
    }
}

// --- Files ------------------------------------------------------------------

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string FileName(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return ToUtf8(slash == std::wstring::npos ? path : path.substr(slash + 1));
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// The whole file, or an error code.
bool ReadWholeFile(const std::wstring& path, std::vector<unsigned char>& bytes, DWORD& error) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = GetLastError();
        return false;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > kLargestLibrary) {
        error = ERROR_FILE_TOO_LARGE;
        return false;
    }
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size())) {
        error = GetLastError();
        return false;
    }
    return true;
}

// Finds each DLL that image imports where the loader would look, following
// the ones found beside the plug-in or the host to their own imports.
class ImportWalk {
public:
    ImportWalk(const LibrarySearch& search, std::vector<Finding>& findings) : search_(search), findings_(findings) {}

    void Walk(const ImageFacts& facts, const std::string& file, bool delayed, int depth) {
        for (const std::string& dll : facts.imports) Resolve(dll, file, delayed, depth);
        for (const std::string& dll : facts.delayImports) Resolve(dll, file, true, depth);
    }

private:
    void Resolve(const std::string& dll, const std::string& importer, bool delayed, int depth) {
        const std::string lower = Lower(dll);
        if (dll.empty() || IsApiSet(lower) || !seen_.insert(lower).second) return;
        const std::wstring name = FromUtf8(dll);
        for (const std::wstring* folder : {&search_.pluginFolder, &search_.hostFolder}) {
            if (folder->empty() || !IsFile(*folder + name)) continue;
            if (depth < kDeepestImportChain) Follow(*folder + name, delayed, depth + 1);
            return;
        }
        if (!search_.systemFolder.empty() && IsFile(search_.systemFolder + name)) return;
        if (delayed)
            findings_.push_back(
                Make(FindingLevel::Harmful, "delay-import-missing",
                     importer + " loads " + dll +
                         " on first use, and it is in neither the plug-in's "
                         "folder, the host's folder nor the system folder: the first call into it crashes",
                     "ship " + dll + " in the version folder beside the plug-in"));
        else
            findings_.push_back(
                Make(FindingLevel::Skipped, "import-missing",
                     importer + " imports " + dll +
                         ", which is in neither the plug-in's folder, the "
                         "host's folder nor the system folder: the library does not load",
                     "ship " + dll + " in the version folder beside the plug-in, or link it statically"));
    }

    void Follow(const std::wstring& path, bool delayed, int depth) {
        std::vector<unsigned char> bytes;
        DWORD error = 0;
        if (!ReadWholeFile(path, bytes, error)) return;
        const ImageFacts facts = ReadImageFacts(bytes.data(), bytes.size());
        if (!facts.refusal.empty()) return;
        CRuntimeFindings(facts, FileName(path), findings_);
        Walk(facts, FileName(path), delayed, depth);
    }

    const LibrarySearch& search_;
    std::vector<Finding>& findings_;
    std::set<std::string> seen_;
};

bool HasLevel(const std::vector<Finding>& findings, FindingLevel level) {
    return std::any_of(findings.begin(), findings.end(), [&](const Finding& f) { return f.level == level; });
}

}  // namespace

const char* LevelName(FindingLevel level) {
    switch (level) {
    case FindingLevel::Skipped: return "error";
    case FindingLevel::Harmful: return "fault";
    case FindingLevel::Suffers: return "warning";
    case FindingLevel::Notice: return "notice";
    case FindingLevel::Pedantic: return "remark";
    }
    return "error";
}

TextPosition PositionOfOffset(std::string_view text, size_t offset) {
    TextPosition at;
    offset = std::min(offset, text.size());
    for (size_t i = 0; i < offset; ++i) {
        if (text[i] == '\n') {
            ++at.line;
            at.column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++at.column;  // a UTF-8 sequence counts as one column
        }
    }
    return at;
}

ManifestReading ReviewManifest(std::string_view text, std::vector<Finding>& findings) {
    const std::string terminated(text);
    ManifestReading reading = ParsePluginManifest(terminated.c_str());
    const size_t before = findings.size();
    if (reading.parseError) {
        findings.push_back(ParseFinding(text, reading.refusal));
        return reading;
    }
    rapidjson::Document document;
    std::string error;
    if (json_text::Parse(document, terminated, error) && !document.IsObject()) {
        findings.push_back(Make(FindingLevel::Skipped, "manifest-root", "plugin.load is JSON, but not an object",
                                "write the manifest as one object: { \"id\": ..., \"version\": ..., \"path\": ... }"));
    } else if (document.IsObject()) {
        ReviewMembers(document, findings);
    }
    const bool refusedWithReason = std::any_of(findings.begin() + before, findings.end(),
                                               [](const Finding& f) { return f.level == FindingLevel::Skipped; });
    if (!reading.ok && !refusedWithReason)
        findings.push_back(
            Make(FindingLevel::Skipped, "manifest-refused", "plugin.load: " + reading.refusal, "correct the manifest"));
    return reading;
}

ImageFacts ReadImageFacts(const unsigned char* data, size_t size) {
    ImageFacts facts;
    const auto refuse = [&](const char* code, std::string why) {
        facts.refusalCode = code;
        facts.refusal = std::move(why);
        return facts;
    };
    const ImageReader image(data, size);
    if (!data || size < 0x40 || data[0] != 'M' || data[1] != 'Z')
        return refuse("library-not-image", "is not a DLL (no MZ header)");
    const uint32_t pe = Read32(data + 0x3c);
    if (!image.Has(pe, 24) || std::memcmp(data + pe, "PE\0\0", 4) != 0)
        return refuse("library-not-image", "is not a DLL (no PE header)");
    const unsigned char* fileHeader = data + pe + 4;
    const uint16_t machine = Read16(fileHeader);
    if (machine == kMachineAmd64 || machine == kMachineArm64)
        return refuse("library-64-bit", "is a 64-bit image; the host is a 32-bit process and cannot load it");
    if (machine != kMachineI386) return refuse("library-wrong-machine", "is not built for 32-bit x86");
    if (!(Read16(fileHeader + 18) & kFlagDll)) return refuse("library-not-dll", "is a program, not a DLL");
    const size_t optional = pe + 24;
    const uint16_t optionalSize = Read16(fileHeader + 16);
    const uint16_t magic = image.Has(optional, 2) ? Read16(data + optional) : 0;
    if (magic == kMagicPe32Plus) return refuse("library-64-bit", "has a 64-bit optional header");
    if (!image.Has(optional, optionalSize) || optionalSize < 96 || magic != kMagicPe32)
        return refuse("library-not-image", "has no valid 32-bit optional header");
    const uint32_t imageBase = Read32(data + optional + 28);
    const uint32_t directoryCount = Read32(data + optional + 92);
    const auto directory = [&](uint32_t index) -> uint32_t {
        const size_t at = optional + 96 + 8 * index;
        return index < directoryCount && at + 8 <= optional + optionalSize ? Read32(data + at) : 0;
    };
    ImageReader sections(data, size);
    const size_t table = optional + optionalSize;
    for (uint16_t i = 0, count = Read16(fileHeader + 2); i < count && image.Has(table + 40 * i, 40); ++i) {
        const unsigned char* s = data + table + 40 * i;
        sections.AddSection(Read32(s + 12), Read32(s + 8), Read32(s + 16), Read32(s + 20));
    }
    if (const uint32_t rva = directory(0)) ReadExports(sections, rva, facts);
    if (const uint32_t rva = directory(1)) ReadImports(sections, rva, facts.imports);
    if (const uint32_t rva = directory(13)) ReadDelayImports(sections, rva, imageBase, facts.delayImports);
    return facts;
}

std::vector<Finding> ReviewImageFacts(const ImageFacts& facts, const std::string& file) {
    std::vector<Finding> findings;
    if (!facts.refusal.empty()) {
        findings.push_back(Make(FindingLevel::Skipped, facts.refusalCode, file + " " + facts.refusal,
                                "build the plug-in as a 32-bit (i686) DLL"));
        return findings;
    }
    const bool exported =
        std::find(facts.exports.begin(), facts.exports.end(), LUMAREST_ENTRY_POINT_NAME) != facts.exports.end();
    if (!exported) {
        const auto decorated = std::find_if(facts.exports.begin(), facts.exports.end(), [](const std::string& name) {
            return name.find(LUMAREST_ENTRY_POINT_NAME) != std::string::npos;
        });
        if (decorated != facts.exports.end())
            findings.push_back(Make(FindingLevel::Skipped, "export-decorated",
                                    file + " exports \"" + *decorated + "\", not the undecorated \"RegisterModule\"",
                                    "declare it extern \"C\" void __cdecl RegisterModule(CommandEndpoint*) "
                                    "(LUMAREST_EXPORT ... LUMAREST_CDECL), not __stdcall or C++"));
        else
            findings.push_back(Make(FindingLevel::Skipped, "export-missing",
                                    file + " does not export \"RegisterModule\"",
                                    "export extern \"C\" void __cdecl RegisterModule(CommandEndpoint*) with "
                                    "LUMAREST_EXPORT"));
    }
    CRuntimeFindings(facts, file, findings);
    return findings;
}

LibrarySearch MakeLibrarySearch(const std::wstring& pluginFolder, const std::wstring& hostFolder) {
    LibrarySearch search{pluginFolder, hostFolder, {}};
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length > 0 && length < MAX_PATH) search.systemFolder = std::wstring(system, length) + L"\\";
    return search;
}

std::vector<Finding> ReviewLibrary(const std::wstring& path, const LibrarySearch& search) {
    std::vector<Finding> findings;
    const std::string file = FileName(path);
    std::vector<unsigned char> bytes;
    DWORD error = 0;
    if (!ReadWholeFile(path, bytes, error)) {
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            findings.push_back(Make(FindingLevel::Skipped, "library-missing",
                                    "the library " + ToUtf8(path) + " named by \"path\" does not exist",
                                    "put " + file + " in the version folder, or correct \"path\""));
        else
            findings.push_back(
                Make(FindingLevel::Skipped, "library-unreadable",
                     "the library " + ToUtf8(path) + " cannot be read (error " + std::to_string(error) + ")",
                     "make the file readable"));
        return findings;
    }
    const ImageFacts facts = ReadImageFacts(bytes.data(), bytes.size());
    findings = ReviewImageFacts(facts, file);
    if (facts.refusal.empty()) ImportWalk(search, findings).Walk(facts, file, false, 0);
    return findings;
}

bool VersionReview::Loadable() const { return hasManifest && !HasLevel(findings, FindingLevel::Skipped); }

const VersionReview* ModuleReview::Chosen() const {
    for (const VersionReview& version : versions) {
        if (version.Loadable()) return &version;
    }
    return nullptr;
}

ManifestFile ReadManifestFile(const std::wstring& path) {
    ManifestFile manifest;
    UniqueFile file(_wfopen(path.c_str(), L"rt"));
    if (!file) {
        manifest.found = errno != ENOENT;
        manifest.error = static_cast<unsigned long>(errno);
        return manifest;
    }
    manifest.found = true;
    fseek(file.get(), 0, SEEK_END);
    const long size = ftell(file.get());
    if (size < 0) {
        manifest.error = static_cast<unsigned long>(errno);
        return manifest;
    }
    fseek(file.get(), 0, SEEK_SET);
    manifest.text.assign(static_cast<size_t>(size), '\0');
    // Text mode turns CR LF into LF, so fewer bytes than the size may arrive.
    manifest.text.resize(fread(manifest.text.data(), 1, manifest.text.size(), file.get()));
    manifest.read = true;
    return manifest;
}

Finding UnreadableManifest(const std::string& file, unsigned long error) {
    return Make(FindingLevel::Skipped, "manifest-unreadable",
                file + " exists but cannot be read (" + std::string(std::strerror(static_cast<int>(error))) + ")",
                "make plugin.load a readable file");
}

Finding NoCandidate(const std::string& module, bool anyVersionFolder) {
    if (!anyVersionFolder)
        return Make(FindingLevel::Skipped, "no-version-folder",
                    "the module folder " + module + " holds no version folder",
                    "put the plug-in in " + module + "\\<version>\\ with its plugin.load, e.g. " + module +
                        "\\1.0.0\\");
    return Make(FindingLevel::Skipped, "no-manifest", "no version folder of " + module + " holds a plugin.load",
                "write a plugin.load manifest into the version folder");
}

Finding LoadFailed(const std::string& file, unsigned long error) {
    return Make(FindingLevel::Skipped, "load-failed", file + " does not load (error " + std::to_string(error) + ")",
                "run LumarestCheck on the folder; check the library's own dependencies and DllMain");
}

std::string DescribeFinding(const Finding& finding) {
    return "[" + finding.code + "] " + finding.message + ". Fix: " + finding.fix;
}

std::wstring ModuleFolderName(std::wstring folder) {
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    const size_t slash = folder.find_last_of(L"\\/");
    return slash == std::wstring::npos ? folder : folder.substr(slash + 1);
}

std::wstring ManifestLibraryPath(const std::wstring& versionFolder, const std::string& path) {
    const std::wstring joined = versionFolder + FromUtf8(path);
    const DWORD needed = GetFullPathNameW(joined.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return joined;
    std::wstring full(needed, L'\0');
    const DWORD written = GetFullPathNameW(joined.c_str(), needed, full.data(), nullptr);
    full.resize(written < needed ? written : 0);
    return full.empty() ? joined : full;
}

ModuleReview ReviewModuleFolder(const std::wstring& folder, const std::wstring& hostFolder) {
    ModuleReview module;
    module.module = ToUtf8(ModuleFolderName(folder));
    std::vector<std::string> candidates;
    std::vector<VersionReview> listed;
    const std::vector<std::wstring> subfolders = ListSubfolderNames(folder + L"*");
    for (const std::wstring& name : subfolders) {
        VersionReview version;
        version.version = ToUtf8(name);
        const std::wstring versionFolder = folder + name + L"\\";
        const ManifestFile manifest = ReadManifestFile(versionFolder + kManifestName);
        version.hasManifest = manifest.found;
        if (!manifest.found) {
            listed.push_back(std::move(version));
            continue;
        }
        candidates.push_back(version.version);
        if (!manifest.read) {
            version.findings.push_back(
                UnreadableManifest(module.module + "\\" + version.version + "\\plugin.load", manifest.error));
        } else {
            version.reading = ReviewManifest(manifest.text, version.findings);
            if (version.reading.ok) {
                const std::wstring library = ManifestLibraryPath(versionFolder, version.reading.manifest.libraryPath);
                const std::vector<Finding> found =
                    ReviewLibrary(library, MakeLibrarySearch(FolderOf(library), hostFolder));
                version.findings.insert(version.findings.end(), found.begin(), found.end());
            }
        }
        listed.push_back(std::move(version));
    }
    for (const std::string& name : OrderVersionCandidates(candidates)) {
        auto it = std::find_if(listed.begin(), listed.end(),
                               [&](const VersionReview& v) { return v.hasManifest && v.version == name; });
        module.versions.push_back(std::move(*it));
        listed.erase(it);
    }
    for (VersionReview& ignored : listed) {
        // Without any candidate the module's own finding says it all.
        if (!candidates.empty()) {
            ignored.findings.push_back(Make(FindingLevel::Notice, "no-manifest",
                                            "the version folder " + module.module + "\\" + ignored.version +
                                                " holds no plugin.load; the host ignores it",
                                            "remove the folder, or write its plugin.load"));
        }
        module.versions.push_back(std::move(ignored));
    }
    if (candidates.empty()) {
        module.findings.push_back(NoCandidate(module.module, !subfolders.empty()));
        return module;
    }
    std::vector<std::string> descending = candidates;
    std::stable_sort(descending.begin(), descending.end(), [](const std::string& a, const std::string& b) {
        return BASUtilityString::CompareVersion(a.c_str(), b.c_str()) > 0;
    });
    std::vector<std::string> tried(module.versions.size());
    std::transform(module.versions.begin(), module.versions.end(), tried.begin(),
                   [](const VersionReview& v) { return v.version; });
    tried.resize(candidates.size());
    std::string order;
    for (const std::string& version : tried) order += (order.empty() ? "" : ", ") + version;
    if (tried != descending)
        module.findings.push_back(Make(FindingLevel::Pedantic, "version-order",
                                       "the host tries the versions of " + module.module + " in this order: " + order +
                                           "; after the first, a lower version may come before a higher one",
                                       "keep one version folder, or remove the versions you do not want as fallbacks"));
    return module;
}
