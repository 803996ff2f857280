// Calls that any thread hands to the main thread. A message-only window of
// the main thread takes them as kMainThreadCallMessage and runs them in
// posting order; when it closes at shut-down, the calls still queued are
// discarded without running, so none is lost, leaked or run half-way.
#pragma once

#include <windows.h>

#include <lumarest/plugin.h>

#include <functional>

// The window message that carries one posted call.
constexpr UINT kMainThreadCallMessage = WM_USER + 1000;
// The window message that carries one call a thread waits for.
constexpr UINT kMainThreadRunMessage = WM_USER + 1001;

using RecordFunction = void (*)(BASObserveData*);

// Frees a posted record that hands over nothing else: the usual discard.
void FreeRecord(BASObserveData* record);

// The target of PostToMainThread while it exists; one at a time. Made on
// the main thread before the main frame, destroyed after the message loop.
class MainThreadCalls {
public:
    MainThreadCalls();
    // On the creating thread: stops taking calls, discards those still
    // queued, then destroys the window.
    ~MainThreadCalls();
    MainThreadCalls(const MainThreadCalls&) = delete;
    MainThreadCalls& operator=(const MainThreadCalls&) = delete;

    // False when the window could not be made; posts are then discarded.
    bool IsOpen() const { return window_ != nullptr; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void DiscardQueued();

    HWND window_ = nullptr;
};

// Hands record, a C-heap block (see CopyRecord), to run on the main thread
// and returns at once; run frees the record and whatever it carries. When the
// call cannot run (no MainThreadCalls, or it closes first) discard(record)
// frees them instead, at once or at the close: the poster knows which texts
// its record hands over.
void PostToMainThread(RecordFunction run, BASObserveData* record, RecordFunction discard = FreeRecord);
// The same for a call of any kind: exactly one of run (on the main thread)
// and discard (at once, or at the close) runs; discard frees what run would
// have. what names the call in the log line of a post that no window takes.
void PostToMainThread(std::function<void()> run, std::function<void()> discard, const char* what);

// Runs work on the main thread and returns when it is done: at once when
// called there, otherwise posted to the call window (after the calls posted
// before it; the main thread serves it also while a modal dialog runs) while
// the calling thread waits. False, and work not run, when no call window
// takes it (before start-up) or the window closes first.
bool RunOnMainThread(const std::function<void()>& work);
