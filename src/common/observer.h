// The observer pair that dialogs derive from. The slot order of the virtual
// functions is fixed: the destructor first, then Update / Notify.
#pragma once

#include <cstdint>
#include <list>

class BASObserver {
public:
    virtual ~BASObserver() = default;
    virtual void Update(uint32_t first, uint32_t second);
};

class BASSubject {
public:
    BASSubject() = default;
    BASSubject(const BASSubject&) = delete;
    BASSubject& operator=(const BASSubject&) = delete;
    // Frees the list, not the observers.
    virtual ~BASSubject() = default;
    // Calls Update on every observer in the order they were attached.
    virtual void Notify(uint32_t first, uint32_t second);

    void Attach(BASObserver* observer);
    void Detach(BASObserver* observer);

private:
    std::list<BASObserver*> observers_;
};
