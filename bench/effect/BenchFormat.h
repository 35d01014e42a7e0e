// The float formats the benchmarks stream (uncompressed IEEE float, packed).
#pragma once
#include <cstdint>

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
