#include "shared_dialogs.h"

SharedDialog* SharedDialogs::Find(int number) const {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = dialogs_.find(number);
    return it == dialogs_.end() ? nullptr : it->second;
}

void SharedDialogs::Register(int number, SharedDialog* dialog) {
    std::lock_guard<std::mutex> guard(lock_);
    if (dialog)
        dialogs_[number] = dialog;
    else
        dialogs_.erase(number);
}
