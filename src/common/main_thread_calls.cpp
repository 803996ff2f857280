#include "main_thread_calls.h"

#include <cassert>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <utility>

#include "UniqueResource.h"
#include "logging.h"
#include "log_rate_limit.h"

namespace {

constexpr wchar_t kWindowClass[] = L"LumarestMainThreadCalls";

struct PostedCall {
    std::function<void()> run;
    std::function<void()> discard;
};
using PostedCallPtr = std::unique_ptr<PostedCall>;

// A call that a thread waits for: it lives on the waiting thread's stack
// until done is set.
struct WaitedCall {
    explicit WaitedCall(const std::function<void()>* call) : work(call) {}
    void Finish(bool hasRun) {
        ran = hasRun;
        SetEvent(done.get());
    }
    const std::function<void()>* work;
    UniqueHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    bool ran = false;
};

// The window that takes posts. A post and the close take this lock, so a
// post is either queued before the close drains the queue or sees no window
// and discards its call at once.
std::mutex targetLock;
HWND target = nullptr;  // guarded by targetLock

void Discard(PostedCallPtr call) {
    if (call && call->discard) call->discard();
}

// The record's command name, for a log line; it may be missing.
const char* CommandOf(const BASObserveData* record) { return record && record->command ? record->command : "(none)"; }

}  // namespace

void FreeRecord(BASObserveData* record) { free(record); }

MainThreadCalls::MainThreadCalls() {
    WNDCLASSEXW windowClass{sizeof windowClass};
    windowClass.lpfnWndProc = &MainThreadCalls::WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);  // fails harmlessly when already registered
    window_ =
        CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
    if (!window_) {
        LOG(ERROR) << "The main-thread call window could not be created (error " << GetLastError()
                   << "); calls from other threads will be dropped";
        return;
    }
    std::lock_guard guard(targetLock);
    assert(!target && "only one MainThreadCalls at a time");
    target = window_;
}

MainThreadCalls::~MainThreadCalls() {
    if (!window_) return;
    assert(GetWindowThreadProcessId(window_, nullptr) == GetCurrentThreadId());
    {
        std::lock_guard guard(targetLock);
        if (target == window_) target = nullptr;
    }
    DiscardQueued();
    DestroyWindow(window_);
}

// Every call posted before the close is in this thread's queue by now. A
// thread waiting for its call is released without it having run.
void MainThreadCalls::DiscardQueued() {
    MSG message;
    while (PeekMessageW(&message, window_, kMainThreadCallMessage, kMainThreadRunMessage, PM_REMOVE)) {
        if (message.message == kMainThreadCallMessage)
            Discard(PostedCallPtr(reinterpret_cast<PostedCall*>(message.wParam)));
        else if (message.message == kMainThreadRunMessage) reinterpret_cast<WaitedCall*>(message.wParam)->Finish(false);
    }
}

LRESULT CALLBACK MainThreadCalls::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kMainThreadRunMessage) {
        auto* request = reinterpret_cast<WaitedCall*>(wParam);
        // Nothing may escape a window procedure: the waiting thread is told
        // the call ran, and the failure is logged.
        try {
            (*request->work)();
        } catch (const std::exception& e) {
            LOG_PLUGIN_TRAFFIC(ERROR) << "A call on the main thread failed: " << e.what();
        } catch (...) {
            LOG_PLUGIN_TRAFFIC(ERROR) << "A call on the main thread failed";
        }
        request->Finish(true);
        return 0;
    }
    if (message != kMainThreadCallMessage) return DefWindowProcW(window, message, wParam, lParam);
    PostedCallPtr call(reinterpret_cast<PostedCall*>(wParam));
    if (call && call->run) call->run();
    return 0;
}

void PostToMainThread(RecordFunction run, BASObserveData* record, RecordFunction discard) {
    PostToMainThread(run ? std::function<void()>([run, record] { run(record); }) : nullptr,
                     discard ? std::function<void()>([discard, record] { discard(record); }) : nullptr,
                     CommandOf(record));
}

void PostToMainThread(std::function<void()> run, std::function<void()> discard, const char* what) {
    auto call = std::make_unique<PostedCall>(PostedCall{std::move(run), std::move(discard)});
    {
        std::lock_guard guard(targetLock);
        if (target && PostMessageW(target, kMainThreadCallMessage, reinterpret_cast<WPARAM>(call.get()), 0)) {
            call.release();  // the window's queue owns it now
            return;
        }
    }
    LOG_PLUGIN_TRAFFIC(ERROR) << "Main-thread call for " << (what ? what : "(none)")
                              << " dropped: no main-thread window takes it";
    Discard(std::move(call));
}

// Posted, not sent, and waited for: the main thread runs it from its own
// loop, after the calls posted before it, and never inside a message that
// another thread sent (a modal dialog run there stops taking input here).
bool RunOnMainThread(const std::function<void()>& work) {
    WaitedCall request{&work};
    {
        std::lock_guard guard(targetLock);
        if (!target) return false;
        if (GetWindowThreadProcessId(target, nullptr) == GetCurrentThreadId()) {
            request.ran = true;
        } else if (!request.done ||
                   !PostMessageW(target, kMainThreadRunMessage, reinterpret_cast<WPARAM>(&request), 0)) {
            return false;
        }
    }
    if (request.ran) {
        work();
        return true;
    }
    WaitForSingleObject(request.done.get(), INFINITE);
    return request.ran;
}
