// Shared by the tests that talk to the command bus.
#pragma once

#include <windows.h>

#include <cstring>

#include "common/command_bus.h"
#include "common/main_thread_calls.h"

// A zeroed record, as every sender makes one.
inline BASObserveData Record(const char* command, void* sender) {
    BASObserveData record;
    std::memset(&record, 0, sizeof record);
    record.command = command;
    record.sender = sender;
    return record;
}

// Registers receive for command as the module owner would through its manifest.
inline void Attach(const char* command, void* owner, BASCommandFunction receive) {
    CommandEndpoint* endpoint = NewEndpoint(owner);
    endpoint->receive = receive;
    RegisterEndpoint(command, endpoint);
}

// Runs what is queued for this thread, main-thread calls included.
inline void PumpThreadMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}
