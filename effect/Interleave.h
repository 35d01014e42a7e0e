// Stereo frames between a host's two planes and the interleaved frames the
// processing entry reads and writes: the plug-in layers' copies around it
// (CHostedEffect, CBypassFade), four frames at a time in SSE2 registers
// where the processor has them (every x86-64 one), one at a time after.
// Pure moves: the bits are the plain loop's. The source and the
// destination do not overlap. Inline; any thread.
#pragma once
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define ZV_INTERLEAVE_SSE2 1
#endif

// out[2i] = left[i], out[2i + 1] = right[i] for i < n.
inline void InterleaveStereo(const float* left, const float* right, float* out, uint32_t n) {
    uint32_t i = 0;
#ifdef ZV_INTERLEAVE_SSE2
    for (; i + 4 <= n; i += 4) {
        const __m128 l = _mm_loadu_ps(left + i), r = _mm_loadu_ps(right + i);
        _mm_storeu_ps(out + 2 * i, _mm_unpacklo_ps(l, r));
        _mm_storeu_ps(out + 2 * i + 4, _mm_unpackhi_ps(l, r));
    }
#endif
    for (; i < n; ++i) {
        out[2 * i] = left[i];
        out[2 * i + 1] = right[i];
    }
}

// left[i] = in[2i], right[i] = in[2i + 1] for i < n.
inline void DeinterleaveStereo(const float* in, float* left, float* right, uint32_t n) {
    uint32_t i = 0;
#ifdef ZV_INTERLEAVE_SSE2
    for (; i + 4 <= n; i += 4) {
        const __m128 a = _mm_loadu_ps(in + 2 * i), b = _mm_loadu_ps(in + 2 * i + 4);
        _mm_storeu_ps(left + i, _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
        _mm_storeu_ps(right + i, _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    }
#endif
    for (; i < n; ++i) {
        left[i] = in[2 * i];
        right[i] = in[2 * i + 1];
    }
}
