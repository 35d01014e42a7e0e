// Counts the calls a real-time thread must not make - malloc, calloc,
// realloc, free, and locking a pthread mutex - while a scope is open on the
// calling thread. RealTimeCalls.cpp replaces those functions for the whole
// test program (and for the plug-in it loads), so the count includes what
// the plug-in and the libraries under it do. Linux (glibc) only; not under
// the sanitizers, which bring their own allocator.
#pragma once

struct RealTimeCallCounts {
    int allocations;   // malloc, calloc, realloc, free
    int locks;         // pthread_mutex_lock and _trylock
};

class CRealTimeWatch {
public:
    CRealTimeWatch();
    ~CRealTimeWatch();
    CRealTimeWatch(const CRealTimeWatch&) = delete;
    CRealTimeWatch& operator=(const CRealTimeWatch&) = delete;
    // What this thread did since the watch began.
    RealTimeCallCounts Counts() const;
};
