// Diffusion: two Schroeder allpass stages in series per channel, in front of
// the tone filters. Left runs stage 1 then stage 3, right stage 2 then
// stage 4; stages 1 and 2 share the coefficient g1, stages 3 and 4 g2.
//
// One stage with length n, coefficient g, buffer b and position p, for an
// input x:
//     y = b[p] - g * x;   b[p] = y * g + x;   p = p - 1 (wrapping to n - 1);
// and y is the output: y[k] = -g x[k] + w[k - n], w[k] = x[k] + g y[k].
#pragma once
#include <cstdint>

// Buffer sizes of stages 1 to 4; the longest length at DiffTime 100 is 510,
// 443, 840 and 695 samples.
inline constexpr int32_t kDiffusionSize[4] = {512, 512, 1024, 1024};

struct DiffusionConstants {
    int32_t length[4];   // stages 1 to 4
    double g1;           // stages 1 and 2
    double g2;           // stages 3 and 4
};

// Lengths and coefficients for DiffTime (1..100) and DiffAmnt (0..100),
// independent of the sample rate: lengths DiffTime * {424, 368, 698, 577} / 83
// truncated; g1 = DiffAmnt * 0.01 * -0.735, g2 = DiffAmnt * 0.01 * -0.618.
inline DiffusionConstants ComputeDiffusion(int32_t diffTime, int32_t diffAmount) {
    static constexpr int32_t kScale[4] = {424, 368, 698, 577};
    DiffusionConstants d;
    for (int i = 0; i < 4; ++i) {
        int32_t n = diffTime * kScale[i] / 83;
        // DiffTime is clamped to 1..100, which keeps n inside its buffer; the
        // guard holds the buffer bounds even for a value that slipped past.
        if (n < 1) n = 1;
        if (n > kDiffusionSize[i]) n = kDiffusionSize[i];
        d.length[i] = n;
    }
    d.g1 = diffAmount * 0.01 * -0.735;
    d.g2 = diffAmount * 0.01 * -0.618;
    return d;
}
