#include "FolderListing.h"

#include <windows.h>

#include "UniqueResource.h"

std::vector<FolderEntry> ListFolder(const std::wstring& pattern) {
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAW found;
    const UniqueFindHandle search(FindFirstFileW(pattern.c_str(), &found));
    if (!search) return entries;
    do {
        const std::wstring_view name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        entries.push_back({std::wstring(name), (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileW(search.get(), &found));
    return entries;
}

std::vector<std::wstring> ListSubfolderNames(const std::wstring& pattern) {
    std::vector<std::wstring> names;
    for (FolderEntry& entry : ListFolder(pattern)) {
        if (entry.isFolder) names.push_back(std::move(entry.name));
    }
    return names;
}
