// A re-entrant lock and its scoped holder.
// On Windows a critical section; in the native build a recursive mutex.
#pragma once
#include "common/WinTypes.h"
#ifndef _WIN32
#include <mutex>
#endif

class CCritSec {
public:
    CCritSec() {
#ifdef _WIN32
        InitializeCriticalSection(&m_cs);
#endif
    }
    ~CCritSec() {
#ifdef _WIN32
        DeleteCriticalSection(&m_cs);
#endif
    }
    CCritSec(const CCritSec&) = delete;
    CCritSec& operator=(const CCritSec&) = delete;

    void Lock() {
#ifdef _WIN32
        EnterCriticalSection(&m_cs);
#else
        m_mutex.lock();
#endif
    }
    // One attempt, never waits: true when the lock is now held (also when
    // this thread already held it).
    bool TryLock() {
#ifdef _WIN32
        return TryEnterCriticalSection(&m_cs) != FALSE;
#else
        return m_mutex.try_lock();
#endif
    }
    void Unlock() {
#ifdef _WIN32
        LeaveCriticalSection(&m_cs);
#else
        m_mutex.unlock();
#endif
    }

private:
#ifdef _WIN32
    CRITICAL_SECTION m_cs;
#else
    std::recursive_mutex m_mutex;
#endif
};

class CAutoLock {
public:
    explicit CAutoLock(CCritSec* lock) : m_lock(lock) { m_lock->Lock(); }
    ~CAutoLock() { m_lock->Unlock(); }
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;

private:
    CCritSec* m_lock;
};
