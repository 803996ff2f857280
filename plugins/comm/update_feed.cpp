#include "update_feed.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <cctype>

namespace comm {
namespace {

// A feed is four levels deep; anything far deeper is not a feed, and is
// refused before a document is built from it.
constexpr int kMaxNesting = 32;

bool NestingWithin(const std::string& text, int limit) {
    int depth = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit) return false;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

// The numbers of a dotted version; a part's leading digits are its number.
std::vector<uint64_t> VersionNumbers(const std::string& version) {
    std::vector<uint64_t> numbers(1, 0);
    bool inDigits = true;
    for (char c : version) {
        if (c == '.') {
            numbers.push_back(0);
            inDigits = true;
        } else if (inDigits && std::isdigit(static_cast<unsigned char>(c))) {
            numbers.back() = std::min<uint64_t>(numbers.back() * 10 + (c - '0'), UINT32_MAX);
        } else {
            inDigits = false;
        }
    }
    return numbers;
}

std::string StringMember(const rapidjson::Value& object, const char* name) {
    const auto member = object.FindMember(name);
    return member != object.MemberEnd() && member->value.IsString() ? member->value.GetString() : "";
}

Installer ReadInstaller(const rapidjson::Value& release) {
    Installer installer;
    const auto member = release.FindMember("installer");
    if (member == release.MemberEnd() || !member->value.IsObject()) return installer;
    const rapidjson::Value& object = member->value;
    installer.url = StringMember(object, "url");
    installer.sha256 = StringMember(object, "sha256");
    installer.signature = StringMember(object, "signature");
    const auto size = object.FindMember("size");
    if (size != object.MemberEnd() && size->value.IsUint64()) installer.size = size->value.GetUint64();
    return installer;
}

bool ReadRelease(const rapidjson::Value& element, Release& release) {
    if (!element.IsObject()) return false;
    const auto version = element.FindMember("version");
    if (version == element.MemberEnd() || !version->value.IsString()) return false;
    release.version.assign(version->value.GetString(), version->value.GetStringLength());
    if (!IsPlainVersion(release.version)) return false;
    const auto descriptions = element.FindMember("descriptions");
    if (descriptions != element.MemberEnd() && descriptions->value.IsArray()) {
        for (const rapidjson::Value& line : descriptions->value.GetArray())
            if (line.IsString()) release.descriptions.push_back(line.GetString());
    }
    release.installer = ReadInstaller(element);
    return true;
}

bool ParseJson(const std::string& text, rapidjson::Document& document) {
    if (!NestingWithin(text, kMaxNesting)) return false;
    document.Parse<rapidjson::kParseIterativeFlag>(text.c_str(), text.size());
    return !document.HasParseError();
}

}  // namespace

int CompareVersions(const std::string& a, const std::string& b) {
    std::vector<uint64_t> left = VersionNumbers(a), right = VersionNumbers(b);
    const size_t parts = std::max(left.size(), right.size());
    left.resize(parts, 0);
    right.resize(parts, 0);
    for (size_t i = 0; i < parts; ++i)
        if (left[i] != right[i]) return left[i] < right[i] ? -1 : 1;
    return 0;
}

bool IsPlainVersion(const std::string& version) {
    if (version.empty() || version.size() > kMaxVersionLength) return false;
    size_t digits = 0;
    for (char c : version) {
        if (c == '.') {
            if (digits == 0) return false;
            digits = 0;
        } else if (c >= '0' && c <= '9') {
            if (++digits > 9) return false;
        } else {
            return false;
        }
    }
    return digits > 0;
}

bool ReadSignedFeed(const std::string& fileText, SignedFeed& feed) {
    rapidjson::Document document;
    if (!ParseJson(fileText, document) || !document.IsObject()) return false;
    for (const char* name : {"key", "signature", "text"}) {
        const auto member = document.FindMember(name);
        if (member == document.MemberEnd() || !member->value.IsString()) return false;
    }
    feed.key = StringMember(document, "key");
    feed.signature = StringMember(document, "signature");
    const rapidjson::Value& text = document["text"];
    feed.text.assign(text.GetString(), text.GetStringLength());  // may hold NULs, which the signature covers
    return true;
}

FeedReading ReadNewerReleases(const std::string& feedText, const std::string& current, std::vector<Release>& newer) {
    newer.clear();
    rapidjson::Document document;
    if (!ParseJson(feedText, document) || !document.IsObject()) return FeedReading::NotAFeed;
    const auto versions = document.FindMember("versions");
    if (versions == document.MemberEnd() || !versions->value.IsArray()) return FeedReading::NotAFeed;
    for (const rapidjson::Value& element : versions->value.GetArray()) {
        Release release;
        if (!ReadRelease(element, release)) {
            newer.clear();
            return FeedReading::BadEntry;
        }
        if (CompareVersions(release.version, current) > 0) newer.push_back(std::move(release));
    }
    std::stable_sort(newer.begin(), newer.end(),
                     [](const Release& a, const Release& b) { return CompareVersions(a.version, b.version) > 0; });
    return FeedReading::Read;
}

std::string ReleaseNotesJson(const std::vector<Release>& releases) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.StartArray();
    for (const Release& release : releases) {
        writer.StartObject();
        writer.Key("version");
        writer.String(release.version.c_str(), static_cast<rapidjson::SizeType>(release.version.size()));
        writer.Key("descriptions");
        writer.StartArray();
        for (const std::string& line : release.descriptions)
            writer.String(line.c_str(), static_cast<rapidjson::SizeType>(line.size()));
        writer.EndArray();
        writer.EndObject();
    }
    writer.EndArray();
    return std::string(buffer.GetString(), buffer.GetSize());
}

std::string ReadFeedAddress(const std::string& settingsText) {
    rapidjson::Document document;
    if (!ParseJson(settingsText, document) || !document.IsObject()) return "";
    return StringMember(document, "feed");
}

std::string ResolveAddress(const std::string& base, const std::string& url) {
    const size_t colon = url.find(':');
    const size_t slash = url.find('/');
    if (colon != std::string::npos && (slash == std::string::npos || colon < slash)) return url;  // has a scheme
    const std::string path = base.substr(0, base.find_first_of("?#"));
    const size_t authority = path.find("//") == std::string::npos ? 0 : path.find("//") + 2;
    const size_t pathStart = std::min(path.find('/', authority), path.size());
    if (!url.empty() && url[0] == '/') return path.substr(0, pathStart) + url;  // from the server's root
    const size_t folderEnd = path.find_last_of('/');
    if (folderEnd == std::string::npos || folderEnd < pathStart) return path.substr(0, pathStart) + "/" + url;
    return path.substr(0, folderEnd + 1) + url;
}

}  // namespace comm
