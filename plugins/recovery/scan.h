// The recovery scan: asked for with the host's confirmation, run on a thread
// of the module's own and shown in the host's shared progress dialog. One
// scan at a time; the user's Cancel in the dialog stops it at once.
#pragma once

#include <string>

namespace recovery {

struct ScanItem {
    const wchar_t* name;
    bool readable;  // false: the item counts as a failure
};

// Starts a scan of the given items unless one is still running; false when
// one is. items must live as long as the module.
bool StartScan(const ScanItem* items, int count);

}  // namespace recovery
