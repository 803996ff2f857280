#include "identity.h"

#include <cstdlib>
#include <map>

namespace comm {
namespace {

// A reader for the flat object of string members that the host writes.
class FlatObjectReader {
public:
    explicit FlatObjectReader(const std::string& text) : text_(text) {}

    bool Read(std::map<std::string, std::string>& members) {
        if (!Expect('{')) return false;
        SkipBlanks();
        if (Peek() == '}') return Finish();
        for (;;) {
            std::string key, value;
            if (!ReadString(key) || !Expect(':') || !ReadString(value)) return false;
            members[key] = value;
            SkipBlanks();
            if (Peek() == ',') {
                ++at_;
                continue;
            }
            return Expect('}') && Finish();
        }
    }

private:
    char Peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }

    void SkipBlanks() {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r' || text_[at_] == '\n'))
            ++at_;
    }

    bool Expect(char c) {
        SkipBlanks();
        if (Peek() != c) return false;
        ++at_;
        return true;
    }

    bool Finish() {
        SkipBlanks();
        return at_ == text_.size();
    }

    static void AppendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    bool ReadEscape(std::string& out) {
        const char c = Peek();
        ++at_;
        switch (c) {
        case '"':
        case '\\':
        case '/': out += c; return true;
        case 'b': out += '\b'; return true;
        case 'f': out += '\f'; return true;
        case 'n': out += '\n'; return true;
        case 'r': out += '\r'; return true;
        case 't': out += '\t'; return true;
        case 'u': {
            if (at_ + 4 > text_.size()) return false;
            const std::string hex = text_.substr(at_, 4);
            char* end = nullptr;
            const unsigned long code = std::strtoul(hex.c_str(), &end, 16);
            if (end != hex.c_str() + 4) return false;
            at_ += 4;
            AppendUtf8(out, static_cast<unsigned>(code));  // the writer escapes only control characters
            return true;
        }
        default: return false;
        }
    }

    bool ReadString(std::string& out) {
        if (!Expect('"')) return false;
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"') return true;
            if (c != '\\') out += c;
            else if (!ReadEscape(out)) return false;
        }
        return false;
    }

    const std::string& text_;
    size_t at_ = 0;
};

}  // namespace

bool ParseIdentity(const std::string& text, Identity& identity) {
    std::map<std::string, std::string> members;
    if (!FlatObjectReader(text).Read(members)) return false;
    const auto alias = members.find("alias"), version = members.find("version"), brand = members.find("brand");
    if (alias == members.end() || version == members.end() || brand == members.end()) return false;
    identity = {alias->second, version->second, brand->second};
    return true;
}

}  // namespace comm
