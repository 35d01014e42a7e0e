#include "effect/ToneFilter.h"

#include <cmath>

int32_t HighCutFrequency(int32_t step) {
    return static_cast<int32_t>(std::floor(std::pow(10.0, step * 0.01) * 20 + 0.5));
}

int32_t LowCutFrequency(int32_t step) {
    return static_cast<int32_t>(std::floor(std::pow(10.0, (step - 1) * 0.01) * 20 + 0.5));
}

int32_t LimitCutoff(int32_t cutoff, uint32_t sampleRate) {
    // In 64 bits: 2 * cutoff must not wrap, and the rate may exceed INT32_MAX.
    if (2 * static_cast<int64_t>(cutoff) < static_cast<int64_t>(sampleRate)) return cutoff;
    return static_cast<int32_t>((static_cast<int64_t>(sampleRate) - 1) / 2);
}

ToneCoefficients ComputeToneCoefficients(int32_t cutoff, double q, uint32_t sampleRate) {
    const double x = cutoff * 3.14159265 / sampleRate;
    const double alpha = std::sin(2 * x) / (2 * q);
    const double k = 1 / (alpha + 1);
    const double t = std::tan(x);
    ToneCoefficients c;
    c.c0 = -(1 - t) / (t + 1);
    c.c1 = (1 - alpha) * k;
    c.c2 = -2 * std::cos(2 * x) * k;
    return c;
}
