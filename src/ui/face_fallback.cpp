#include "ui/face_fallback.h"

std::wstring FaceFallback::Lookup(const std::wstring& requested) const {
    if (!requested.empty() && isInstalled_(requested)) return requested;
    for (const std::wstring& fallback : fallbacks_)
        if (!fallback.empty() && isInstalled_(fallback)) return fallback;
    return {};
}

FaceFallback::Choice FaceFallback::Resolve(const std::wstring& requested) {
    std::lock_guard<std::mutex> guard(lock_);
    if (const auto known = chosen_.find(requested); known != chosen_.end()) return {known->second, false};
    const std::wstring family = Lookup(requested);
    chosen_.emplace(requested, family);
    return {family, family != requested};
}
