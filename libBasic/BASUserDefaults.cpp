#include "BASUserDefaults.h"

#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "BASUtility.h"
#include "JsonText.h"
#include "UniqueResource.h"

struct BASUserDefaults::Impl {
    std::wstring path;
    rapidjson::Document document;
    std::string readError;  // why an existing file was not taken
};

namespace {

// Stores live until they are disposed of or the process ends; the host
// touches them from its main thread only.
std::map<std::string, std::unique_ptr<BASUserDefaults>>& Stores() {
    static std::map<std::string, std::unique_ptr<BASUserDefaults>> stores;
    return stores;
}

constexpr const char* kStandardName = "\x01standard";

bool ReadWholeFile(const std::wstring& path, std::string& out) {
    const UniqueFile file(_wfopen(path.c_str(), L"rb"));
    if (!file) return false;
    char chunk[8192];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file.get())) > 0) out.append(chunk, n);
    return !ferror(file.get());
}

std::string& LastError() {
    static std::string error;
    return error;
}

// Reads the file at path as a JSON object; false with the reason in error.
bool ReadStore(const std::wstring& path, rapidjson::Document& document, std::string& error) {
    std::string text;
    if (!ReadWholeFile(path, text)) {
        error = "cannot be read";
        return false;
    }
    if (!json_text::Parse(document, text, error)) return false;
    if (document.IsObject()) return true;
    error = "the root is not an object";
    return false;
}

const rapidjson::Value* Find(const rapidjson::Value& root, const char* key) {
    if (!root.IsObject() || !key) return nullptr;
    auto exact = root.FindMember(key);
    if (exact != root.MemberEnd()) return &exact->value;
    // Walk "a:b:c" through nested objects.
    const rapidjson::Value* node = &root;
    std::string path = key;
    size_t start = 0;
    while (node->IsObject()) {
        size_t end = path.find(':', start);
        std::string part = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        auto it = node->FindMember(part.c_str());
        if (it == node->MemberEnd()) return nullptr;
        node = &it->value;
        if (end == std::string::npos) return node;
        start = end + 1;
    }
    return nullptr;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool ParseHexColour(const char* text, COLORREF& out) {
    if (*text == '#') ++text;
    unsigned rgb = 0;
    for (int i = 0; i < 6; ++i) {
        int d = HexDigit(text[i]);
        if (d < 0) return false;
        rgb = rgb << 4 | d;
    }
    if (text[6] != 0) return false;
    out = RGB(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF);
    return true;
}

std::wstring StandardStorePath(const wchar_t* maker, const wchar_t* product) {
    wchar_t* appData = BASUtilitySys::GetAppDataDir();
    std::wstring path = std::wstring(appData) + maker + L"\\" + product + L"\\UserDefaults.json";
    free(appData);
    return path;
}

}  // namespace

BASUserDefaults::BASUserDefaults(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
BASUserDefaults::~BASUserDefaults() = default;

bool BASUserDefaults::InitStandardUserDefaults(const wchar_t* makerName, const wchar_t* productTitle) {
    auto impl = std::make_unique<Impl>();
    impl->path = StandardStorePath(makerName ? makerName : L"", productTitle ? productTitle : L"");
    // A missing or damaged file starts an empty store; the damaged file is
    // only replaced when the store is written. A file that is there but
    // refused keeps its reason for the caller to log.
    const bool exists = GetFileAttributesW(impl->path.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!ReadStore(impl->path, impl->document, impl->readError)) {
        if (!exists) impl->readError.clear();
        impl->document.SetObject();
    }
    Stores()[kStandardName].reset(new BASUserDefaults(std::move(impl)));
    return true;
}

BASUserDefaults* BASUserDefaults::StandardUserDefaults() { return GetUserDefaults(kStandardName); }

bool BASUserDefaults::InitUserDefaults(const char* name, const wchar_t* path) {
    if (!name || !path) return false;
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    if (!ReadStore(impl->path, impl->document, LastError())) return false;
    LastError().clear();
    Stores()[name].reset(new BASUserDefaults(std::move(impl)));
    return true;
}

BASUserDefaults* BASUserDefaults::GetUserDefaults(const char* name) {
    if (!name) return nullptr;
    auto it = Stores().find(name);
    return it == Stores().end() ? nullptr : it->second.get();
}

void BASUserDefaults::DisposeUserDefaults(const char* name) {
    if (name) Stores().erase(name);
}

const std::string& BASUserDefaults::LastInitError() { return LastError(); }

const std::string& BASUserDefaults::ReadError() const { return impl_->readError; }

bool BASUserDefaults::IsOk() const { return impl_->document.IsObject(); }

bool BASUserDefaults::HasMember(const char* key) const { return Find(impl_->document, key) != nullptr; }

const char* BASUserDefaults::GetString(const char* key) const {
    const rapidjson::Value* value = Find(impl_->document, key);
    return value && value->IsString() ? value->GetString() : "";
}

int BASUserDefaults::GetInt(const char* key) const {
    const rapidjson::Value* value = Find(impl_->document, key);
    if (!value) return 0;
    if (value->IsInt()) return value->GetInt();
    // A fraction is cut to its integer part; a number beyond int's range is
    // refused like any other unusable value.
    if (value->IsNumber()) {
        const double number = value->GetDouble();
        if (number > -2147483649.0 && number < 2147483648.0) return static_cast<int>(number);
    }
    return 0;
}

COLORREF BASUserDefaults::GetRGB(const char* key, COLORREF fallback) const {
    const rapidjson::Value* value = Find(impl_->document, key);
    COLORREF colour = fallback;
    if (value && value->IsString() && ParseHexColour(value->GetString(), colour)) return colour;
    if (value && value->IsUint() && value->GetUint() <= 0xFFFFFF) {
        unsigned rgb = value->GetUint();
        return RGB(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF);
    }
    return fallback;
}

void BASUserDefaults::SetInt(const char* key, int value) {
    if (!key) return;
    auto& doc = impl_->document;
    auto it = doc.FindMember(key);
    if (it != doc.MemberEnd()) {
        it->value.SetInt(value);
        return;
    }
    doc.AddMember(rapidjson::Value(key, doc.GetAllocator()), rapidjson::Value(value), doc.GetAllocator());
}

bool BASUserDefaults::WriteAll() const {
    rapidjson::StringBuffer buffer;
    rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
    impl_->document.Accept(writer);

    std::wstring folder = impl_->path.substr(0, impl_->path.find_last_of(L"\\/"));
    if (!folder.empty()) BASUtilityFile::CreateFolderTree(folder.c_str());
    // Two processes of the product may write at once (an old version closing
    // while the updated one starts): each writes its own temporary file, the
    // last replacement wins, and a replacement that meets the other's for a
    // moment is tried again.
    const std::wstring temporary = impl_->path + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                   std::to_wstring(GetCurrentThreadId()) + L".tmp";
    UniqueFile file(_wfopen(temporary.c_str(), L"wb"));
    if (!file) return false;
    bool ok = fwrite(buffer.GetString(), 1, buffer.GetSize(), file.get()) == buffer.GetSize();
    // Closing flushes: its failure is a failed write.
    ok = fclose(file.release()) == 0 && ok;
    for (int attempt = 0; ok && attempt < 20; ++attempt) {
        if (MoveFileExW(temporary.c_str(), impl_->path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) break;
        Sleep(25);
    }
    DeleteFileW(temporary.c_str());
    return false;
}

const std::wstring& BASUserDefaults::Path() const { return impl_->path; }
