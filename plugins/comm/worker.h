// One thread of the module's own that runs posted tasks in order, so that
// answers which the host expects from the module's side reach it from there.
// The thread starts with the first task and lasts as long as the process.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace comm {

class Worker {
public:
    Worker() = default;
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Queues task; false when the thread could not be started.
    bool Post(std::function<void()> task);

private:
    static DWORD WINAPI Run(void* self);
    void Loop();

    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;  // guarded by lock_
    HANDLE thread_ = nullptr;                  // guarded by lock_
};

}  // namespace comm
