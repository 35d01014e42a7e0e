// Replacements of the allocation and mutex functions that count their calls
// on a watched thread and otherwise pass straight through to glibc.
#include "RealTimeCalls.h"

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cstddef>

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);
}

namespace {
thread_local bool t_watching = false;
thread_local RealTimeCallCounts t_counts = {0, 0};

using MutexCall = int (*)(pthread_mutex_t*);
std::atomic<MutexCall> g_lock{nullptr};
std::atomic<MutexCall> g_tryLock{nullptr};

// glibc's own function, looked up on first use (no static guard, which
// could itself lock; dlsym takes only glibc's internal locks).
MutexCall Next(std::atomic<MutexCall>& cached, const char* name) {
    MutexCall f = cached.load(std::memory_order_relaxed);
    if (!f) {
        f = reinterpret_cast<MutexCall>(dlsym(RTLD_NEXT, name));
        cached.store(f, std::memory_order_relaxed);
    }
    return f;
}
}  // namespace

CRealTimeWatch::CRealTimeWatch() {
    t_counts = {0, 0};
    t_watching = true;
}
CRealTimeWatch::~CRealTimeWatch() { t_watching = false; }
RealTimeCallCounts CRealTimeWatch::Counts() const { return t_counts; }

extern "C" {
void* malloc(size_t size) {
    if (t_watching) ++t_counts.allocations;
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    if (t_watching) ++t_counts.allocations;
    return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size) {
    if (t_watching) ++t_counts.allocations;
    return __libc_realloc(p, size);
}
void free(void* p) {
    if (t_watching && p) ++t_counts.allocations;
    __libc_free(p);
}
int pthread_mutex_lock(pthread_mutex_t* m) {
    if (t_watching) ++t_counts.locks;
    return Next(g_lock, "pthread_mutex_lock")(m);
}
int pthread_mutex_trylock(pthread_mutex_t* m) {
    if (t_watching) ++t_counts.locks;
    return Next(g_tryLock, "pthread_mutex_trylock")(m);
}
}
