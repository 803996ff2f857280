#include "plugin_manifest.h"

#include <rapidjson/document.h>
#include "JsonText.h"

#include "BASUtility.h"

namespace {

using Json = rapidjson::Value;

// A string member, or null when it is absent or of another type.
const Json* StringMember(const Json& object, const char* key) {
    auto it = object.FindMember(key);
    return it != object.MemberEnd() && it->value.IsString() ? &it->value : nullptr;
}

void ReadInt(const Json& object, const char* key, int32_t& out) {
    auto it = object.FindMember(key);
    if (it != object.MemberEnd() && it->value.IsInt()) out = it->value.GetInt();
}

void ReadStringList(const Json& object, const char* key, std::vector<std::string>& out) {
    auto it = object.FindMember(key);
    if (it == object.MemberEnd() || !it->value.IsArray()) return;
    for (const Json& entry : it->value.GetArray()) {
        if (entry.IsString()) out.emplace_back(entry.GetString(), entry.GetStringLength());
    }
}

std::string Text(const Json& value) { return std::string(value.GetString(), value.GetStringLength()); }

ManifestReading Refused(std::string reason) {
    ManifestReading reading;
    reading.refusal = std::move(reason);
    return reading;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

ManifestReading ParsePluginManifest(const char* text) {
    rapidjson::Document document;
    std::string error;
    if (!json_text::Parse(document, text ? text : "", error)) {
        ManifestReading reading = Refused(std::move(error));
        reading.parseError = true;
        return reading;
    }
    if (!document.IsObject()) return Refused("the root is not an object");
    const Json* id = StringMember(document, "id");
    if (!id) return Refused("\"id\" is missing or not a string");
    const Json* version = StringMember(document, "version");
    if (!version) return Refused("\"version\" is missing or not a string");
    const Json* path = StringMember(document, "path");
    if (!path) return Refused("\"path\" is missing or not a string");
    if (!LibraryPathStaysInside(Text(*path)))
        return Refused("\"path\" leads out of the version folder: " + Text(*path));

    ManifestReading reading;
    reading.ok = true;
    reading.manifest.libraryPath = Text(*path);
    ModuleRecord& record = reading.manifest.record;
    record.id = Text(*id);
    record.version = Text(*version);
    ReadInt(document, "type", record.type);
    ReadInt(document, "width", record.width);
    ReadInt(document, "height", record.height);
    if (const Json* create = StringMember(document, "command-create")) record.createCommand = Text(*create);
    ReadStringList(document, "command-recv", record.receives);
    ReadStringList(document, "command-send", record.sends);
    ReadStringList(document, "require", record.requires_);
    ReadStringList(document, "optional", record.optionals);
    return reading;
}

bool LibraryPathStaysInside(std::string_view path) {
    if (path.empty() || IsSeparator(path.front())) return false;  // rooted, UNC or device path
    if (path.find(':') != std::string_view::npos) return false;   // drive letter or data stream
    if (path.find('\0') != std::string_view::npos) return false;  // would cut the path short
    int depth = 0;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        std::string_view part = path.substr(start, end - start);
        if (part == "..") {
            if (--depth < 0) return false;
        } else if (part != "." && !part.empty()) {
            if (part.find_first_not_of(". ") == std::string_view::npos) return false;
            ++depth;
        }
        start = end + 1;
    }
    return depth > 0;  // "." or "sub/.." names the folder itself, not a file
}

std::vector<std::string> OrderVersionCandidates(const std::vector<std::string>& listed) {
    std::vector<std::string> ordered;
    for (const std::string& name : listed) {
        // The front is always the highest so far.
        if (!ordered.empty() && BASUtilityString::CompareVersion(name.c_str(), ordered.front().c_str()) < 0) {
            ordered.push_back(name);
        } else {
            ordered.insert(ordered.begin(), name);
        }
    }
    return ordered;
}
