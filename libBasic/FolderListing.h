// The one way the program lists a folder: the entries a FindFirstFileW
// pattern finds, without "." and "..", through an owned search handle.
#pragma once

#include <string>
#include <vector>

struct FolderEntry {
    std::wstring name;
    bool isFolder = false;
};

// pattern is a folder and a wildcard ("C:\x\*", "C:\x\*.log.*"); a missing
// folder lists nothing.
std::vector<FolderEntry> ListFolder(const std::wstring& pattern);

// Only the subfolders' names, in the order the file system gives them.
std::vector<std::wstring> ListSubfolderNames(const std::wstring& pattern);
