// A private temporary folder for one test, removed with everything in it.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

// The names in a folder, sorted, without "." and "..".
inline std::vector<std::wstring> EntriesOf(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &entry))
        if (wcscmp(entry.cFileName, L".") && wcscmp(entry.cFileName, L"..")) names.push_back(entry.cFileName);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

// Writes bytes to path and returns it.
inline std::wstring WriteBytes(const std::wstring& path, const std::string& bytes) {
    if (FILE* file = _wfopen(path.c_str(), L"wb")) {
        fwrite(bytes.data(), 1, bytes.size(), file);
        fclose(file);
    }
    return path;
}

class TempFolder {
public:
    TempFolder() {
        wchar_t temp[MAX_PATH + 1];
        GetTempPathW(MAX_PATH + 1, temp);
        static unsigned counter = 0;
        path_ = std::wstring(temp) + L"lumarest-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++counter);
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TempFolder() { RemoveTree(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& Path() const { return path_; }

    // Writes bytes to a file below the folder and returns its full path.
    std::wstring Write(const std::wstring& name, const std::string& bytes) const {
        return WriteBytes(path_ + L"\\" + name, bytes);
    }

    static void RemoveTree(const std::wstring& path) {
        for (const std::wstring& name : EntriesOf(path)) {
            const std::wstring child = path + L"\\" + name;
            if (GetFileAttributesW(child.c_str()) & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(child);
            else DeleteFileW(child.c_str());
        }
        RemoveDirectoryW(path.c_str());
    }

private:
    std::wstring path_;
};

// An environment variable's value, or empty.
inline std::wstring EnvironmentText(const wchar_t* name) {
    wchar_t buffer[4096];
    const DWORD n = GetEnvironmentVariableW(name, buffer, ARRAYSIZE(buffer));
    return n > 0 && n < ARRAYSIZE(buffer) ? std::wstring(buffer, n) : std::wstring();
}

// The text of a file, or empty.
inline std::string ReadTextFile(const std::wstring& path) {
    std::string out;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) return out;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) out.append(chunk, n);
    fclose(file);
    return out;
}
