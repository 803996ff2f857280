// The thread's message loop, with message filters.
//
// A message filter sees every message before it is translated and
// dispatched; filters are asked last-registered-first and the first that
// returns true swallows the message. Windows register themselves (when they
// are made) and remove themselves (in WM_DESTROY); registering and removing
// is allowed while the loop is asking the very same list.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <vector>

class MessageFilter {
public:
    // True when the message was dealt with and must not be dispatched.
    virtual bool PreTranslateMessage(MSG* message) = 0;

protected:
    ~MessageFilter() = default;
};

// A registration list that may change while it is being walked: a removed
// entry is cleared in place and the gaps are closed once no walk is running,
// so a walk never calls an entry removed before it got there and never skips one.
template <typename Entry>
class HandlerList {
public:
    bool Add(Entry* entry) {
        if (!entry || Contains(entry)) return false;
        entries_.push_back(entry);
        return true;
    }
    bool Remove(Entry* entry) {
        for (Entry*& slot : entries_) {
            if (slot != entry) continue;
            slot = nullptr;
            if (walks_ == 0) Compact();
            return true;
        }
        return false;
    }
    bool Contains(Entry* entry) const {
        for (Entry* slot : entries_) {
            if (slot == entry) return true;
        }
        return false;
    }
    // Calls visit on each entry present when the walk starts, newest first,
    // until visit returns true; returns whether one did.
    template <typename Visit>
    bool WalkNewestFirst(Visit visit) {
        ++walks_;
        bool stopped = false;
        for (size_t i = entries_.size(); i-- > 0 && !stopped;) {
            if (Entry* entry = entries_[i]) stopped = visit(entry);
        }
        if (--walks_ == 0) Compact();
        return stopped;
    }

private:
    void Compact() { std::erase(entries_, nullptr); }

    std::vector<Entry*> entries_;
    int walks_ = 0;
};

class MessageLoop {
public:
    MessageLoop() = default;
    MessageLoop(const MessageLoop&) = delete;
    MessageLoop& operator=(const MessageLoop&) = delete;

    bool AddMessageFilter(MessageFilter* filter) { return filters_.Add(filter); }
    bool RemoveMessageFilter(MessageFilter* filter) { return filters_.Remove(filter); }

    // Runs until WM_QUIT; returns its exit code.
    int Run();
    // Runs until done() turns true (checked before each wait for a message)
    // or WM_QUIT arrives; returns the quit code in the second case. Modal
    // dialogs run their nested loop through this, so filters keep working.
    std::optional<int> RunUntil(const std::function<bool()>& done);

    // Asks the filters, newest first; true when one swallowed the message.
    bool PreTranslateMessage(MSG* message);

private:
    HandlerList<MessageFilter> filters_;
};
