#include "observer.h"

#include <algorithm>

void BASObserver::Update(uint32_t, uint32_t) {}

void BASSubject::Notify(uint32_t first, uint32_t second) {
    for (BASObserver* observer : observers_) observer->Update(first, second);
}

void BASSubject::Attach(BASObserver* observer) {
    if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
        observers_.push_back(observer);
}

void BASSubject::Detach(BASObserver* observer) { observers_.remove(observer); }
