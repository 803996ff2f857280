// The windowing module's bookkeeping for the life of the run: the message
// loop of each thread that runs one. Start-up
// makes one WindowingModule before the main frame exists and lets it go after
// the loop has ended; windows find their thread's loop through it to register
// their message filters.
#pragma once

#include <windows.h>

#include "message_loop.h"

class WindowingModule {
public:
    // One at a time.
    WindowingModule();
    // Forgets every loop; lookups then find none.
    ~WindowingModule();
    WindowingModule(const WindowingModule&) = delete;
    WindowingModule& operator=(const WindowingModule&) = delete;

    // Registers loop as the calling thread's; false without a module or when
    // the thread has one already.
    static bool AddMessageLoop(MessageLoop* loop);
    // Removes the calling thread's loop; false when it had none.
    static bool RemoveMessageLoop();
    // The loop of a thread (by default the calling one), or null.
    static MessageLoop* GetMessageLoop(DWORD threadId = GetCurrentThreadId());
};

// A message loop registered as its thread's for as long as it lives:
//   ThreadMessageLoop loop; frame.Create(...); return loop.Run();
class ThreadMessageLoop : public MessageLoop {
public:
    ThreadMessageLoop() { registered_ = WindowingModule::AddMessageLoop(this); }
    ~ThreadMessageLoop() {
        if (registered_) WindowingModule::RemoveMessageLoop();
    }

private:
    bool registered_ = false;
};
