// Counts the C runtime's live heap blocks, so that a test can see a leak or
// a double free of a block that crosses the bus. Every module of the product
// (host, plug-ins, test binaries) shares msvcrt.dll and so one C heap: a
// block that a plug-in allocates and the host frees is visible here from
// either side.
//
// Tests give the blocks they hand over a size that nothing else uses (a
// "marker" size), then count the live blocks of that size before and after.
#pragma once

#include <malloc.h>

#include <cstddef>

namespace heap_census {

// The number of blocks in use whose size is exactly size.
inline size_t LiveBlocksOfSize(size_t size) {
    _HEAPINFO entry{};
    size_t live = 0;
    while (_heapwalk(&entry) == _HEAPOK) {
        if (entry._useflag == _USEDENTRY && entry._size == size) ++live;
    }
    return live;
}

// True while block is a block in use (the start of one, as malloc gave it).
inline bool IsLiveBlock(const void* block) {
    _HEAPINFO entry{};
    while (_heapwalk(&entry) == _HEAPOK) {
        if (entry._pentry == block) return entry._useflag == _USEDENTRY;
    }
    return false;
}

}  // namespace heap_census
