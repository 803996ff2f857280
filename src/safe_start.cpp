#include "safe_start.h"

#include <windows.h>

#include <cstdio>

#include "BASUserDefaults.h"
#include "BASUtility.h"
#include "UniqueResource.h"
#include "Utf8.h"

namespace {
constexpr char kCrashed[] = "crashed";
constexpr char kUnfinished[] = "unfinished";
constexpr wchar_t kMarkerName[] = L"StartMarker.txt";
}  // namespace

std::string StartMarkerText(const StartMarker& marker) {
    return std::string(marker.crashed ? kCrashed : kUnfinished) + "\n" + ToUtf8(marker.plugin) + "\n";
}

std::optional<StartMarker> ParseStartMarker(const std::string& text) {
    const size_t first = text.find('\n');
    if (first == std::string::npos) return std::nullopt;
    const std::string kind = text.substr(0, first);
    std::string plugin = text.substr(first + 1);
    if (!plugin.empty() && plugin.back() == '\n') plugin.pop_back();
    if ((kind != kCrashed && kind != kUnfinished) || plugin.empty() ||
        plugin.find_first_of("\\/\n") != std::string::npos)
        return std::nullopt;
    return StartMarker{FromUtf8(plugin), kind == kCrashed};
}

std::wstring StartMarkerPath() {
    const BASUserDefaults* store = BASUserDefaults::StandardUserDefaults();
    if (!store) return {};
    const std::wstring& settings = store->Path();
    return settings.substr(0, settings.find_last_of(L'\\') + 1) + kMarkerName;
}

namespace {
// The settings store's folder exists only once the store was written.
void CreateMarkerFolder(const std::wstring& path) {
    BASUtilityFile::CreateFolderTree(path.substr(0, path.find_last_of(L'\\')).c_str());
}
}  // namespace

bool WriteStartMarker(const std::wstring& path, const StartMarker& marker) {
    if (path.empty()) return false;
    CreateMarkerFolder(path);
    const std::string text = StartMarkerText(marker);
    const UniqueFile file(_wfopen(path.c_str(), L"wb"));
    return file && fwrite(text.data(), 1, text.size(), file.get()) == text.size();
}

std::optional<StartMarker> TakeStartMarker(const std::wstring& path) {
    if (path.empty()) return std::nullopt;
    std::string text;
    {
        const UniqueFile file(_wfopen(path.c_str(), L"rb"));
        if (!file) return std::nullopt;
        char chunk[512];
        size_t n;
        while (text.size() < 4096 && (n = fread(chunk, 1, sizeof chunk, file.get())) > 0) text.append(chunk, n);
    }
    DeleteFileW(path.c_str());
    return ParseStartMarker(text);
}

bool StartMarkerWriter::Write(const StartMarker& marker) {
    if (path_.empty()) return false;
    if (!file_) {
        CreateMarkerFolder(path_);
        file_.reset(CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file_) return false;
    }
    const std::string text = StartMarkerText(marker);
    DWORD written = 0;
    // A shorter name than the last one must not leave the end of the last.
    return SetFilePointer(file_.get(), 0, nullptr, FILE_BEGIN) == 0 &&
           WriteFile(file_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size() && SetEndOfFile(file_.get());
}

void StartMarkerWriter::Finish() {
    file_.reset();
    if (!path_.empty()) DeleteFileW(path_.c_str());
}
