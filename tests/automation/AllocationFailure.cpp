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
// The non-throwing form too (std::inplace_merge takes its scratch through
// it): every block freed by the delete below must come from malloc.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (g_failAllocations) return nullptr;
    return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
