#include "services/release_notes.h"

#include <rapidjson/document.h>

#include "JsonText.h"
#include "Utf8.h"

namespace {

constexpr wchar_t kCutMark[] = L"\u2026\r\n";

// Characters that change how the text around them reads without being seen.
bool IsHiddenFormatting(wchar_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) ||
           c == 0x2028 || c == 0x2029 || c == 0xFEFF || (c >= 0xFFF9 && c <= 0xFFFB) || (c >= 0x206A && c <= 0x206F);
}

bool IsControl(wchar_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

// The notes as lines, cut where they grow past what the list shows.
class NotesText {
public:
    void AddLine(const std::wstring& line) {
        if (cut_) return;
        if (lines_ == kMaxNoteLines || text_.size() + line.size() + 2 > kMaxNotesLength) {
            text_ += kCutMark;
            cut_ = true;
            return;
        }
        text_ += line + L"\r\n";
        ++lines_;
    }
    std::wstring Take() { return std::move(text_); }

private:
    std::wstring text_;
    size_t lines_ = 0;
    bool cut_ = false;
};

std::wstring StringMember(const rapidjson::Value& element, const char* name) {
    if (!element.IsObject()) return {};
    auto member = element.FindMember(name);
    if (member == element.MemberEnd() || !member->value.IsString()) return {};
    return FromUtf8({member->value.GetString(), member->value.GetStringLength()});
}

bool HasVersion(const rapidjson::Value& element) {
    if (!element.IsObject()) return false;
    auto member = element.FindMember("version");
    return member != element.MemberEnd() && member->value.IsString();
}

void AppendDescriptions(const rapidjson::Value& element, NotesText& text) {
    if (!element.IsObject()) return;
    auto descriptions = element.FindMember("descriptions");
    if (descriptions == element.MemberEnd() || !descriptions->value.IsArray()) return;
    for (const rapidjson::Value& line : descriptions->value.GetArray()) {
        if (!line.IsString()) continue;  // only texts are shown
        text.AddLine(ShownLine(FromUtf8({line.GetString(), line.GetStringLength()}), kMaxNotesLength));
    }
}

}  // namespace

std::wstring ShownLine(const std::wstring& text, size_t limit) {
    std::wstring shown;
    for (wchar_t c : text) {
        if (shown.size() >= limit) break;
        if (c == L'\t') shown += L' ';
        else if (!IsControl(c) && !IsHiddenFormatting(c)) shown += c;
    }
    // A high surrogate at the end lost its pair to the cut.
    if (shown.size() >= limit && !shown.empty() && shown.back() >= 0xD800 && shown.back() <= 0xDBFF) shown.pop_back();
    return shown;
}

std::optional<ReleaseNotes> BuildReleaseNotes(const char* json, int64_t count, const std::wstring& versionLabel) {
    if (!json) return std::nullopt;
    rapidjson::Document document;
    std::string error;
    if (!json_text::Parse(document, json, error) || !document.IsArray()) return std::nullopt;
    const auto elements = document.GetArray();
    bool usable = false;
    for (const rapidjson::Value& element : elements) usable = usable || HasVersion(element);
    if (!usable) return std::nullopt;

    ReleaseNotes notes;
    notes.newestVersion = ShownLine(StringMember(elements[0], "version"), kMaxShownVersion);
    NotesText text;
    const int64_t size = static_cast<int64_t>(elements.Size());
    for (int64_t i = 0; i < size; ++i) {
        const rapidjson::Value& element = elements[static_cast<rapidjson::SizeType>(i)];
        text.AddLine(versionLabel + ShownLine(StringMember(element, "version"), kMaxShownVersion));
        AppendDescriptions(element, text);
        if (i + 1 < count) text.AddLine(L"");
    }
    notes.text = text.Take();
    return notes;
}
