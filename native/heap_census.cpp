// A census of the C-heap blocks that the natively built code takes from
// malloc, for the unit tests' heap walks (shim/malloc.h). The link wraps
// malloc, calloc, realloc and free of our objects; the sanitizer's own
// allocator still serves every block, so it sees each leak and double free.
#include <malloc.h>

#include <cstdlib>
#include <map>
#include <mutex>

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* block, size_t size);
void __real_free(void* block);
}

namespace {

struct Census {
    std::mutex lock;
    std::map<const void*, size_t> live;  // ordered, so a walk can resume after a block
};

Census& TheCensus() {
    static Census* census = new Census;  // never destroyed: frees may come after exit's destructors
    return *census;
}

void Record(void* block, size_t size) {
    if (!block) return;
    Census& census = TheCensus();
    std::lock_guard<std::mutex> hold(census.lock);
    census.live[block] = size;
}

void Forget(void* block) {
    if (!block) return;
    Census& census = TheCensus();
    std::lock_guard<std::mutex> hold(census.lock);
    census.live.erase(block);
}

}  // namespace

extern "C" {

void* __wrap_malloc(size_t size) {
    void* block = __real_malloc(size);
    Record(block, size);
    return block;
}

void* __wrap_calloc(size_t count, size_t size) {
    void* block = __real_calloc(count, size);
    Record(block, count * size);
    return block;
}

void* __wrap_realloc(void* block, size_t size) {
    Forget(block);
    void* moved = __real_realloc(block, size);
    Record(moved, size);
    return moved;
}

void __wrap_free(void* block) {
    Forget(block);
    __real_free(block);
}

}  // extern "C"

int _heapwalk(_HEAPINFO* entry) {
    Census& census = TheCensus();
    std::lock_guard<std::mutex> hold(census.lock);
    auto next = entry->_pentry ? census.live.upper_bound(entry->_pentry) : census.live.begin();
    if (next == census.live.end()) return _HEAPEND;
    entry->_pentry = static_cast<int*>(const_cast<void*>(next->first));
    entry->_size = next->second;
    entry->_useflag = _USEDENTRY;
    return _HEAPOK;
}
