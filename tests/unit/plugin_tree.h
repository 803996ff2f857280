// A plug-ins folder assembled by a test: module folders, version folders,
// "plugin.load" manifests and copies of the test DLLs built in the tree.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "test_files.h"

// A manifest with the three required keys and the names the module receives.
inline std::string PluginManifestText(const std::string& id, const std::string& version, const std::string& path,
                                      const std::vector<std::string>& receives = {}) {
    std::string text = "{\"id\": \"" + id + "\", \"version\": \"" + version + "\", \"path\": \"" + path + "\"";
    if (!receives.empty()) {
        text += ", \"command-recv\": [";
        for (size_t i = 0; i < receives.size(); ++i) text += (i ? ", \"" : "\"") + receives[i] + "\"";
        text += "]";
    }
    return text + "}";
}

class PluginTree {
public:
    // The plug-ins folder, without a trailing backslash.
    const std::wstring& Path() const { return root_.Path(); }
    // A module's folder as the loader takes it: full path, trailing backslash.
    std::wstring ModuleFolder(const std::wstring& module) const { return Path() + L"\\" + module + L"\\"; }

    // Creates <module>\<version>\ with manifest as its "plugin.load"; returns
    // the version folder with a trailing backslash.
    std::wstring AddVersion(const std::wstring& module, const std::wstring& version,
                            const std::string& manifest) const {
        CreateDirectoryW((Path() + L"\\" + module).c_str(), nullptr);
        const std::wstring folder = ModuleFolder(module) + version + L"\\";
        CreateDirectoryW(folder.c_str(), nullptr);
        root_.Write(module + L"\\" + version + L"\\plugin.load", manifest);
        return folder;
    }

    // Writes bytes to a file below the plug-ins folder.
    std::wstring Write(const std::wstring& relative, const std::string& bytes) const {
        return root_.Write(relative, bytes);
    }

    // Copies a file into folder (a full path ending in a backslash) as name;
    // returns the copy's full path.
    static std::wstring Copy(const std::wstring& source, const std::wstring& folder, const std::wstring& name) {
        std::wstring target = folder + name;
        CopyFileW(source.c_str(), target.c_str(), FALSE);
        return target;
    }

    // The common case: a version folder holding a manifest and one DLL.
    std::wstring AddPlugin(const std::wstring& module, const std::wstring& version, const std::wstring& dll,
                           const std::string& manifest, const std::wstring& dllName) const {
        std::wstring folder = AddVersion(module, version, manifest);
        Copy(dll, folder, dllName);
        return folder;
    }

private:
    TempFolder root_;
};
