// Replacements of the global operator new and delete with a failure switch
// and a per-thread counter. Kept in a file of their own so the compiler never
// sees a new and its matching delete inlined side by side.
#include "AllocationFailure.h"

#include <cstdlib>
#include <new>

namespace {
bool g_failAllocations = false;
// Plain integers, so that reaching them allocates nothing through operator
// new (thread-local storage itself may use malloc once per thread).
thread_local bool t_counting = false;
thread_local long t_count = 0;

void Count() {
    if (t_counting) ++t_count;
}
}  // namespace

void SetAllocationsFail(bool fail) { g_failAllocations = fail; }

void SetAllocationCounting(bool on) {
    t_counting = on;
    t_count = 0;
}

long CountedAllocations() { return t_count; }

void* operator new(std::size_t size) {
    Count();
    if (g_failAllocations) throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
// The non-throwing form too (std::inplace_merge takes its scratch through
// it): every block freed by the delete below must come from malloc.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    Count();
    if (g_failAllocations) return nullptr;
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept {
    if (p) Count();
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { operator delete(p); }
