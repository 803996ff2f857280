#include "MessageCatalog.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

constexpr uint32_t kMagic = 0x950412DE;
constexpr uint32_t kSwappedMagic = 0xDE120495;
constexpr size_t kHeaderSize = 28;
constexpr size_t kTableEntrySize = 8;  // length, offset

class CatalogReader {
public:
    CatalogReader(std::span<const uint8_t> bytes, bool bigEndian) : bytes_(bytes), bigEndian_(bigEndian) {}

    // The caller has checked that offset + 4 lies within the buffer.
    uint32_t Word(size_t offset) const {
        const uint8_t* p = bytes_.data() + offset;
        if (bigEndian_) return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
        return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }

    // Whether count table entries starting at offset lie within the buffer.
    // 64-bit arithmetic, so no 32-bit value can wrap the sum.
    bool TableFits(uint32_t offset, uint32_t count) const {
        return uint64_t(offset) + uint64_t(count) * kTableEntrySize <= bytes_.size();
    }

    // String number index of the table at tableOffset; false when it lies
    // outside the buffer.
    bool String(uint32_t tableOffset, uint32_t index, std::string_view* out) const {
        const size_t entry = size_t(tableOffset) + size_t(index) * kTableEntrySize;
        const uint32_t length = Word(entry);
        const uint32_t offset = Word(entry + 4);
        if (uint64_t(offset) + length > bytes_.size()) return false;
        *out = std::string_view(reinterpret_cast<const char*>(bytes_.data()) + offset, length);
        return true;
    }

private:
    std::span<const uint8_t> bytes_;
    bool bigEndian_;
};

// Plural entries hold their forms separated by NUL; the host only asks for
// the singular.
std::string_view FirstForm(std::string_view text) { return text.substr(0, text.find('\0')); }

std::string Lowercase(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

// The "charset=" value of the catalog header, lower-cased; empty when the
// header names none.
std::string DeclaredCharset(std::string_view header) {
    const std::string lower = Lowercase(header);
    const size_t at = lower.find("charset=");
    if (at == std::string::npos) return {};
    const size_t start = at + 8;
    const size_t end = lower.find_first_of("; \t\r\n", start);
    return lower.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool IsUtf8Compatible(const std::string& charset) {
    return charset.empty() || charset == "utf-8" || charset == "utf8" || charset == "ascii" || charset == "us-ascii";
}

MessageCatalogParse Refuse(std::string reason) {
    MessageCatalogParse result;
    result.error = std::move(reason);
    return result;
}

}  // namespace

MessageCatalogParse ParseMessageCatalog(std::span<const uint8_t> bytes) {
    if (bytes.size() < kHeaderSize) return Refuse("shorter than a catalog header");

    const CatalogReader little(bytes, false);
    const uint32_t magic = little.Word(0);
    if (magic != kMagic && magic != kSwappedMagic) return Refuse("not a message catalog (bad magic number)");
    const CatalogReader reader(bytes, magic == kSwappedMagic);

    const uint32_t revision = reader.Word(4);
    if ((revision >> 16) > 1) return Refuse("unknown catalog revision " + std::to_string(revision >> 16));

    const uint32_t count = reader.Word(8);
    const uint32_t originals = reader.Word(12);
    const uint32_t translations = reader.Word(16);
    if (!reader.TableFits(originals, count) || !reader.TableFits(translations, count))
        return Refuse("string tables reach past the end of the file");

    MessageCatalogParse result;
    for (uint32_t i = 0; i < count; ++i) {
        std::string_view original, translation;
        if (!reader.String(originals, i, &original) || !reader.String(translations, i, &translation))
            return Refuse("string " + std::to_string(i) + " reaches past the end of the file");
        if (original.empty()) {
            if (!IsUtf8Compatible(DeclaredCharset(translation)))
                return Refuse("unsupported character set " + DeclaredCharset(translation));
            continue;
        }
        const std::string_view text = FirstForm(translation);
        if (!text.empty()) result.entries.insert_or_assign(std::string(FirstForm(original)), std::string(text));
    }
    result.ok = true;
    return result;
}
