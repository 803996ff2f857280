// Asks a window of another process, from a thread of its own and every
// 50 ms, whether it answers (WM_NULL through SendMessageTimeoutW) and keeps
// how long each answer took. For the answers later than the bound it also
// keeps the processor time that the window's thread spent meanwhile, which
// tells the thread's own work (busy for about the whole wait) from a thread
// that waited or was not scheduled (the machine's other load).
#pragma once

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

#include "UniqueResource.h"

namespace e2e {

class FramePinger {
public:
    static constexpr DWORD kIntervalMs = 50;
    static constexpr DWORD kBoundMs = 200;

    explicit FramePinger(HWND window)
        : window_(window),
          thread_(OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, GetWindowThreadProcessId(window, nullptr))),
          pinger_([this] { Run(); }) {}
    ~FramePinger() { Stop(); }  // copies are refused by the thread and the lock

    // Stops asking; the figures stay.
    void Stop() {
        stop_ = true;
        if (pinger_.joinable()) pinger_.join();
    }
    DWORD LongestMs() const {
        std::lock_guard<std::mutex> hold(lock_);
        return longest_;
    }
    // The longest processor time the window's thread spent within one late wait.
    DWORD LongestBusyMs() const {
        std::lock_guard<std::mutex> hold(lock_);
        return longestBusy_;
    }
    void Print(const char* run) const {
        std::lock_guard<std::mutex> hold(lock_);
        std::printf(
            "%s: %u answers, the longest after %lu ms; later than %lu ms: %u, the frame's thread busy at most "
            "%lu ms of one\n",
            run, static_cast<unsigned>(answers_), static_cast<unsigned long>(longest_),
            static_cast<unsigned long>(kBoundMs), static_cast<unsigned>(late_),
            static_cast<unsigned long>(longestBusy_));
    }

private:
    // The thread's user and kernel time in milliseconds.
    DWORD ThreadTimeMs() const {
        FILETIME created, ended, kernel, user;
        if (!thread_ || !GetThreadTimes(thread_.get(), &created, &ended, &kernel, &user)) return 0;
        const auto ms = [](const FILETIME& time) {
            return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime) / 10000;
        };
        return static_cast<DWORD>(ms(kernel) + ms(user));
    }

    void Run() {
        while (!stop_ && IsWindow(window_)) {
            const DWORD start = GetTickCount();
            const DWORD busyBefore = ThreadTimeMs();
            DWORD_PTR result = 0;
            // Not SMTO_ABORTIFHUNG: Wine counts a thread that has only been
            // answering sent messages for 5 s as hung and gives up at once.
            const bool answered = SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result) != 0;
            const DWORD waited = GetTickCount() - start;
            if (!answered && !IsWindow(window_)) break;  // the window went while it was asked
            {
                std::lock_guard<std::mutex> hold(lock_);
                ++answers_;
                longest_ = std::max(longest_, waited);
                if (waited > kBoundMs) {
                    ++late_;
                    longestBusy_ = std::max(longestBusy_, ThreadTimeMs() - busyBefore);
                }
            }
            if (waited < kIntervalMs) Sleep(kIntervalMs - waited);
        }
    }

    const HWND window_;
    const UniqueHandle thread_;
    std::atomic<bool> stop_{false};
    mutable std::mutex lock_;
    size_t answers_ = 0, late_ = 0;        // guarded by lock_
    DWORD longest_ = 0, longestBusy_ = 0;  // guarded by lock_
    std::thread pinger_;                   // last: starts once the rest is made
};

}  // namespace e2e
