#include "effect/OutputGains.h"

#include <cmath>

void ComputeOutputGains(const ParamBlock& params, double gains[4]) {
    const int32_t output = params[kParamOutput];
    // -361 is the bottom of the range and means silence, not -36.1 dB.
    const double g = output > -361 ? std::pow(10.0, output * 0.005) : 0.0;
    // The constant is written as the mix law has always used it; at 100 % the
    // dry gain is therefore about 1.8e-9 * g rather than exactly 0.
    const double thetaL = params[kParamMixL] * 3.14159265 * 0.005;
    const double thetaR = params[kParamMixR] * 3.14159265 * 0.005;
    gains[kGainLeftDry] = std::cos(thetaL) * g;
    gains[kGainLeftWet] = std::sin(thetaL) * g;
    gains[kGainRightDry] = std::cos(thetaR) * g;
    gains[kGainRightWet] = std::sin(thetaR) * g;
}
