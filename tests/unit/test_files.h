// A private temporary folder for one test, removed with everything in it.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "UniqueResource.h"

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
        std::wstring full = path_ + L"\\" + name;
        if (const UniqueFile file{_wfopen(full.c_str(), L"wb")}) fwrite(bytes.data(), 1, bytes.size(), file.get());
        return full;
    }

    std::string Read(const std::wstring& name) const {
        std::string out;
        const UniqueFile file(_wfopen((path_ + L"\\" + name).c_str(), L"rb"));
        if (!file) return out;
        char chunk[4096];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, file.get())) > 0) out.append(chunk, n);
        return out;
    }

    static void RemoveTree(const std::wstring& path) {
        WIN32_FIND_DATAW entry;
        const UniqueFindHandle search(FindFirstFileW((path + L"\\*").c_str(), &entry));
        if (search) {
            do {
                std::wstring name = entry.cFileName;
                if (name == L"." || name == L"..") continue;
                std::wstring child = path + L"\\" + name;
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(child);
                else
                    DeleteFileW(child.c_str());
            } while (FindNextFileW(search.get(), &entry));
        }
        RemoveDirectoryW(path.c_str());
    }

private:
    std::wstring path_;
};
