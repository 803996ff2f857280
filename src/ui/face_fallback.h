// Which installed font family stands in for a requested one, free of
// windows: the requested family when it is installed, else the first
// installed family of a short fall-back list (the system's message font,
// then a generic sans-serif). GDI+ draws nothing at all with a family that
// is not installed, so no font is ever made from an unchecked name.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class FaceFallback {
public:
    using IsInstalled = std::function<bool(const std::wstring& family)>;

    struct Choice {
        std::wstring family;         // empty: neither the family nor any fall-back is installed
        bool newSubstitute = false;  // the first answer that replaces this requested family
    };

    FaceFallback(IsInstalled isInstalled, std::vector<std::wstring> fallbacks)
        : isInstalled_(std::move(isInstalled)), fallbacks_(std::move(fallbacks)) {}

    // The family to draw requested with. Each requested family is looked up
    // once and its answer kept; any thread.
    Choice Resolve(const std::wstring& requested);

private:
    std::wstring Lookup(const std::wstring& requested) const;

    IsInstalled isInstalled_;
    std::vector<std::wstring> fallbacks_;
    std::mutex lock_;
    std::map<std::wstring, std::wstring> chosen_;
};
