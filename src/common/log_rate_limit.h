// A bound on the log lines that plug-in traffic causes. A plug-in may send
// the same command as fast as it likes; each line the host writes because of
// one goes through LOG_PLUGIN_TRAFFIC, which lets a call site write a few
// lines per second and counts the rest, so the log cannot be flooded to its
// size limit and rotated away from what came before.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "logging.h"

// The window arithmetic, without a clock or a log of its own: the caller
// passes the time, so it is tested without waiting.
class LogRateLimiter {
public:
    // A site's lines that were held back in a window that has ended.
    struct Suppressed {
        const void* site;
        uint64_t lines;
    };

    LogRateLimiter(unsigned linesPerWindow, uint32_t windowMs) : limit_(linesPerWindow), windowMs_(windowMs) {}

    // Whether site may write a line at nowMs (milliseconds, wrapping like
    // GetTickCount). Windows are per site: one site's flood never silences
    // another.
    bool Admit(const void* site, uint32_t nowMs);
    // The held-back counts of every window that has ended by nowMs, each
    // handed out once; with flushAll, of the open windows too.
    std::vector<Suppressed> TakeEnded(uint32_t nowMs, bool flushAll = false);

private:
    struct Window {
        uint32_t startMs = 0;
        unsigned written = 0;
        uint64_t suppressed = 0;
    };

    const unsigned limit_;
    const uint32_t windowMs_;
    std::map<const void*, Window> windows_;
};

// A call site of LOG_PLUGIN_TRAFFIC: its place in the source, which also
// heads its "suppressed" line.
struct LogSite {
    const char* file;
    int line;
};

// The process's limiter (20 lines per site and second), under a lock: sends
// come from any thread. Writes the "... N similar lines suppressed" line of
// every window that has ended, under the site's own file and line, then says
// whether site may write.
bool AdmitPluginTrafficLine(const LogSite& site);
// Writes what is still held back; the orderly shut-down calls it before the
// log closes.
void FlushSuppressedLogLines();

// LOG(severity) for a line that plug-in traffic causes, limited per call
// site (the lambda's static is one object per place the macro is written).
// An expression, as LOG_IF is, so it is safe between an if and its else.
#define LOG_PLUGIN_TRAFFIC(severity)                                 \
    LOG_IF(severity, AdmitPluginTrafficLine([]() -> const LogSite& { \
               static constexpr LogSite site{__FILE__, __LINE__};    \
               return site;                                          \
           }()))
