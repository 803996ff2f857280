#include "BASUtility.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>
#include <ctime>
#include <cwchar>
#include <string>

namespace {

std::wstring& InstallOverride() {
    static std::wstring dir;
    return dir;
}

std::wstring& PluginsOverride() {
    static std::wstring dir;
    return dir;
}

std::wstring WithBackslash(std::wstring path) {
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
    return path;
}

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

wchar_t* NewCopy(const std::wstring& text) { return _wcsdup(text.c_str()); }

int CALLBACK StopAtFirstFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool IsFaceInstalled(const wchar_t* face) {
    HDC dc = GetDC(nullptr);
    LOGFONTW probe{};
    probe.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(probe.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    EnumFontFamiliesExW(dc, &probe, StopAtFirstFace, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

}  // namespace

wchar_t* BASUtilityApp::GetAppModule() { return NewCopy(ModulePath()); }

wchar_t* BASUtilityApp::GetProductBinDir() {
    std::wstring path = ModulePath();
    return NewCopy(path.substr(0, path.find_last_of(L'\\') + 1));
}

wchar_t* BASUtilityApp::GetProductInstallDir() {
    if (!InstallOverride().empty()) return NewCopy(InstallOverride());
    return GetProductBinDir();
}

wchar_t* BASUtilityApp::GetProductPluginsDir() {
    if (!PluginsOverride().empty()) return NewCopy(PluginsOverride());
    wchar_t* install = GetProductInstallDir();
    std::wstring plugins = std::wstring(install) + L"Plugins\\";
    free(install);
    return NewCopy(plugins);
}

void BASUtilityApp::SetProductDirOverrides(const wchar_t* installDir, const wchar_t* pluginsDir) {
    InstallOverride() = WithBackslash(installDir ? installDir : L"");
    PluginsOverride() = WithBackslash(pluginsDir ? pluginsDir : L"");
}

HFONT BASUtilityApp::GetFont(int pixelSize, bool bold, const wchar_t* faceName) {
    LOGFONTW font{};
    font.lfHeight = -pixelSize;
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    if (faceName && *faceName && IsFaceInstalled(faceName)) {
        wcsncpy(font.lfFaceName, faceName, LF_FACESIZE - 1);
    }
    // An empty face name with FF_SWISS asks the mapper for any sans-serif face.
    return CreateFontIndirectW(&font);
}

bool BASUtilityApp::OpenUrl(const char* url) {
    if (!url || !*url) return false;
    wchar_t* wide = BASUtilityString::ConvertUtf8ToUnicode(url);
    auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", wide, nullptr, nullptr, SW_SHOWNORMAL));
    free(wide);
    return result > 32;
}

bool BASUtilityApp::OpenFolder(const wchar_t* folder) {
    if (!folder || !*folder) return false;
    auto result =
        reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"explore", folder, nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

wchar_t* BASUtilitySys::GetAppDataDir() {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path))) path[0] = 0;
    return NewCopy(WithBackslash(path));
}

void BASUtilitySys::GetNowDateTime(char* buffer, size_t size, const char* format) {
    if (!buffer || size == 0) return;
    buffer[0] = 0;
    time_t now = time(nullptr);
    // msvcrt keeps localtime's result per thread, so this is thread-safe.
    const struct tm* local = localtime(&now);
    if (!local) return;
    if (strftime(buffer, size, format ? format : "", local) == 0) buffer[0] = 0;
}

bool BASUtilityFile::IsFileExist(const wchar_t* path) {
    return path && *path && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

bool BASUtilityFile::CreateFolderTree(const wchar_t* folder) {
    if (!folder || !*folder) return false;
    const std::wstring path = folder;
    // Every separator after the first character ends a folder above; the
    // drive ("C:") or the server's share is there or not, and its creation
    // only fails.
    for (size_t at = path.find_first_of(L"\\/", 1); at != std::wstring::npos; at = path.find_first_of(L"\\/", at + 1))
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryW(path.c_str(), nullptr);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

wchar_t* BASUtilityFile::ZLGetFormatSizeFromBytes(uint64_t bytes) {
    static const wchar_t* const kUnits[] = {L"B", L"KB", L"MB", L"GB", L"TB", L"PB", L"EB"};
    if (bytes < 1024) return BASUtilityString::Format(L"%I64u %ls", bytes, kUnits[0]);
    double value = static_cast<double>(bytes);
    size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < ARRAYSIZE(kUnits)) {
        value /= 1024.0;
        ++unit;
    }
    wchar_t* text = BASUtilityString::Format(L"%.2f", value);
    // Trim trailing zeros of the fraction: "1.50" -> "1.5", "2.00" -> "2".
    size_t len = wcslen(text);
    while (len > 0 && text[len - 1] == L'0') text[--len] = 0;
    if (len > 0 && text[len - 1] == L'.') text[--len] = 0;
    wchar_t* out = BASUtilityString::Format(L"%ls %ls", text, kUnits[unit]);
    free(text);
    return out;
}
