// The high-cut and low-cut filters that shape the signal entering the delay
// lines.
//
// Each filter is the same pair of allpass sections on each channel: a
// first-order one (coefficient c0) and a second-order one (c1, c2), both
// centred on the cutoff. Half their sum passes DC and rejects the Nyquist
// frequency (the high-cut); half their difference does the opposite (the
// low-cut). Coefficients are recomputed every buffer from the parameter
// steps, the Q and the input rate.
#pragma once
#include <cstdint>

// Cutoff in Hz for a high-cut step (1..300; 301 is off):
// floor(10^(step * 0.01) * 20 + 0.5).
int32_t HighCutFrequency(int32_t step);
// Cutoff in Hz for a low-cut step (1..301; 0 is off):
// floor(10^((step - 1) * 0.01) * 20 + 0.5).
int32_t LowCutFrequency(int32_t step);

// Keeps a cutoff below half the sample rate: anything at or above it becomes
// the highest whole frequency below it, (rate - 1) / 2. A cutoff that is
// already below half the rate is returned as it is. Without this the
// coefficients leave their range (the second-order section turns unstable
// once 2x passes pi).
int32_t LimitCutoff(int32_t cutoff, uint32_t sampleRate);

struct ToneCoefficients {
    double c0;   // first-order allpass
    double c1;   // second-order allpass
    double c2;
};

// Coefficients for a cutoff (Hz), a Q and the sample rate, in this order:
// x = f * 3.14159265 / r; alpha = sin(2x) / (2Q); k = 1 / (alpha + 1);
// t = tan(x); c0 = -(1 - t) / (t + 1); c1 = (1 - alpha) * k;
// c2 = -2 * cos(2x) * k. The cutoff is taken as given (see LimitCutoff).
ToneCoefficients ComputeToneCoefficients(int32_t cutoff, double q, uint32_t sampleRate);

// State of one filter on both channels, index 0 left and 1 right: the last
// two inputs, the last output of the first-order section and the last two of
// the second-order section. Zero after PrepareStreaming.
struct ToneFilterState {
    double x1[2];
    double x2[2];
    double y1[2];
    double y2a[2];   // y2[n-1]
    double y2b[2];   // y2[n-2]
};
