#include "windowing_module.h"

#include <cassert>
#include <map>
#include <mutex>

namespace {
// The module's state. Loops are looked up from any thread (a plug-in's thread
// runs modal dialogs), so the table has a lock of its own.
struct ModuleState {
    std::mutex lock;
    bool running = false;
    std::map<DWORD, MessageLoop*> loops;
};

ModuleState& State() {
    static ModuleState state;
    return state;
}
}  // namespace

WindowingModule::WindowingModule() {
    ModuleState& state = State();
    std::lock_guard<std::mutex> hold(state.lock);
    assert(!state.running && "one windowing module at a time");
    state.running = true;
    state.loops.clear();
}

WindowingModule::~WindowingModule() {
    ModuleState& state = State();
    std::lock_guard<std::mutex> hold(state.lock);
    state.running = false;
    state.loops.clear();
}

bool WindowingModule::AddMessageLoop(MessageLoop* loop) {
    ModuleState& state = State();
    std::lock_guard<std::mutex> hold(state.lock);
    if (!state.running || !loop) return false;
    return state.loops.emplace(GetCurrentThreadId(), loop).second;
}

bool WindowingModule::RemoveMessageLoop() {
    ModuleState& state = State();
    std::lock_guard<std::mutex> hold(state.lock);
    return state.loops.erase(GetCurrentThreadId()) != 0;
}

MessageLoop* WindowingModule::GetMessageLoop(DWORD threadId) {
    ModuleState& state = State();
    std::lock_guard<std::mutex> hold(state.lock);
    auto found = state.loops.find(threadId);
    return found == state.loops.end() ? nullptr : found->second;
}
