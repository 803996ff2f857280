#include "services/release_notes.h"

#include <rapidjson/document.h>

#include "JsonText.h"
#include "Utf8.h"

namespace {

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

void AppendDescriptions(const rapidjson::Value& element, std::wstring& text) {
    if (!element.IsObject()) return;
    auto descriptions = element.FindMember("descriptions");
    if (descriptions == element.MemberEnd() || !descriptions->value.IsArray()) return;
    for (const rapidjson::Value& line : descriptions->value.GetArray()) {
        if (!line.IsString()) continue;  // only texts are shown
        text += FromUtf8({line.GetString(), line.GetStringLength()});
        text += L"\r\n";
    }
}

}  // namespace

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
    notes.newestVersion = StringMember(elements[0], "version");
    const int64_t size = static_cast<int64_t>(elements.Size());
    for (int64_t i = 0; i < size; ++i) {
        const rapidjson::Value& element = elements[static_cast<rapidjson::SizeType>(i)];
        notes.text += versionLabel + StringMember(element, "version") + L"\r\n";
        AppendDescriptions(element, notes.text);
        if (i + 1 < count) notes.text += L"\r\n";
    }
    return notes;
}
