// Replacements of the global operator new and delete with a failure switch.
// Kept in a file of their own so the compiler never sees a new and its
// matching delete inlined side by side.
#include "AllocationFailure.h"

#include <cstdlib>
#include <new>

namespace {
bool g_failAllocations = false;
}

void SetAllocationsFail(bool fail) { g_failAllocations = fail; }

void* operator new(std::size_t size) {
    if (g_failAllocations) throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
