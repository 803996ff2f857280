#include "startup_trace.h"

#include <windows.h>

#include <cstdio>
#include <map>
#include <utility>

namespace {

long long Ticks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double TicksToMs(long long ticks) {
    static const double perMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    return static_cast<double>(ticks) / perMs;
}

std::string Format(const char* format, double a, double b = 0) {
    char text[64];
    snprintf(text, sizeof text, format, a, b);
    return text;
}

}  // namespace

StartupTrace::StartupTrace(std::string title) : title_(std::move(title)), lastTicks_(Ticks()) {}

void StartupTrace::Mark(const std::string& phase, const std::string& detail) {
    const long long now = Ticks();
    Record(phase, TicksToMs(now - lastTicks_), detail);
    lastTicks_ = now;
}

void StartupTrace::Record(const std::string& phase, double ms, const std::string& detail) {
    steps_.push_back({phase, detail, ms});
}

std::string StartupTrace::Summary() const {
    struct Sum {
        double ms = 0;
        int count = 0;
    };
    std::vector<std::string> order;
    std::map<std::string, Sum> sums;
    double total = 0;
    for (const Step& step : steps_) {
        auto [entry, added] = sums.try_emplace(step.phase);
        if (added) order.push_back(step.phase);
        entry->second.ms += step.ms;
        ++entry->second.count;
        total += step.ms;
    }
    std::string line = title_ + Format(" %.1f ms", total);
    const char* separator = ": ";
    for (const std::string& phase : order) {
        const Sum& sum = sums[phase];
        line += separator + phase + Format(" %.1f ms", sum.ms);
        if (sum.count > 1) line += " (" + std::to_string(sum.count) + ")";
        separator = "; ";
    }
    return line;
}

std::vector<std::string> StartupTrace::Steps() const {
    std::vector<std::string> lines;
    double at = 0;
    for (const Step& step : steps_) {
        at += step.ms;
        lines.push_back("Start-up step" + Format(" %9.2f ms %8.2f ms ", at, step.ms) + step.phase +
                        (step.detail.empty() ? "" : " " + step.detail));
    }
    return lines;
}

double MsSinceProcessCreation() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    // The precise clock where the system has it (Windows 8 on); the coarse
    // one is within a scheduler tick.
    using PreciseTime = void(WINAPI*)(FILETIME*);
    static const auto precise = reinterpret_cast<PreciseTime>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
    FILETIME now;
    if (precise) precise(&now);
    else GetSystemTimeAsFileTime(&now);
    const auto value = [](const FILETIME& time) {
        return static_cast<long long>(ULARGE_INTEGER{{time.dwLowDateTime, time.dwHighDateTime}}.QuadPart);
    };
    const long long hundredNs = value(now) - value(created);
    return hundredNs > 0 ? static_cast<double>(hundredNs) / 10000.0 : 0;
}
