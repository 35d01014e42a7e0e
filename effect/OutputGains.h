// Output gains of the mix: a constant-power dry/wet law per channel, scaled
// by the output level in tenths of a decibel.
#pragma once
#include "effect/ParamTable.h"

enum EGain { kGainLeftDry = 0, kGainLeftWet = 1, kGainRightDry = 2, kGainRightWet = 3 };

// Writes left dry, left wet, right dry, right wet.
void ComputeOutputGains(const ParamBlock& params, double gains[4]);
