// What the benchmarks share: the float formats they stream (uncompressed
// IEEE float, packed), their noise and their clock.
#pragma once
#include <time.h>

#include <cstdint>
#include <vector>

#include "common/WinTypes.h"

inline WAVEFORMATEX FloatFormat(int channels, int bits, uint32_t rate) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    f.nChannels = static_cast<WORD>(channels);
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = static_cast<WORD>(bits);
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
    return f;
}

// count samples of the same noise every time (a linear congruence, at half
// of full scale).
template <typename T>
std::vector<T> Noise(size_t count) {
    std::vector<T> v(count);
    uint32_t seed = 12345;
    for (T& x : v) {
        seed = seed * 1664525u + 1013904223u;
        x = static_cast<T>(static_cast<int32_t>(seed) / 2147483648.0 * 0.5);
    }
    return v;
}

// Processor time of this thread: the machine is shared, and wall time would
// count whatever else runs on the core.
inline double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}
