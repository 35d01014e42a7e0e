// CDenormalGuard: flush-to-zero and denormals-are-zero for the length of a
// scope, the caller's floating-point control word restored at its end.
//
// A decaying echo, a filter ringing out into silence or a host's tiny input
// values reach the subnormal range, where x86 arithmetic is many times
// slower. Inside the guard the SSE unit treats subnormal inputs as zero (DAZ,
// MXCSR bit 6) and flushes subnormal results to zero (FTZ, bit 15). Results
// that are normal numbers are unchanged: only values below about 2.2e-308
// (doubles) or 1.2e-38 (floats) differ.
//
// The control word is per thread and belongs to the host: the guard is set
// around the per-frame loop only (never around calls into the host or into
// code that is not ours) and restored on every exit, as the Windows x64
// calling convention requires of any function that changes it. Every x86-64
// processor has DAZ (only early 32-bit SSE2 processors lacked it). On other
// processors the guard does nothing; the engine's input offset and its bounds
// still keep the feedback paths finite there.
#pragma once
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <xmmintrin.h>
#define ZV_HAVE_MXCSR 1
#endif

class CDenormalGuard {
public:
#ifdef ZV_HAVE_MXCSR
    static constexpr uint32_t kFlushBits = 0x8040;   // FTZ | DAZ

    CDenormalGuard() : m_saved(_mm_getcsr()) {
        if ((m_saved & kFlushBits) != kFlushBits) _mm_setcsr(m_saved | kFlushBits);
    }
    ~CDenormalGuard() {
        if ((m_saved & kFlushBits) != kFlushBits) _mm_setcsr(m_saved);
    }

private:
    uint32_t m_saved;
#else
    CDenormalGuard() = default;
#endif

public:
    CDenormalGuard(const CDenormalGuard&) = delete;
    CDenormalGuard& operator=(const CDenormalGuard&) = delete;
};
