#include "log_rate_limit.h"

#include <windows.h>

#include <mutex>

namespace {

constexpr unsigned kLinesPerSecond = 20;
constexpr uint32_t kWindowMs = 1000;

struct ProcessLimiter {
    std::mutex lock;
    LogRateLimiter limiter{kLinesPerSecond, kWindowMs};
};

// Never destroyed: plug-in threads may log until the process ends.
ProcessLimiter& Limiter() {
    static ProcessLimiter* const limiter = new ProcessLimiter;
    return *limiter;
}

// Under the site's own source place, so the line reads as one of those it
// stands for.
void WriteSuppressed(const std::vector<LogRateLimiter::Suppressed>& ended) {
    for (const LogRateLimiter::Suppressed& entry : ended) {
        const auto* site = static_cast<const LogSite*>(entry.site);
        google::LogMessage(site->file, site->line, google::GLOG_INFO).stream()
            << "... " << entry.lines << " similar lines suppressed";
    }
}

}  // namespace

bool LogRateLimiter::Admit(const void* site, uint32_t nowMs) {
    Window& window = windows_.try_emplace(site, Window{nowMs, 0, 0}).first->second;
    // A new window; a count not yet taken from the old one carries over.
    if (nowMs - window.startMs >= windowMs_) window = {nowMs, 0, window.suppressed};
    if (window.written < limit_) {
        ++window.written;
        return true;
    }
    ++window.suppressed;
    return false;
}

std::vector<LogRateLimiter::Suppressed> LogRateLimiter::TakeEnded(uint32_t nowMs, bool flushAll) {
    std::vector<Suppressed> ended;
    for (auto& [site, window] : windows_) {
        if (window.suppressed == 0 || (!flushAll && nowMs - window.startMs < windowMs_)) continue;
        ended.push_back({site, window.suppressed});
        window.suppressed = 0;
    }
    return ended;
}

bool AdmitPluginTrafficLine(const LogSite& site) {
    ProcessLimiter& process = Limiter();
    std::lock_guard guard(process.lock);
    const uint32_t now = GetTickCount();
    WriteSuppressed(process.limiter.TakeEnded(now));
    return process.limiter.Admit(&site, now);
}

void FlushSuppressedLogLines() {
    ProcessLimiter& process = Limiter();
    std::lock_guard guard(process.lock);
    WriteSuppressed(process.limiter.TakeEnded(GetTickCount(), true));
}
