#include "worker.h"

namespace comm {

Worker::~Worker() {
    // Reached when the process ends, after Windows has stopped the thread.
    if (thread_) CloseHandle(thread_);
}

bool Worker::Post(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (!thread_) thread_ = CreateThread(nullptr, 0, &Worker::Run, this, 0, nullptr);
        if (!thread_) return false;
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
    return true;
}

DWORD WINAPI Worker::Run(void* self) {
    static_cast<Worker*>(self)->Loop();
    return 0;
}

void Worker::Loop() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> hold(lock_);
            wake_.wait(hold, [this] { return !tasks_.empty(); });
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        try {
            task();
        } catch (...) {
            // A failed task must not end the thread that serves the others.
        }
    }
}

}  // namespace comm
