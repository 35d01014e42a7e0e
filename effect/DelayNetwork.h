// The stereo delay network: two lines, each with its own feedback, coupled by
// two cross-feed paths, mixed with the dry input. Per frame, with dL and dR
// read at the lines' positions:
//     left line[pL]  = (dL * fbL + iL) + dR * xfR
//     right line[pR] = (dR * fbR + iR) + dL * xfL
//     both positions move down by one, wrapping to their length - 1
//     outL = dL * wetL + sL * dryL;  outR = sR * dryR + dR * wetR
// iL, iR: the frame after diffusion and filters; sL, sR: the frame as read.
// A sample written now is read back exactly one length later.
//
// Feedback and cross-feed into one line may add up to 200 % (both at 100),
// which doubles every echo: unbounded, the lines would reach infinity within
// seconds and then hold NaN for good. When they add up to more than 100 %
// the engine runs its loop guard: what it writes into a line goes in as it
// is up to full scale (kLoopKnee) and is bent softly above it towards twice
// that (+6 dBFS), never reaching it. A runaway thus settles in the lines
// near +4.6 dBFS instead of some 240 dB above full scale, the clip lights
// show it, and once the loop is brought under unity the lines hold no more
// than the ceiling: the output is back below +6 dBFS within a repeat or two
// (no line starts its decay from a level that takes tens of repeats to
// come down). A buffer whose input is not sane (a sample that is not finite
// or beyond +-kLineLimit) runs the input guard instead, which limits what
// enters the lines to +-kLineLimit: about 240 dB above full scale, where no
// finite signal at a setting up to 100 % gets, so its output keeps its
// bits. Up to 100 % the lines stay within the input's bound divided by what
// the feedback leaves (at exactly 100 % a constant input only adds up
// linearly), and neither guard is needed.
#pragma once
#include <cstdint>

#include "effect/ParamTable.h"

// 2^40: limited lines times the largest wet gain (about 2, at +6 dB) stay
// far inside the single-precision range of the 32-bit output.
inline constexpr double kLineLimit = 1099511627776.0;

// The loop guard's curve for a sample x written into a line, with k =
// kLoopKnee: x itself while |x| <= k; above it the magnitude 2k - k^2/|x|
// with the sign of x. It meets the straight line at k with the same slope
// (1), rises ever more slowly and stays below 2k, so nothing bends below
// full scale and nothing jumps above it. Four operations of IEEE double
// arithmetic (no library call), the same bits everywhere.
inline constexpr double kLoopKnee = 1.0;

// Which guard a buffer runs (DelayEngine.cpp chooses, EngineKernel.h runs).
enum EGuard { kGuardNone = 0, kGuardInput = 1, kGuardLoop = 2 };

struct NetworkConstants {
    int32_t lengthLeft;
    int32_t lengthRight;
    double fbL, fbR;   // feedback factors
    double xfL, xfR;   // XfeedL: left line into the right one; XfeedR: right into left
};

// Delay length in samples: trunc(delay * rate / 10000) with the product in
// 64 bits (40000 * rate does not fit 32 bits above 53687 Hz). Below
// 10000 Hz the shortest delays come out as 0, which would leave the position
// outside the line; such a length becomes 1 (an echo one sample later). The
// result never exceeds lineSize, so the position always stays in the line.
inline int32_t DelayLength(int32_t delay, uint32_t sampleRate, int32_t lineSize) {
    int64_t n = static_cast<int64_t>(delay) * static_cast<int64_t>(sampleRate) / 10000;
    if (n < 1) n = 1;
    if (n > lineSize) n = lineSize;
    return static_cast<int32_t>(n);
}

inline NetworkConstants ComputeNetwork(const ParamBlock& p, uint32_t sampleRate, int32_t lineSize) {
    NetworkConstants c;
    c.lengthLeft = DelayLength(p[kParamDelayL], sampleRate, lineSize);
    c.lengthRight = DelayLength(p[kParamDelayR], sampleRate, lineSize);
    c.fbL = p[kParamFeedbkL] * 0.01;
    c.fbR = p[kParamFeedbkR] * 0.01;
    c.xfL = p[kParamXfeedL] * 0.01;
    c.xfR = p[kParamXfeedR] * 0.01;
    return c;
}
