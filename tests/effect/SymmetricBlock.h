// Two settings that are each symmetric between left and right but differ in
// every parameter the signal path reads but diffusion (whose left and right
// stages differ in length). Fed the same signal on both inputs, an engine
// running with one of them gives equal channels; a mixture of the two does
// not. Shared by the hand-over tests and the validator's engine-blocks check.
#pragma once
#include "effect/ParamTable.h"

inline ParamBlock SymmetricBlock(bool second) {
    ParamBlock b = kDefaultBlock;
    const int32_t v[][2] = {{kParamDelayL, second ? 29 : 13}, {kParamFeedbkL, second ? 70 : 20},
                            {kParamXfeedL, second ? 25 : 5},  {kParamMixL, second ? 80 : 40}};
    for (const auto& p : v) b[p[0]] = b[p[0] + (kParamDelayR - kParamDelayL)] = p[1];
    b[kParamTempoSync] = 0;
    b[kParamDiffAmnt] = 0;   // the diffusion stages differ between left and right
    b[kParamHighFreq] = second ? 250 : 301;
    b[kParamLowFreq] = second ? 120 : 0;
    b[kParamOutput] = second ? -40 : 20;
    return b;
}
