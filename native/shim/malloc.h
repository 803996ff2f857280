// The C runtime's heap walk, over the census that native/heap_census.cpp
// keeps of the blocks our own code takes from malloc (the native build
// links with --wrap for malloc, calloc, realloc and free), so the unit
// tests' leak and double-free counts work unchanged.
#pragma once

#include_next <malloc.h>

#include <cstddef>

#define _HEAPOK (-2)
#define _HEAPEND (-5)
#define _USEDENTRY 1
#define _FREEENTRY 0

struct _HEAPINFO {
    int* _pentry;
    size_t _size;
    int _useflag;
};

// Steps entry to the next live block after entry->_pentry (the first when it
// is null); _HEAPEND after the last.
int _heapwalk(_HEAPINFO* entry);
