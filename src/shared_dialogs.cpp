#include "shared_dialogs.h"

#include <map>
#include <mutex>

namespace {

// The frame fills the registry on the main thread while plug-ins that are
// already loaded may look dialogs up from threads of their own.
struct Registry {
    std::mutex lock;
    std::map<int, SharedDialog*> dialogs;
};

Registry& Dialogs() {
    static Registry registry;
    return registry;
}

}  // namespace

SharedDialog* FindSharedDialog(int number) {
    Registry& registry = Dialogs();
    std::lock_guard<std::mutex> guard(registry.lock);
    auto it = registry.dialogs.find(number);
    return it == registry.dialogs.end() ? nullptr : it->second;
}

void RegisterSharedDialog(int number, SharedDialog* dialog) {
    Registry& registry = Dialogs();
    std::lock_guard<std::mutex> guard(registry.lock);
    if (dialog)
        registry.dialogs[number] = dialog;
    else
        registry.dialogs.erase(number);
}
